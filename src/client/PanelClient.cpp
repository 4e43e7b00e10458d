#include "PanelClient.h"

#include "panel/Desktop.h"
#include "serial/PortNumbers.h"

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
// "no orma-qx50-voice-mem panel ...", with the program's one name.
QString noPanel(const QString &rest)
{
    return QStringLiteral("no %1 panel %2").arg(latin1(Desktop::kApplicationTitle), rest);
}
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

std::optional<int> comPortNumber(const QString &text)
{
    if (text.size() != 1 || text.front() < u'0' || text.front() > u'9')
        return std::nullopt;
    const int port = text.front().unicode() - '0';
    if (port < kFirstComPort || port > kLastComPort)
        return std::nullopt;
    return port;
}

QString noPanelWith(int port)
{
    return noPanel(QStringLiteral("has COM%1 open").arg(port));
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
    *why = noPanelWith(port);
    return {};
}

QDBusMessage panelCall(const QString &service, const char *interface, const QString &method, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, latin1(kPath), latin1(interface), method);
    call.setAutoStartService(false);
    call.setArguments(args);
    return call;
}

QDBusMessage sendCall(const QString &service, const QString &command)
{
    return panelCall(service, kInterface, QStringLiteral("Send"), {command});
}

QDBusMessage sendForCall(const QString &service, const QString &command, const QString &client)
{
    return panelCall(service, kInterface, latin1(kSendFor), {command, client});
}

QDBusMessage stopOwnCall(const QString &service, const QString &client)
{
    return panelCall(service, kInterface, latin1(kStopOwn), {client});
}

Answer readAnswer(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {Outcome::Sent, {}, {}};
    if (reply.errorName().startsWith(QLatin1String(kErrorPrefix)))
        return {Outcome::Refused, reply.errorMessage(), reply.errorName()};
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return {Outcome::NoPanel, noPanel(QStringLiteral("is running")), error};
    return {Outcome::NoPanel, QStringLiteral("the panel did not answer: %1").arg(reply.errorMessage()), error};
}

} // namespace panel
