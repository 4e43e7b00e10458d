#include "MessageCalls.h"

#include "Complaint.h"
#include "SendOptions.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMap>

#include <cmath>
#include <cstdio>

namespace {

using panel::kInterface;
using panel::kInvalidArgs;
using panel::kPropertiesInterface;

void printLine(std::FILE *to, const QString &text)
{
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

QDBusMessage call(QDBusConnection &bus, const QString &service, const char *interface, const QString &method,
                  const QVariantList &args)
{
    return bus.call(panel::panelCall(service, interface, method, args), QDBus::Block, panel::kAnswerWithinMs);
}

// A refusal for values the panel will not take comes as the bus's InvalidArgs with the
// panel's words; the panel's own errors and a missing panel as every call reads them.
int exitCodeOf(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return 0;
    if (reply.errorName() == QLatin1String(kInvalidArgs)) {
        complain(reply.errorMessage());
        return 1;
    }
    const panel::Answer answer = panel::readAnswer(reply);
    complain(answer.reason);
    return answer.outcome == panel::Outcome::Refused ? 1 : 2;
}

template <typename Map>
std::optional<Map> property(QDBusConnection &bus, const QString &service, const char *name, QDBusMessage *reply)
{
    *reply = call(bus, service, kPropertiesInterface, QStringLiteral("Get"),
                  {QString::fromLatin1(kInterface), QString::fromLatin1(name)});
    if (reply->type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    const QVariant value = reply->arguments().value(0).value<QDBusVariant>().variant();
    if constexpr (std::is_same_v<Map, QString>)
        return value.toString();
    else
        return qdbus_cast<Map>(value.value<QDBusArgument>());
}

QString secondsText(double seconds)
{
    return QString::number(std::round(seconds * 1000) / 1000, 'g', 6);
}

int listMessages(QDBusConnection &bus, const QString &service)
{
    QDBusMessage reply;
    const auto set = property<QString>(bus, service, panel::property::kMessageSet, &reply);
    if (!set)
        return exitCodeOf(reply);
    const auto names = property<QMap<uint, QString>>(bus, service, panel::property::kMessageNames, &reply);
    if (!names)
        return exitCodeOf(reply);
    const auto lengths = property<QMap<uint, double>>(bus, service, panel::property::kMessageLengths, &reply);
    if (!lengths)
        return exitCodeOf(reply);
    printLine(stdout, *set);
    for (uint memory = 0; memory < 10; ++memory) {
        const QString length = lengths->contains(memory) ? secondsText(lengths->value(memory)) : QStringLiteral("-");
        printLine(stdout, QStringLiteral("%1\t%2\t%3").arg(memory).arg(length, names->value(memory)));
    }
    return 0;
}

// The property's Set cannot refuse: the set in use, read back, tells whether it took.
int selectSet(QDBusConnection &bus, const QString &service, const QString &name)
{
    QDBusMessage reply = call(bus, service, kPropertiesInterface, QStringLiteral("Set"),
                              {QString::fromLatin1(kInterface), QString::fromLatin1(panel::property::kMessageSet),
                               QVariant::fromValue(QDBusVariant(name))});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return exitCodeOf(reply);
    const auto now = property<QString>(bus, service, panel::property::kMessageSet, &reply);
    if (!now)
        return exitCodeOf(reply);
    if (*now != name) {
        complain(QStringLiteral("there is no set %1").arg(name.left(40)));
        return 1;
    }
    return 0;
}

void registerTypes()
{
    qDBusRegisterMetaType<QMap<uint, QString>>();
    qDBusRegisterMetaType<QMap<uint, double>>();
}

} // namespace

int runMessageCall(QDBusConnection &bus, const QString &service, const SendOptions &options)
{
    registerTypes();
    if (options.listMessages)
        return listMessages(bus, service);
    if (options.setName)
        return selectSet(bus, service, *options.setName);
    if (options.newSet)
        return exitCodeOf(
            call(bus, service, kInterface, QString::fromLatin1(panel::method::kAddMessageSet), {*options.newSet}));
    if (options.memoryLength)
        return exitCodeOf(call(bus, service, kInterface, QString::fromLatin1(panel::method::kSetMessageLength),
                               {static_cast<uint>(options.memoryLength->first), options.memoryLength->second}));
    if (options.describeSet) {
        const QDBusMessage reply
            = call(bus, service, kInterface, QString::fromLatin1(panel::method::kDescribeSet), {});
        if (reply.type() == QDBusMessage::ReplyMessage)
            printLine(stdout, reply.arguments().value(0).toString());
        return exitCodeOf(reply);
    }
    return exitCodeOf(call(bus, service, kInterface, QString::fromLatin1(panel::method::kSetMessageName),
                           {static_cast<uint>(options.nameMemory->first), options.nameMemory->second}));
}

std::optional<int> messageLengthMs(QDBusConnection &bus, const QString &service, int memory, panel::Answer *failed)
{
    registerTypes();
    QDBusMessage reply;
    const auto lengths = property<QMap<uint, double>>(bus, service, panel::property::kMessageLengths, &reply);
    if (!lengths) {
        *failed = panel::readAnswer(reply);
        if (failed->outcome == panel::Outcome::Sent) // an answer of the wrong kind
            *failed = {panel::Outcome::NoPanel, QStringLiteral("the panel gave no message lengths"), {}};
        return std::nullopt;
    }
    const double seconds = lengths->value(static_cast<uint>(memory), 0);
    if (!(seconds > 0) || seconds > 600)
        return std::nullopt;
    return static_cast<int>(std::lround(seconds * 1000));
}

bool stillPlaying(QDBusConnection &bus, const QString &service, int memory)
{
    // A short answer time: a slow panel must not hold the station past the message.
    constexpr int kAskWithinMs = 200;
    const QDBusMessage reply
        = bus.call(panel::panelCall(service, kPropertiesInterface, QStringLiteral("Get"),
                                    {QString::fromLatin1(kInterface), QString::fromLatin1(panel::property::kPlaying)}),
                   QDBus::Block, kAskWithinMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return true;
    return reply.arguments().value(0).value<QDBusVariant>().variant().toString() == QString::number(memory);
}
