// The Com menu and the settings file: the window's handlers hand each choice to the
// panel model, whose signals set the check marks and greyed items.
#include "Form1.h"
#include "PortDevicesDialog.h"

#include "serial/PortAssignments.h"

void Form1::ScanComPorts()
{
    m_model.portChoice().scanComPorts();
}

void Form1::ScanComPort(int port)
{
    m_model.portChoice().scanComPort(port);
}

void Form1::menuCom_Click(int index)
{
    SelectComPort(index);
}

void Form1::SelectComPort(int index)
{
    m_model.portChoice().selectComPort(index);
}

void Form1::menuCloseComPort_Click()
{
    m_model.portChoice().closeComPort();
}

void Form1::menuReopenLostPort_Click()
{
    Comm1.setReopenLostPort(!Comm1.reopenLostPort());
    menuReopenLostPort->setChecked(Comm1.reopenLostPort());
}

void Form1::SaveComSettings()
{
    m_model.settingsMemory().save();
}

void Form1::RestoreComSettings()
{
    m_model.settingsMemory().restore();
}

void Form1::DeleteComSettings()
{
    m_model.settingsMemory().remove();
}

// The open port keeps its device until it is closed. Each other port whose device
// changed, and each port whose Com item is greyed, is tried again as the start-up scan
// tries it: an adapter plugged in since, or a permission fixed since, brings its item
// back, and every greyed item's reason is told afresh.
void Form1::menuPortDevices_Click()
{
    PortAssignments assignments(Comm1.ports().assignmentsFile);
    const int openPort = Comm1.openPort();
    PortDevicesDialog dialog(assignments, openPort, this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    QList<int> changed;
    for (int port = kFirstComPort; port <= kLastComPort; ++port) {
        if (port == openPort)
            continue;
        const QString before = assignments.device(port);
        assignments.setDevice(port, dialog.chosenDevice(port));
        if (assignments.device(port) != before)
            changed << port;
    }
    QString why;
    if (!changed.isEmpty() && !assignments.save(&why)) {
        m_desktop.messageBox(QStringLiteral("The port devices could not be saved"), Desktop::Warning, {}, why);
        return;
    }

    QList<int> toTry;
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        if (port != openPort && (changed.contains(port) || !Comm1.portUsable(port)))
            toTry << port;
    m_model.portChoice().retryPorts(toTry);
}
