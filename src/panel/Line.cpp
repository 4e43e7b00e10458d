// The line lost under an open port (an adapter pulled out or reset by RF, a server
// gone) is waited for and reopened by itself, or, with that turned off or after too
// long a wait, told with a box and left closed. Each Com item's device is watched so
// an item lights up when its device comes and greys when it goes.
#include "Line.h"

#include "FailureLog.h"
#include "LostPortWait.h"
#include "contract/PanelTexts.h"
#include "UntrappedFailure.h"

#include "serial/DeviceWatcher.h"
#include "serial/NetworkAddress.h"
#include "serial/ReceivedText.h"

#include <algorithm>

namespace {

constexpr int kBackShownMs = 5000; // how long "COM1 back" stays under the status

bool hasComItem(int port)
{
    return port >= kFirstComPort && port <= kLastComPort;
}

size_t itemIndex(int port)
{
    return static_cast<size_t>(port - kFirstComPort);
}

// The one sentence of a lost port waited for, in full and to a caller.
QString lostAndWaitedFor(int port, QLatin1Char afterLost, const QString &what)
{
    return QStringLiteral("COM%1 lost%2 waiting for %3 to come back").arg(port).arg(afterLost).arg(what);
}

// The line under the status is a few words wide: what the operator needs first (which
// port, lost, waited for) comes first, and the device's path is left to the detail.
QStringList lostLineForms(int port)
{
    return {PanelText::lostPortWaiting(QString::number(port)),
            QStringLiteral("COM%1 lost \u2013 waiting").arg(port), QStringLiteral("COM%1 lost").arg(port)};
}

} // namespace

Line::Line(OperatorBoxes &boxes, PortDevices ports, QObject *parent)
    : QObject(parent)
    , m_boxes(boxes)
    , m_ports(std::move(ports))
    , m_comm(m_ports.lookup)
    , m_preferences(PanelPreferences::besideAssignments(m_ports.assignmentsFile))
{
    connect(&m_comm, &SerialComm::portOpenChanged, this, [this](bool open) {
        emit portOpenChanged(open);
        announceState();
    });
    connect(&m_comm, &SerialComm::lineLost, this,
            [this](const QString &reason) { runTrapped(m_boxes.desktop(), [this, &reason] { lineLost(reason); }); });
    // A line fails silently until it is read; the tick reads it with or without a window.
    m_tick.setInterval(kTickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] { runTrapped(m_boxes.desktop(), [this] { read(); }); });
    m_tick.start();
}

Line::~Line()
{
    delete m_wait; // before the watchers it listens to
    m_wait = nullptr;
    qDeleteAll(m_watchers);
}

void Line::setPortOpen(bool open)
{
    endWaiting();
    m_comm.setPortOpen(open);
}

QString Line::probe(int port)
{
    m_comm.setCommPort(port);
    return m_comm.probe(); // opened and closed again at once
}

QString Line::probeApart(int port) const
{
    SerialComm trial(m_ports.lookup);
    trial.setSettings(m_comm.settings());
    trial.setCommPort(port);
    return trial.probe();
}

void Line::read()
{
    if (!m_comm.portOpen())
        return; // the panel keeps its text
    const QString arrived = m_comm.input();
    if (!arrived.isEmpty()) {
        m_received = keepNewest(m_received, arrived);
        emit receivedChanged(m_received);
    }
    emit inputRead(arrived);
}

void Line::setCheckedPort(int port)
{
    m_checkedPort = port;
    emit checkedPortChanged(port);
}

void Line::setCloseOffered(bool offered)
{
    m_closeOffered = offered;
    emit closeOfferedChanged(offered);
}

bool Line::portUsable(int port) const
{
    return !hasComItem(port) || m_usability[itemIndex(port)].usable;
}

QString Line::whyNotUsable(int port) const
{
    return hasComItem(port) ? m_usability[itemIndex(port)].why : QString();
}

void Line::setUsability(int port, bool usable, const QString &why)
{
    if (!hasComItem(port))
        return;
    m_usability[itemIndex(port)] = {usable, why};
    emit usabilityChanged(port);
}

void Line::lineLost(const QString &reason)
{
    emit lost(reason);
    if (reopenLostPort())
        startWaiting(reason);
    else
        giveUp(reason);
}

// The component has closed the port; the panel shows it as closed and says so once.
// The settings file stays, so the same Com item, or the next start, reopens the port.
void Line::giveUp(const QString &reason)
{
    setCheckedPort(0);
    setCloseOffered(false);
    emit lostForGood(reason);
    m_boxes.tell(PanelText::kPortNotAvailable, reason);
}

// One beep and no box: the check mark, the Close item and the status stay, and the
// line under the status says what is waited for. The port is closed and its lock
// given back already, as at any lost line.
void Line::startWaiting(const QString &reason)
{
    endWaiting();
    const QString device = m_comm.device();
    m_lostReason = reason;
    m_wait
        = new LostPortWait(m_comm.commPort(), device,
                           NetworkAddress::isNetworkName(device) ? nullptr : watcherOf(device), m_lostPortTimes, this);
    connect(m_wait, &LostPortWait::tryNow, this, [this] { runTrapped(m_boxes.desktop(), [this] { tryReopening(); }); });
    connect(m_wait, &LostPortWait::gaveUp, this, [this] {
        const QString reason = m_lostReason;
        endWaiting();
        runTrapped(m_boxes.desktop(), [this, &reason] { giveUp(reason); });
    });
    qCWarning(failureLog).noquote() << reason << "-- waiting for it to come back";
    setNotice(lostLineForms(m_wait->port()), waitDetail());
    // Said once, with no path: a screen reader would spell a by-id name out.
    emit told(QStringLiteral("COM%1 lost. Waiting for it to come back.").arg(m_wait->port()));
    announceState();
    m_boxes.desktop().beep();
}

