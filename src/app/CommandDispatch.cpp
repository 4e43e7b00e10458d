#include "StatusEffect.h"
#include "ui/Form1.h"
#include "serial/SerialError.h"
#include "ui/VbColor.h"

std::optional<StatusEffect> statusEffectOf(char command)
{
    switch (command) {
    case 'M': return StatusEffect {"MIC record", VbColor::kButtonText};
    case 'R': return StatusEffect {"RX record", VbColor::kButtonText};
    case 'P': return StatusEffect {"Play", VbColor::kButtonText};
    case 'T': return StatusEffect {"Transmit", VbColor::kRed};
    default: return std::nullopt;
    }
}

void Form1::sendCommand(char command)
{
    if (Comm1.portOpen())
        issueCommand(command);
    else
        warnPortNotOpen();
}

// The byte goes out first; only then does the status line name the function.
bool Form1::issueCommand(char command, QString *notSentWhy)
{
    try {
        Comm1.setOutput(QString(QChar::fromLatin1(command)));
    } catch (const LineLost &) {
        return false; // not sent, so not shown; Comm1_LineLost tells the operator once
    } catch (const OutputRefused &refused) {
        // The unit has stopped reading; the port stays open for the next command.
        if (notSentWhy) {
            *notSentWhy = QString::fromUtf8(refused.what());
            return false;
        }
        m_desktop.beep();
        m_desktop.messageBox(QString::fromLatin1(kCommandNotSent), Desktop::Plain, {},
                             QString::fromUtf8(refused.what()));
        return false;
    }
    emit commandSent(command);
    if (const auto effect = statusEffectOf(command))
        showStatus(QString::fromLatin1(effect->caption), effect->foreColor);
    return true;
}

void Form1::warnPortNotOpen()
{
    m_keyWarningPending = false; // this box answers a key still waiting for its own
    m_desktop.beep();
    m_desktop.messageBox(QStringLiteral("Com Port is not open!"));
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
