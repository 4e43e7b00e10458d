// The function and memory buttons: each click hands its command to the panel model.
#include "Form1.h"

void Form1::sendCommand(char command)
{
    m_model.sendCommand(command);
}

bool Form1::issueCommand(char command, QString *notSentWhy)
{
    return m_model.issueCommand(command, notSentWhy);
}

void Form1::warnPortNotOpen()
{
    m_model.warnPortNotOpen();
}

void Form1::Command1_Click()
{
    sendCommand('M');
}
void Form1::Command2_Click()
{
    sendCommand('R');
}
void Form1::Command3_Click()
{
    sendCommand('P');
}
void Form1::Command4_Click()
{
    sendCommand('T');
}
void Form1::Command5_Click()
{
    sendCommand('S');
}
void Form1::Number0_Click()
{
    sendCommand('0');
}
void Form1::Number1_Click()
{
    sendCommand('1');
}
void Form1::Number2_Click()
{
    sendCommand('2');
}
void Form1::Number3_Click()
{
    sendCommand('3');
}
void Form1::Number4_Click()
{
    sendCommand('4');
}
void Form1::Number5_Click()
{
    sendCommand('5');
}
void Form1::Number6_Click()
{
    sendCommand('6');
}
void Form1::Number7_Click()
{
    sendCommand('7');
}
void Form1::Number8_Click()
{
    sendCommand('8');
}
void Form1::Number9_Click()
{
    sendCommand('9');
}
