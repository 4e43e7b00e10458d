// The Com menu and the settings file: the window's handlers hand each choice to the
// panel model, whose signals set the check marks and greyed items.
#include "Form1.h"
#include "PortDevicesDialog.h"

#include "serial/PortAssignments.h"

void Form1::ScanComPorts()
{
    m_model.scanComPorts();
}

void Form1::ScanComPort(SerialComm &component, int port)
{
    m_model.scanComPort(component, port);
}

void Form1::menuCom_Click(int index)
{
    SelectComPort(index);
}

void Form1::SelectComPort(int index)
{
    m_model.selectComPort(index);
}

void Form1::menuCloseComPort_Click()
{
    m_model.closeComPort();
}

void Form1::menuReopenLostPort_Click()
{
    m_model.setReopenLostPort(!m_model.reopenLostPort());
    menuReopenLostPort->setChecked(m_model.reopenLostPort());
}

void Form1::SaveComSettings()
{
    m_model.saveComSettings();
}

void Form1::RestoreComSettings()
{
    m_model.restoreComSettings();
}

void Form1::DeleteComSettings()
{
    m_model.deleteComSettings();
}

// The open port keeps its device until it is closed. Each other port whose device
// changed, and each port whose Com item is greyed, is tried again as the start-up scan
// tries it: an adapter plugged in since, or a permission fixed since, brings its item
// back, and every greyed item's reason is told afresh.
void Form1::menuPortDevices_Click()
{
    PortAssignments assignments(m_model.portDevices().assignmentsFile);
    const int openPort = m_model.openPort();
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
        if (port != openPort && (changed.contains(port) || !m_model.portUsable(port)))
            toTry << port;
    m_model.retryPorts(toTry);
}