// Opened as before, with the same settings text, lock and exclusive opening; nothing
// is sent by itself. A try that fails keeps waiting and says why.
void Line::tryReopening()
{
    if (!m_wait || m_comm.portOpen())
        return;
    const int port = m_wait->port();
    try {
        m_comm.setCommPort(port);
        m_comm.setPortOpen(true);
    } catch (const std::exception &failure) {
        m_lostReason = QString::fromUtf8(failure.what());
        setNotice(lostLineForms(port), waitDetail(m_lostReason));
        m_wait->triedInVain();
        return;
    }
    endWaiting();
    const QString back = QStringLiteral("COM%1 back").arg(port);
    setNotice({back});
    emit told(back);
    QTimer::singleShot(kBackShownMs, this, [this, back] {
        if (m_notice == QStringList {back})
            setNotice({});
    });
}

void Line::endWaiting()
{
    if (!m_wait)
        return;
    delete m_wait;
    m_wait = nullptr;
    dropUnusedWatchers();
    setNotice({});
    announceState();
}

QString Line::waitDetail(const QString &tryFailure) const
{
    const QString sentence = lostAndWaitedFor(m_wait->port(), QLatin1Char(':'), m_wait->device());
    return tryFailure.isEmpty() ? sentence : QStringLiteral("%1 (%2)").arg(sentence, tryFailure);
}

QString Line::portNotOpenWords() const
{
    if (m_wait && !m_comm.portOpen())
        return lostAndWaitedFor(m_wait->port(), QLatin1Char(','), QStringLiteral("it"));
    return QString::fromLatin1(PanelText::kPortNotOpen);
}

void Line::remindWaiting()
{
    if (!m_wait)
        return;
    m_boxes.desktop().beep();
    emit told(portNotOpenWords()); // the line under the status says it already
}

void Line::setNotice(const QStringList &forms, const QString &detail)
{
    if (forms == m_notice && detail == m_noticeDetail)
        return;
    m_notice = forms;
    m_noticeDetail = detail;
    emit noticeChanged(notice());
}

Line::State Line::state() const
{
    if (m_comm.portOpen())
        return State::Open;
    return m_wait ? State::Waiting : State::Closed;
}

int Line::waitedPort() const
{
    return m_wait ? m_wait->port() : 0;
}

QString Line::stateName(State state)
{
    switch (state) {
    case State::Open: return QStringLiteral("open");
    case State::Waiting: return QStringLiteral("waiting");
    case State::Closed: break;
    }
    return QStringLiteral("closed");
}

void Line::announceState()
{
    const State now = state();
    if (now == m_state)
        return;
    m_state = now;
    emit stateChanged(now);
}

void Line::setReopenLostPort(bool on)
{
    QString why;
    if (!m_preferences.setReopenLostPort(on, &why))
        qCWarning(failureLog).noquote() << "Reopen Lost Port is not remembered:" << why;
    if (!on)
        endWaiting();
}

// Each Com item whose device is local is watched by its path, so a greyed item
// lights up when its device comes and an item greys, with the reason, when its
// device goes.
void Line::watchComItems()
{
    for (int port = kFirstComPort; port <= kLastComPort; ++port) {
        const QString device = m_ports.lookup(port);
        const bool local = !device.isEmpty() && !NetworkAddress::isNetworkName(device);
        m_itemDevices[itemIndex(port)] = local ? device : QString();
        if (local)
            watcherOf(device);
    }
    dropUnusedWatchers();
}

DeviceWatcher *Line::watcherOf(const QString &path)
{
    if (DeviceWatcher *watcher = m_watchers.value(path))
        return watcher;
    auto *watcher = new DeviceWatcher(path, this);
    m_watchers.insert(path, watcher);
    connect(watcher, &DeviceWatcher::presenceChanged, this, [this, path] { deviceChanged(path); });
    return watcher;
}

void Line::dropUnusedWatchers()
{
    for (auto at = m_watchers.begin(); at != m_watchers.end();) {
        const bool used = std::find(m_itemDevices.begin(), m_itemDevices.end(), at.key()) != m_itemDevices.end()
            || (m_wait && m_wait->device() == at.key());
        if (used) {
            ++at;
        } else {
            // Possibly inside its own signal: it goes when the signal is done.
            disconnect(at.value(), nullptr, this, nullptr);
            at.value()->deleteLater();
            at = m_watchers.erase(at);
        }
    }
}

// A port in use, open or waited for, is left to the wait; any other is tried again.
void Line::deviceChanged(const QString &path)
{
    for (int port = kFirstComPort; port <= kLastComPort; ++port) {
        if (m_itemDevices[itemIndex(port)] != path)
            continue;
        const bool inUse = m_comm.commPort() == port && (m_comm.portOpen() || m_wait);
        if (!inUse)
            emit itemDeviceChanged(port);
    }
}
