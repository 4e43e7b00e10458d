#include "CommandTable.h"

#include "StatusColour.h"

#include <array>

namespace {

constexpr std::array<PanelCommand, 15> kCommands {{
    {'M', "MIC record", "MIC record", "MIC record", StatusColour::kButtonText},
    {'R', "RX record", "RX record", "RX record", StatusColour::kButtonText},
    {'P', "Play", "Play", "Play", StatusColour::kButtonText},
    {'T', "Transmit", "Transmit", "Transmit", StatusColour::kRed},
    {'S', "Stop", "Stop"},
    {'0', "0", "Memory 0"},
    {'1', "1", "Memory 1"},
    {'2', "2", "Memory 2"},
    {'3', "3", "Memory 3"},
    {'4', "4", "Memory 4"},
    {'5', "5", "Memory 5"},
    {'6', "6", "Memory 6"},
    {'7', "7", "Memory 7"},
    {'8', "8", "Memory 8"},
    {'9', "9", "Memory 9"},
}};

} // namespace

namespace CommandTable {

std::span<const PanelCommand> all()
{
    return kCommands;
}

const PanelCommand *find(int characterCode)
{
    const int upper = characterCode >= 'a' && characterCode <= 'z' ? characterCode - 'a' + 'A' : characterCode;
    for (const PanelCommand &command : kCommands)
        if (command.character == upper)
            return &command;
    return nullptr;
}

std::optional<char> commandForKey(int characterCode)
{
    if (const PanelCommand *command = find(characterCode))
        return command->character;
    return std::nullopt;
}

QString notACommand(const QString &given)
{
    return QStringLiteral("\"%1\" is not a command: M, R, P, T, S or a digit 0 to 9").arg(given.left(20));
}

QStringList playMemory(char memory)
{
    return {QString(QChar::fromLatin1(memory)), QStringLiteral("T")};
}

bool isMemory(char character)
{
    return character >= '0' && character <= '9';
}

} // namespace CommandTable
