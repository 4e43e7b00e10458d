#include "PortChoice.h"

#include "FailureLog.h"
#include "contract/PanelTexts.h"
#include "UntrappedFailure.h"

#include "serial/OpeningTime.h"

PortChoice::PortChoice(Line &line, SettingsMemory &memory, OperatorBoxes &boxes, QObject *parent)
    : QObject(parent)
    , m_line(line)
    , m_memory(memory)
    , m_boxes(boxes)
{
    connect(&m_line, &Line::itemDeviceChanged, this,
            [this](int port) { runTrapped(m_boxes.desktop(), [this, port] { retryPorts({port}); }); });
}

void PortChoice::scanComPorts(int leftToRestore)
{
    m_onError.clear();
    const OpeningTime::Shared probesShareTheirWait;
    for (int port = kFirstComPort; port <= kLastComPort; ++port)
        if (port != leftToRestore)
            scanComPort(port);
}

void PortChoice::scanComPort(int port)
{
    QString why;
    m_onError([&] { why = m_line.probe(port); });
    if (!why.isEmpty())
        m_onError.fail(why);
    takeProbe(port);
}

void PortChoice::takeProbe(int port)
{
    const bool failed = m_onError.errorPending();
    m_line.setUsability(port, !failed, failed ? m_onError.pendingError() : QString());
    if (failed)
        qCWarning(failureLog).noquote() << QStringLiteral("Com%1 is greyed out:").arg(port) << m_onError.pendingError();
    m_onError.clear();
}

void PortChoice::selectComPort(int port)
{
    m_onError.clear();
    m_onError([&] { m_line.setPortOpen(false); }); // another port chosen: a lost one is no longer waited for
    m_line.setCheckedPort(0);
    m_onError([&] { m_line.setCommPort(port); });
    m_onError([&] { m_line.setPortOpen(true); });
    if (m_onError.errorPending()) {
        m_boxes.tell(PanelText::kPortNotAvailable, m_onError.pendingError());
        return;
    }
    m_line.setCheckedPort(port);
    m_line.setCloseOffered(true);
    emit opened(port);
    m_memory.save();
}

void PortChoice::closeComPort()
{
    m_onError.clear();
    m_onError([&] { m_line.setPortOpen(false); });
    m_line.setCloseOffered(false);
    m_line.setCheckedPort(0);
    emit closed();
    m_memory.remove();
}

void PortChoice::retryPorts(const QList<int> &ports)
{
    if (ports.isEmpty())
        return;
    m_onError.clear();
    const OpeningTime::Shared probesShareTheirWait;
    for (int port : ports) {
        QString why;
        m_onError([&] { why = m_line.probeApart(port); });
        if (!why.isEmpty())
            m_onError.fail(why);
        takeProbe(port);
    }
    m_line.watchComItems(); // a device assigned anew is watched from now on
}
