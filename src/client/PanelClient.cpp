#include "PanelClient.h"

#include "PanelFinder.h"
#include "contract/ComPorts.h"
#include "contract/ProgramName.h"

#include <QDBusError>
#include <QEventLoop>

namespace panel {

namespace {
QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}
// "no orma-qx50-voice-mem panel ...", with the program's one name.
QString noPanel(const QString &rest)
{
    return QStringLiteral("no %1 panel %2").arg(latin1(kProgramName), rest);
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
    // The finder's own search, waited for: a program that has nothing else to do
    // until it knows its panel.
    PanelFinder finder(bus);
    QEventLoop loop;
    QString service;
    bool found = false;
    finder.find(port, [&](const QString &name, const QString &reason) {
        service = name;
        *why = reason;
        found = true;
        loop.quit();
    });
    if (!found)
        loop.exec();
    return service;
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
    return panelCall(service, kInterface, latin1(method::kSend), {command});
}

QDBusMessage sendForCall(const QString &service, const QString &command, const QString &client)
{
    return panelCall(service, kInterface, latin1(method::kSendFor), {command, client});
}

QDBusMessage stopOwnCall(const QString &service, const QString &client)
{
    return panelCall(service, kInterface, latin1(method::kStopOwn), {client});
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
