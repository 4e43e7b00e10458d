// Which port is open and what the Com menu shows: the start-up scan, choosing a
// port from the menu, and closing it.
#include "ui/Form1.h"
#include "ui/VbColor.h"

void Form1::ScanComPorts()
{
    const auto probesShareTheirWait = Comm1.shareOpeningTime();
    for (int port = 1; port <= 4; ++port) {
        m_onError([&] { Comm1.setCommPort(port); });
        m_onError([&] { Comm1.setPortOpen(true); });
        m_onError([&] { Comm1.setPortOpen(false); });
        menuCom(port)->setEnabled(!m_onError.errorPending());
        m_onError.clear();
    }
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
    for (int port = 1; port <= 4; ++port)
        m_onError([&] { menuCom(port)->setChecked(false); });
    m_onError([&] { Comm1.setCommPort(index); });
    m_onError([&] { Comm1.setPortOpen(true); });
    if (m_onError.errorPending()) {
        m_desktop.beep();
        m_desktop.messageBox(QStringLiteral("The Com Port is not available"));
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
void Form1::Comm1_LineLost()
{
    for (int port = 1; port <= 4; ++port)
        menuCom(port)->setChecked(false);
    menuCloseComPort->setEnabled(false);
    showStatus(QStringLiteral("Com Port Closed"), VbColor::kRed);
    m_desktop.beep();
    m_desktop.messageBox(QStringLiteral("The Com Port is not available"));
}

void Form1::menuCloseComPort_Click()
{
    m_onError.clear();
    m_onError([&] { Comm1.setPortOpen(false); });
    m_onError([&] { menuCloseComPort->setEnabled(false); });
    for (int port = 1; port <= 4; ++port)
        m_onError([&] { menuCom(port)->setChecked(false); });
    m_onError([&] { showStatus(QStringLiteral("Com Port is Closed"), VbColor::kRed); });
    DeleteComSettings();
}
