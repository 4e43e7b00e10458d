// The received-data panel: what the unit sends, read at every tick, and showing and
// hiding the panel at the bottom of the window.
#include "Form1.h"

void Form1::Timer1_Timer()
{
    m_model.readInput();
}

void Form1::menuShowSerialComRxData_Click()
{
    menuShowSerialComRxData->setChecked(!menuShowSerialComRxData->isChecked());
    if (menuShowSerialComRxData->isChecked()) {
        TextBox->setVisible(true);
        setOuterHeight(kDesignHeight);
    } else {
        TextBox->setVisible(false);
        setOuterHeight(kShortHeight);
    }
    emit receivedDataShown(menuShowSerialComRxData->isChecked());
}

void Form1::Command6_Click()
{
    menuShowSerialComRxData->setChecked(false);
    TextBox->setVisible(false);
    setOuterHeight(kShortHeight);
    emit receivedDataShown(false);
    activateWindow();
}
