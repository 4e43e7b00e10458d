// Which port is open and what the Com menu shows: the start-up scan, choosing a
// port from the menu, and closing it.
#include "app/FailureLog.h"
#include "serial/OpeningTime.h"
#include "serial/PortAssignments.h"
#include "ui/Form1.h"
#include "ui/OutsideText.h"
#include "ui/PortDevicesDialog.h"
#include "ui/VbColor.h"

void Form1::ScanComPorts()
{
    const OpeningTime::Shared probesShareTheirWait;
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        ScanComPort(Comm1, port);
}

void Form1::ScanComPort(SerialComm &component, int port)
{
    m_onError([&] { component.setCommPort(port); });
    QString why;
    m_onError([&] { why = component.probe(); }); // opened and closed again at once
    if (!why.isEmpty())
        m_onError.fail(why);
    const bool failed = m_onError.errorPending();
    menuCom(port)->setEnabled(!failed);
    menuCom(port)->setToolTip(failed ? shownAsWritten(m_onError.pendingError()) : QString());
    if (failed)
        qCWarning(failureLog).noquote() << QStringLiteral("Com%1 is greyed out:").arg(port) << m_onError.pendingError();
    m_onError.clear();
}

void Form1::menuCom_Click(int index)
{
    SelectComPort(index);
}

void Form1::SelectComPort(int index)
{
    m_onError.clear();
    m_onError([&] {
        if (Comm1.portOpen())
            Comm1.setPortOpen(false);
    });
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        m_onError([&] { menuCom(port)->setChecked(false); });
    m_onError([&] { Comm1.setCommPort(index); });
    m_onError([&] { Comm1.setPortOpen(true); });
    if (m_onError.errorPending()) {
        m_desktop.beep();
        m_desktop.messageBox(QStringLiteral("The Com Port is not available"), Desktop::Plain, {},
                             m_onError.pendingError());
        return;
    }
    m_onError([&] { menuCom(index)->setChecked(true); });
    m_onError([&] { menuCloseComPort->setEnabled(true); });
    m_onError([&] { issueCommand('P'); });
    SaveComSettings();
}

// The device vanished under an open port (an adapter pulled out): the component has
// closed the port; the window shows it as closed and says so once. The settings file
// stays, so the same Com item, or the next start, reopens the port.
void Form1::Comm1_LineLost(const QString &reason)
{
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        menuCom(port)->setChecked(false);
    menuCloseComPort->setEnabled(false);
    showStatus(QStringLiteral("Com Port Closed"), VbColor::kRed);
    m_desktop.beep();
    m_desktop.messageBox(QStringLiteral("The Com Port is not available"), Desktop::Plain, {}, reason);
}

void Form1::menuCloseComPort_Click()
{
    m_onError.clear();
    m_onError([&] { Comm1.setPortOpen(false); });
    m_onError([&] { menuCloseComPort->setEnabled(false); });
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        m_onError([&] { menuCom(port)->setChecked(false); });
    m_onError([&] { showStatus(QStringLiteral("Com Port is Closed"), VbColor::kRed); });
    DeleteComSettings();
}

// The open port keeps its device until it is closed. Each other port whose device
// changed, and each port whose Com item is greyed, is tried as the start-up scan
// tries it, on a component of its own so the open port, the settings file and the
// unit are left alone: an adapter plugged in since, or a permission fixed since,
// brings its item back, and every greyed item's reason is told afresh.
void Form1::menuPortDevices_Click()
{
    PortAssignments assignments(m_ports.assignmentsFile);
    const int openPort = Comm1.portOpen() ? Comm1.commPort() : 0;
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
        if (port != openPort && (changed.contains(port) || !menuCom(port)->isEnabled()))
            toTry << port;
    if (toTry.isEmpty())
        return;
    SerialComm trial(m_ports.lookup);
    trial.setSettings(Comm1.settings());
    m_onError.clear();
    const OpeningTime::Shared probesShareTheirWait;
    for (int port : toTry)
        ScanComPort(trial, port);
}
