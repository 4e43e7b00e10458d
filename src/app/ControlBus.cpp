#include "ControlBus.h"

#include "RepeatTransmit.h"
#include "UntrappedFailure.h"
#include "ui/Form1.h"
#include "ui/KeyCommand.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

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

// The panel's text for a command the unit did not take, with the reason after it.
QString notSentText(const QString &why)
{
    const QString text = QString::fromLatin1(Form1::kCommandNotSent);
    return why.isEmpty() ? text : QStringLiteral("%1: %2").arg(text, why);
}

} // namespace

QString ControlBus::processName()
{
    return latin1(kProcessNamePrefix) + QString::number(QCoreApplication::applicationPid());
}

QDBusConnection ControlBus::sessionBus()
{
    // Qt 6.4 registers these lazily, and the bus's own thread may meet them half made.
    qRegisterMetaType<QDBusMessage>();
    qRegisterMetaType<QDBusError>();
    return QDBusConnection::sessionBus();
}

ControlBus::ControlBus(Form1 &form, Desktop &desktop, QDBusConnection connection, QObject *parent)
    : QObject(parent)
    , m_form(form)
    , m_desktop(desktop)
    , m_connection(std::move(connection))
{
    if (!m_connection.isConnected()) {
        m_whyNot = QStringLiteral("no session bus (%1); running without the %2 interface")
                       .arg(m_connection.lastError().message(), latin1(kInterface));
        return;
    }
    // The object first: a caller that finds the name must find the object too.
    const auto exported = QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableProperties;
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
    if (!m_serving)
        m_whyNot = QStringLiteral("another copy owns %1 on the session bus; this one answers as %2 only")
                       .arg(latin1(kService), processName());

    connect(m_form.Status, &Label::captionChanged, this, [this](const QString &caption) {
        announce({{QStringLiteral("Status"), caption}});
    });
    connect(m_form.TextBox, &Label::captionChanged, this, [this](const QString &text) {
        announce({{QStringLiteral("Received"), onTheBus(text)}});
    });
    connect(&m_form.Comm1, &SerialComm::portOpenChanged, this, [this](bool open) {
        announce({{QStringLiteral("PortOpen"), open}, {QStringLiteral("ComPort"), open ? m_form.Comm1.commPort() : 0}});
    });

    // The caller of StartRepeat is watched while its repeat runs; when its connection
    // ends, whatever the cause, the repeat ends with "S".
    m_caller = new QDBusServiceWatcher(QString(), m_connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_caller, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { runTrapped(m_desktop, [this] { m_form.repeat->stop(RepeatTransmit::Stop::CallerLeft); }); });
    connect(m_form.repeat, &RepeatTransmit::changed, this, &ControlBus::repeatChanged);
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
    return m_form.Status->caption();
}
bool ControlBus::portOpen() const
{
    return m_form.Comm1.portOpen();
}
int ControlBus::comPort() const
{
    return portOpen() ? m_form.Comm1.commPort() : 0;
}
QString ControlBus::received() const
{
    return onTheBus(m_form.TextBox->caption());
}
bool ControlBus::repeating() const
{
    return m_form.repeat->repeating();
}
uint ControlBus::repeatsLeft() const
{
    return static_cast<uint>(m_form.repeat->left());
}

void ControlBus::refuse(const char *error, const QString &text)
{
    if (calledFromDBus())
        sendErrorReply(latin1(error), text);
}

void ControlBus::Send(const QString &command)
{
    const auto character = command.size() == 1 ? keyCommand(command.front().unicode()) : std::nullopt;
    if (!character) {
        refuse(kNotACommand,
               QStringLiteral("\"%1\" is not a command: M, R, P, T, S or a digit 0 to 9").arg(command.left(20)));
        return;
    }
    // While a box is up the window takes no clicks; neither does the bus, so no
    // command slips into the middle of a handler that waits for the operator.
    if (QApplication::activeModalWidget()) {
        refuse(kBusy, QStringLiteral("The panel is showing a message; close it first."));
        return;
    }
    runTrapped(m_desktop, [&] {
        QString notSentWhy;
        const bool sent = m_form.Comm1.portOpen() && m_form.issueCommand(*character, &notSentWhy);
        // Closed before, or lost under the write (the window reports the lost line
        // itself): either way the caller is told, not with a box of the window's.
        if (!m_form.Comm1.portOpen())
            refuse(kPortNotOpen, QStringLiteral("Com Port is not open!"));
        else if (!sent) // the unit takes nothing more for now: the caller hears why, at once
            refuse(kNotSent, notSentText(notSentWhy));
    });
}

void ControlBus::StartRepeat(const QString &memory, double seconds, uint count)
{
    if (const QString why = RepeatTransmit::refusal(memory, seconds, count); !why.isEmpty()) {
        refuse(kInvalidArgs, why);
        return;
    }
    if (!m_form.Comm1.portOpen()) {
        refuse(kPortNotOpen, QStringLiteral("Com Port is not open!"));
        return;
    }
    if (QApplication::activeModalWidget()) {
        refuse(kBusy, QStringLiteral("The panel is showing a message; close it first."));
        return;
    }
    if (m_form.repeat->repeating()) {
        refuse(kRepeating, QStringLiteral("A repeat is running already; stop it first."));
        return;
    }
    // Watched from before the first byte; a caller gone before the watch began is
    // found by asking once afterwards.
    const QString caller = calledFromDBus() ? message().service() : QString();
    if (!caller.isEmpty())
        m_caller->setWatchedServices({caller});
    runTrapped(m_desktop, [&] {
        QString notSentWhy; // never a box inside a bus call
        const bool started
            = m_form.repeat->start(memory.front().toLatin1(), seconds, static_cast<int>(count), &notSentWhy);
        if (!started) {
            m_caller->setWatchedServices({});
            if (!m_form.Comm1.portOpen())
                refuse(kPortNotOpen, QStringLiteral("Com Port is not open!"));
            else
                refuse(kNotSent, notSentText(notSentWhy));
            return;
        }
        if (!caller.isEmpty() && !m_connection.interface()->isServiceRegistered(caller).value())
            m_form.repeat->stop(RepeatTransmit::Stop::CallerLeft);
    });
}

void ControlBus::StopRepeat()
{
    runTrapped(m_desktop, [this] { m_form.repeat->stop(RepeatTransmit::Stop::Asked); });
}

void ControlBus::repeatChanged()
{
    if (!m_form.repeat->repeating())
        m_caller->setWatchedServices({});
    announce({{QStringLiteral("Repeating"), repeating()}, {QStringLiteral("RepeatsLeft"), repeatsLeft()}});
}

void ControlBus::announce(const QVariantMap &changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(latin1(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << latin1(kInterface) << changed << QStringList();
    m_connection.send(signal);
}
