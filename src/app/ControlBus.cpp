#include "ControlBus.h"

#include "panel/SetDescription.h"
#include "client/PanelClient.h"
#include "contract/CommandTable.h"
#include "panel/PanelModel.h"
#include "contract/PanelTexts.h"
#include "panel/UntrappedFailure.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

using namespace panel; // the contract this side serves

namespace {

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

// A bus string ends at a NUL byte; the unit's NUL goes as the picture the panel draws
// for it, so nothing after it is lost.
QString onTheBus(QString text)
{
    return text.replace(QChar(u'\0'), QChar(u'\u2400'));
}

} // namespace

QString ControlBus::processName()
{
    return panel::processName(QCoreApplication::applicationPid());
}

QDBusConnection ControlBus::sessionBus()
{
    return panel::sessionBus();
}

ControlBus::ControlBus(PanelModel &model, Desktop &desktop, QDBusConnection connection, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_connection(std::move(connection))
{
    if (!m_connection.isConnected()) {
        m_whyNot = QStringLiteral("no session bus (%1); running without the %2 interface")
                       .arg(m_connection.lastError().message(), latin1(kInterface));
        return;
    }
    // The object first: a caller that finds the name must find the object too.
    registerMessageTypes();
    const auto exported = QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableProperties
        | QDBusConnection::ExportScriptableSignals;
    if (!m_connection.registerObject(latin1(kPath), latin1(kInterface), this, exported)) {
        m_whyNot = QStringLiteral("cannot serve %1 on the session bus; running without it").arg(latin1(kPath));
        return;
    }
    m_reachable = m_connection.registerService(processName());
    m_serving = m_connection.registerService(latin1(kService));
    if (!m_reachable && !m_serving) {
        m_connection.unregisterObject(latin1(kPath));
        m_whyNot
            = QStringLiteral("another copy owns %1 on the session bus; this one runs without it").arg(latin1(kService));
        return;
    }
    m_reachable = true;
    m_statusAnnounced = m_model.statusCaption();
    if (!m_serving)
        m_whyNot = QStringLiteral("another copy owns %1 on the session bus; this one answers as %2 only")
                       .arg(latin1(kService), processName());

    connect(&m_model, &PanelModel::statusChanged, this, [this](const QString &caption) {
        if (caption != m_statusAnnounced) // the status line said it again: no change
            announce({{latin1(property::kStatus), m_statusAnnounced = caption}});
    });
    connect(&m_model.line(), &Line::receivedChanged, this, [this](const QString &text) {
        announce({{latin1(property::kReceived), onTheBus(text)}});
    });
    connect(&m_model.line(), &Line::portOpenChanged, this, [this](bool open) {
        announce(withWaitingFor({{latin1(property::kPortOpen), open},
                                 {latin1(property::kComPort), m_model.line().openPort()},
                                 {latin1(property::kLineState), lineState()}}));
    });

    // The caller of StartRepeat is watched while its repeat runs; when its connection
    // ends, whatever the cause, the repeat ends with "S".
    m_caller = new QDBusServiceWatcher(QString(), m_connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_caller, &QDBusServiceWatcher::serviceUnregistered, this, &ControlBus::callerLeft);
    connect(&m_model.repeat(), &RepeatTransmit::changed, this, &ControlBus::repeatChanged);
    // Opening and closing are told with PortOpen; a wait begun or ended on its own.
    connect(&m_model.line(), &Line::stateChanged, this, [this](Line::State state) {
        if (state == Line::State::Waiting
            || (state == Line::State::Closed && !m_model.line().portOpen()
                && m_lineStateAnnounced == QLatin1String("waiting")))
            announce(withWaitingFor({{latin1(property::kLineState), Line::stateName(state)}}));
    });
    m_connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                         QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                         SLOT(busDisconnected()));
    watchMessages();
    connect(&m_model.hearing(), &HearingChoices::soundsChanged, this,
            [this](bool on) { announce({{latin1(property::kSounds), on}}); });
}

ControlBus::~ControlBus()
{
    if (!m_reachable)
        return;
    if (m_serving)
        m_connection.unregisterService(latin1(kService));
    m_connection.unregisterService(processName());
    m_connection.unregisterObject(latin1(kPath));
}

