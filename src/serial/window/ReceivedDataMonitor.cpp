// The received-data panel: what the unit sends, polled every tick, and showing and
// hiding the panel at the bottom of the window.
#include "serial/ReceivedText.h"
#include "ui/Form1.h"

void Form1::Timer1_Timer()
{
    if (!Comm1.portOpen())
        return; // the panel keeps its text
    const QString arrived = Comm1.input();
    TextBox->setCaption(keepNewest(TextBox->caption(), arrived));
    emit inputRead(arrived);
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
