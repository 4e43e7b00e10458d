#include "SendOptions.h"

#include "client/PanelClient.h"
#include "contract/CommandTable.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// Digits with an optional fraction: no signs, exponents, "inf" or "nan".
std::optional<double> plainSeconds(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^[0-9]{1,4}(\\.[0-9]{1,3})?$"));
    if (!plain.match(text).hasMatch())
        return std::nullopt;
    return text.toDouble();
}

std::optional<std::chrono::milliseconds> holdTime(const QString &text)
{
    const std::optional<double> plain = plainSeconds(text);
    if (!plain)
        return std::nullopt;
    const double seconds = *plain;
    if (!(seconds > 0) || seconds > SendOptions::kMaxHoldSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

} // namespace

SendOptions::Parsed SendOptions::parse(const QStringList &arguments)
{
    SendOptions options;
    std::optional<int> play;
    bool haveCommand = false;
    auto refuse = [](const QString &why) { return Parsed {std::nullopt, why}; };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--play")) {
            const auto text = value();
            play = text ? CommandTable::memoryOf(*text) : std::nullopt;
            if (!play)
                return refuse(QStringLiteral("--play takes a memory digit 0 to 9"));
        } else if (argument == QLatin1String("--hold")) {
            const auto text = value();
            options.hold = text ? holdTime(*text) : std::nullopt;
            if (!options.hold)
                return refuse(QStringLiteral("--hold takes seconds, more than 0 and at most 600 (e.g. 4 or 2.5)"));
        } else if (argument == QLatin1String("--wait")) {
            options.wait = true;
        } else if (argument == QLatin1String("--messages")) {
            options.listMessages = true;
        } else if (argument == QLatin1String("--describe")) {
            options.describeSet = true;
        } else if (argument == QLatin1String("--set")) {
            options.setName = value();
            if (!options.setName)
                return refuse(QStringLiteral("--set takes the name of a set"));
        } else if (argument == QLatin1String("--new-set")) {
            options.newSet = value();
            if (!options.newSet)
                return refuse(QStringLiteral("--new-set takes the name of the new set"));
        } else if (argument == QLatin1String("--length")) {
            // The range is the panel's to judge, as a length given in its dialog.
            const auto digit = value();
            const auto memory = digit ? CommandTable::memoryOf(*digit) : std::nullopt;
            const auto text = memory ? value() : std::nullopt;
            // "-" is how --messages and the messages file write a length not known; 0 says it too.
            const auto seconds = !text ? std::nullopt : *text == QLatin1String("-") ? std::optional(0.0) : plainSeconds(*text);
            if (!seconds)
                return refuse(QStringLiteral("--length takes a memory digit 0 to 9 and seconds (e.g. 4.1; - for not known)"));
            options.memoryLength = std::pair {*memory, *seconds};
        } else if (argument == QLatin1String("--name")) {
            const auto digit = value();
            const auto memory = digit ? CommandTable::memoryOf(*digit) : std::nullopt;
            const auto text = memory ? value() : std::nullopt;
            if (!text)
                return refuse(QStringLiteral("--name takes a memory digit 0 to 9 and a name"));
            options.nameMemory = std::pair {*memory, *text};
        } else if (argument == QLatin1String("--port")) {
            const auto text = value();
            const auto port = text ? panel::comPortNumber(*text) : std::nullopt;
            if (!port)
                return refuse(QStringLiteral("--port takes a COM port number 1 to 4"));
            options.port = *port;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return refuse(QStringLiteral("unknown option %1").arg(argument.left(40)));
        } else if (haveCommand) {
            return refuse(QStringLiteral("one COMMAND at a time"));
        } else if (argument.size() != 1 || !CommandTable::find(argument.front().unicode())) {
            return refuse(CommandTable::notACommand(argument));
        } else {
            haveCommand = true;
            options.commands = {argument};
        }
    }
    if (options.help)
        return {options, {}};
    const int messageCalls = int(options.listMessages) + int(options.describeSet) + int(bool(options.setName)) + int(bool(options.newSet))
        + int(bool(options.nameMemory)) + int(bool(options.memoryLength));
    if (messageCalls > 0) {
        if (messageCalls > 1 || play || haveCommand || options.hold || options.wait)
            return refuse(QStringLiteral("--messages, --describe, --set, --new-set, --name and --length go alone"));
        return {options, {}};
    }
    if (options.wait && (!play || options.hold))
        return refuse(QStringLiteral("--wait goes with --play, without --hold"));
    options.playMemory = play;
    if (play && haveCommand)
        return refuse(QStringLiteral("either COMMAND or --play N, not both"));
    if (options.hold && !play)
        return refuse(QStringLiteral("--hold goes with --play"));
    if (play)
        options.commands = CommandTable::playMemory(CommandTable::memoryCharacter(*play));
    if (options.commands.isEmpty())
        return refuse(QStringLiteral("no COMMAND and no --play"));
    return {options, {}};
}