QString ControlBus::status() const
{
    return m_model.statusCaption();
}
bool ControlBus::portOpen() const
{
    return m_model.line().portOpen();
}
int ControlBus::comPort() const
{
    return m_model.line().openPort();
}
QString ControlBus::received() const
{
    return onTheBus(m_model.line().received());
}
bool ControlBus::repeating() const
{
    return m_model.repeat().repeating();
}
QString ControlBus::lineState() const
{
    return Line::stateName(m_model.line().state());
}
int ControlBus::waitingFor() const
{
    return m_model.line().waitedPort();
}
// The line's changes, with the port waited for when that changed too.
QVariantMap ControlBus::withWaitingFor(QVariantMap changes)
{
    if (const int port = waitingFor(); port != m_waitingForAnnounced)
        changes.insert(latin1(property::kWaitingFor), m_waitingForAnnounced = port);
    return changes;
}
bool ControlBus::sounds() const
{
    return m_model.hearing().sounds();
}
void ControlBus::setSounds(bool on)
{
    runTrapped(m_desktop, [&] { m_model.hearing().setSounds(on); });
}
QString ControlBus::DescribeSet()
{
    return describeActiveSet(m_model.messages());
}
uint ControlBus::repeatsLeft() const
{
    return static_cast<uint>(m_model.repeat().left());
}

void ControlBus::refuse(const char *error, const QString &text)
{
    if (calledFromDBus())
        sendErrorReply(latin1(error), text);
}

void ControlBus::Send(const QString &command)
{
    send(command, {});
}

void ControlBus::send(const QString &command, const QString &client)
{
    const auto character = command.size() == 1 ? CommandTable::commandForKey(command.front().unicode()) : std::nullopt;
    if (!character) {
        refuse(kNotACommand, CommandTable::notACommand(command));
        return;
    }
    runTrapped(m_desktop, [&] {
        const PanelModel::Outcome sent = m_model.sendFromOutside(*character, callerOwner(client));
        switch (sent.refused) {
        case PanelModel::Refused::No: return;
        case PanelModel::Refused::PortNotOpen: refuse(kPortNotOpen, sent.why); return;
        case PanelModel::Refused::Busy: refuse(kBusy, sent.why); return;
        case PanelModel::Refused::NotSent: refuse(kNotSent, sent.why); return;
        }
    });
}

void ControlBus::StartRepeat(const QString &memory, double seconds, uint count)
{
    const char digit = memory.size() == 1 ? memory.front().toLatin1() : '\0';
    // Never a box inside a bus call.
    startRepeat([&](const Owner &starter) { return m_model.repeat().start(digit, seconds, count, true, starter); });
}

void ControlBus::startRepeat(const std::function<RepeatTransmit::Started(const Owner &)> &start, const QString &client)
{
    // Watched from before the first byte; a caller gone before the watch began is
    // found by asking once afterwards. A refused caller leaves the watch as it was.
    const QString repeatCallerBefore = m_repeatCaller;
    const QString caller = calledFromDBus() ? message().service() : QString();
    if (!caller.isEmpty()) {
        m_repeatCaller = caller;
        watchCallers();
    }
    runTrapped(m_desktop, [&] {
        const auto started = start(callerOwner(client));
        using Refused = RepeatTransmit::Refused;
        if (started.refused != Refused::No) {
            m_repeatCaller = m_model.repeat().repeating() ? repeatCallerBefore : QString();
            watchCallers();
            const char *error = started.refused == Refused::InvalidArgs ? kInvalidArgs
                : started.refused == Refused::PortNotOpen               ? kPortNotOpen
                : started.refused == Refused::Busy                      ? kBusy
                : started.refused == Refused::Repeating                 ? kRepeating
                                                                        : kNotSent;
            refuse(error, started.why);
            return;
        }
        if (!caller.isEmpty() && !m_connection.interface()->isServiceRegistered(caller).value())
            m_model.repeat().stop(RepeatTransmit::Stop::CallerLeft);
    });
}

void ControlBus::busDisconnected()
{
    // Losing the bus is losing every caller: what each watched one started ends.
    for (const QString &caller : m_caller->watchedServices())
        callerLeft(caller);
}

void ControlBus::StopRepeat()
{
    runTrapped(m_desktop, [this] { m_model.repeat().stop(RepeatTransmit::Stop::Asked); });
}

void ControlBus::repeatChanged()
{
    if (!m_model.repeat().repeating() && !m_repeatCaller.isEmpty()) {
        m_repeatCaller.clear();
        watchCallers();
    }
    announce({{latin1(property::kRepeating), repeating()}, {latin1(property::kRepeatsLeft), repeatsLeft()}});
}

void ControlBus::announce(const QVariantMap &changed)
{
    if (changed.contains(latin1(property::kLineState)))
        m_lineStateAnnounced = changed.value(latin1(property::kLineState)).toString();
    QDBusMessage signal
        = QDBusMessage::createSignal(latin1(kPath), latin1(kPropertiesInterface), latin1(kPropertiesChanged));
    signal << latin1(kInterface) << changed << QStringList();
    m_connection.send(signal);
}
