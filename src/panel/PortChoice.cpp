// Which port is open and what each Com port offers: the start-up scan, choosing a
// port, closing it, and a line lost under an open port.
#include "FailureLog.h"
#include "PanelModel.h"
#include "PanelTexts.h"
#include "StatusColour.h"

#include "serial/OpeningTime.h"

void PanelModel::scanComPorts()
{
    const OpeningTime::Shared probesShareTheirWait;
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        scanComPort(m_comm, port);
}

void PanelModel::scanComPort(SerialComm &component, int port)
{
    if (port == m_notProbed && &component == &m_comm)
        return; // the restore opens it, and says why when it cannot
    m_onError([&] { component.setCommPort(port); });
    QString why;
    m_onError([&] { why = component.probe(); }); // opened and closed again at once
    if (!why.isEmpty())
        m_onError.fail(why);
    const bool failed = m_onError.errorPending();
    if (port >= kFirstComPort && port <= kLastComPort) {
        m_usability[static_cast<size_t>(port - kFirstComPort)]
            = {!failed, failed ? m_onError.pendingError() : QString()};
        emit portUsabilityChanged(port);
    }
    if (failed)
        qCWarning(failureLog).noquote() << QStringLiteral("Com%1 is greyed out:").arg(port) << m_onError.pendingError();
    m_onError.clear();
}

void PanelModel::selectComPort(int port)
{
    endWaiting(); // another port chosen: the lost one is no longer waited for
    m_onError.clear();
    m_onError([&] {
        if (m_comm.portOpen())
            m_comm.setPortOpen(false);
    });
    setCheckedPort(0);
    m_onError([&] { m_comm.setCommPort(port); });
    m_onError([&] { m_comm.setPortOpen(true); });
    if (m_onError.errorPending()) {
        tellOperator(PanelText::kPortNotAvailable, m_onError.pendingError());
        return;
    }
    setCheckedPort(port);
    setCloseOffered(true);
    m_onError([&] { issueCommand('P'); });
    saveComSettings();
}

void PanelModel::closeComPort()
{
    endWaiting();
    m_onError.clear();
    m_onError([&] { m_comm.setPortOpen(false); });
    setCloseOffered(false);
    setCheckedPort(0);
    showStatus(QString::fromLatin1(PanelText::kPortClosedByOperator), StatusColour::kRed);
    deleteComSettings();
}

void PanelModel::retryPorts(const QList<int> &ports)
{
    if (ports.isEmpty())
        return;
    SerialComm trial(m_ports.lookup);
    trial.setSettings(m_comm.settings());
    m_onError.clear();
    const OpeningTime::Shared probesShareTheirWait;
    for (int port : ports)
        scanComPort(trial, port);
    watchComItems(); // a device assigned anew is watched from now on
}

void PanelModel::setUsability(int port, bool usable, const QString &why)
{
    if (port < kFirstComPort || port > kLastComPort)
        return;
    m_usability[static_cast<size_t>(port - kFirstComPort)] = {usable, why};
    emit portUsabilityChanged(port);
}
