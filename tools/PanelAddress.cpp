#include "PanelAddress.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QDBusVariant>

namespace panel {

namespace {
QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}
constexpr auto kPanelErrors = "org.orma.Qx50VoiceMemory.Error.";
} // namespace

QDBusConnection sessionBus()
{
    // Qt 6.4 registers these lazily, and the bus thread may meet them half made.
    qRegisterMetaType<QDBusMessage>();
    qRegisterMetaType<QDBusError>();
    return QDBusConnection::sessionBus();
}

QString noSessionBus(const char *program)
{
    return QStringLiteral("no desktop session bus: run %1 inside your desktop session").arg(latin1(program));
}

QString findPanel(QDBusConnection &bus, int port, QString *why)
{
    if (port == 0)
        return latin1(kService);
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    if (!names.isValid()) {
        *why = QStringLiteral("the session bus lists no names: %1").arg(names.error().message());
        return {};
    }
    for (const QString &name : names.value()) {
        if (!name.startsWith(latin1(kProcessNamePrefix)))
            continue;
        QDBusMessage get = QDBusMessage::createMethodCall(
            name, latin1(kPath), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get.setAutoStartService(false);
        get << latin1(kInterface) << QStringLiteral("ComPort");
        const QDBusMessage reply = bus.call(get, QDBus::Block, kAnswerWithinMs);
        if (reply.type() == QDBusMessage::ReplyMessage
            && reply.arguments().value(0).value<QDBusVariant>().variant().toInt() == port)
            return name;
    }
    *why = QStringLiteral("no orma-qx50-voice-mem panel has COM%1 open").arg(port);
    return {};
}

QDBusMessage sendCall(const QString &service, const QString &command)
{
    QDBusMessage call
        = QDBusMessage::createMethodCall(service, latin1(kPath), latin1(kInterface), QStringLiteral("Send"));
    call.setAutoStartService(false);
    call << command;
    return call;
}

Answer readAnswer(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {Outcome::Sent, {}, {}};
    if (reply.errorName().startsWith(QLatin1String(kPanelErrors)))
        return {Outcome::Refused, reply.errorMessage(), reply.errorName()};
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return {Outcome::NoPanel, QStringLiteral("no orma-qx50-voice-mem panel is running"), error};
    return {Outcome::NoPanel, QStringLiteral("the panel did not answer: %1").arg(reply.errorMessage()), error};
}

} // namespace panel
