// A line lost under an open port (an adapter pulled out or reset by RF, a server gone):
// waited for and reopened by itself, or, with that turned off or after too long a
// wait, told with a box and left closed. Also each Com item's device, watched so an
// item lights up when its device comes and greys when it goes.
#include "FailureLog.h"
#include "LostPortWait.h"
#include "PanelModel.h"
#include "PanelTexts.h"
#include "StatusColour.h"
#include "UntrappedFailure.h"

#include "serial/DeviceWatcher.h"
#include "serial/NetworkAddress.h"

#include <QTimer>

namespace {
constexpr int kBackShownMs = 5000; // how long "COM1 back" stays under the status
}

void PanelModel::lineLost(const QString &reason)
{
    if (reopenLostPort())
        startWaiting(reason);
    else
        lineLostForGood(reason);
}

// The component has closed the port; the panel shows it as closed and says so once.
// The settings file stays, so the same Com item, or the next start, reopens the port.
void PanelModel::lineLostForGood(const QString &reason)
{
    setCheckedPort(0);
    setCloseOffered(false);
    showStatus(QString::fromLatin1(PanelText::kPortClosedAtStart), StatusColour::kRed);
    tellOperator(PanelText::kPortNotAvailable, reason);
}

// One beep and no box: the check mark, the Close item and the status stay, and the
// line under the status says what is waited for. The port is closed and its lock
// given back already, as at any lost line.
void PanelModel::startWaiting(const QString &reason)
{
    endWaiting();
    const int port = m_comm.commPort();
    m_lostReason = reason;
    m_wait = new LostPortWait(port, m_comm.device(), this);
    connect(m_wait, &LostPortWait::tryNow, this, [this] { runTrapped(m_desktop, [this] { tryReopening(); }); });
    connect(m_wait, &LostPortWait::gaveUp, this, [this] {
        const QString reason = m_lostReason;
        endWaiting();
        runTrapped(m_desktop, [this, &reason] { lineLostForGood(reason); });
    });
    qCWarning(failureLog).noquote() << reason << "-- waiting for it to come back";
    setNotice(QStringLiteral("COM%1 lost: waiting for %2 to come back").arg(port).arg(m_wait->device()));
    emit told(m_notice);
    announceLineState();
    m_desktop.beep();
}

// Opened as before, with the same settings text, lock and exclusive opening; nothing
// is sent by itself. A try that fails keeps waiting and says why.
void PanelModel::tryReopening()
{
    if (!m_wait || m_comm.portOpen())
        return;
    const int port = m_wait->port();
    try {
        m_comm.setCommPort(port);
        m_comm.setPortOpen(true);
    } catch (const std::exception &failure) {
        m_lostReason = QString::fromUtf8(failure.what());
        setNotice(QStringLiteral("COM%1 lost: waiting for %2 to come back (%3)")
                      .arg(port)
                      .arg(m_wait->device(), m_lostReason));
        m_wait->triedInVain();
        return;
    }
    endWaiting();
    const QString back = QStringLiteral("COM%1 back").arg(port);
    setNotice(back);
    emit told(back);
    QTimer::singleShot(kBackShownMs, this, [this, back] {
        if (m_notice == back)
            setNotice({});
    });
}

void PanelModel::endWaiting()
{
    if (!m_wait)
        return;
    delete m_wait;
    m_wait = nullptr;
    setNotice({});
    announceLineState();
}

void PanelModel::setNotice(const QString &notice)
{
    if (notice == m_notice)
        return;
    m_notice = notice;
    emit noticeChanged(notice);
}

PanelModel::LineState PanelModel::lineState() const
{
    if (m_comm.portOpen())
        return LineState::Open;
    return m_wait ? LineState::Waiting : LineState::Closed;
}

QString PanelModel::lineStateName(LineState state)
{
    switch (state) {
    case LineState::Open: return QStringLiteral("open");
    case LineState::Waiting: return QStringLiteral("waiting");
    case LineState::Closed: break;
    }
    return QStringLiteral("closed");
}

void PanelModel::announceLineState()
{
    const LineState now = lineState();
    if (now == m_lineState)
        return;
    m_lineState = now;
    emit lineStateChanged(now);
}

QString PanelModel::portNotOpenWords() const
{
    if (m_wait && !m_comm.portOpen())
        return QStringLiteral("COM%1 lost, waiting for it to come back").arg(m_wait->port());
    return QString::fromLatin1(PanelText::kPortNotOpen);
}

void PanelModel::setReopenLostPort(bool on)
{
    QString why;
    if (!m_preferences.setReopenLostPort(on, &why))
        qCWarning(failureLog).noquote() << "Reopen Lost Port is not remembered:" << why;
    if (!on)
        endWaiting();
}

// Each Com item whose device is local is watched by its path, so a greyed item
// lights up when its device comes and an item greys, with the reason, when its
// device goes: tried as the start-up scan tries it, on a component of its own.
void PanelModel::watchComItems()
{
    for (int port = kFirstComPort; port <= kLastComPort; ++port) {
        DeviceWatcher *&watcher = m_itemWatchers[static_cast<size_t>(port - kFirstComPort)];
        const QString device = m_ports.lookup(port);
        if (watcher && watcher->path() == device)
            continue;
        delete watcher;
        watcher = nullptr;
        if (device.isEmpty() || NetworkAddress::isNetworkName(device))
            continue;
        watcher = new DeviceWatcher(device, this);
        connect(watcher, &DeviceWatcher::presenceChanged, this, [this, port] {
            const bool inUse = m_comm.commPort() == port && (m_comm.portOpen() || m_wait);
            if (!inUse)
                runTrapped(m_desktop, [this, port] { retryPorts({port}); });
        });
    }
}
