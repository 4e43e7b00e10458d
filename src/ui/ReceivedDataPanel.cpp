// The received-data panel: what the unit sends, read at every tick, and showing and
// hiding the panel at the bottom of the window.
#include "Form1.h"

// The line reads at every tick of its own, with or without a window; a caller may
// read between ticks.
void Form1::Timer1_Timer()
{
    Comm1.read();
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
