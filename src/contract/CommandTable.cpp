#include "CommandTable.h"

#include "StatusColour.h"

#include <algorithm>
#include <array>

namespace {

using enum CommandKind;

// The keypad is the window's: 7-8-9 on top, 1-2-3 in the third row, 0 alone under 2.
constexpr std::array<PanelCommand, 15> kCommands {{
    {'M', Function, "MIC record", "MIC record", "MIC record", StatusColour::kButtonText},
    {'R', Function, "RX record", "RX record", "RX record", StatusColour::kButtonText},
    {'P', Function, "Play", "Play", "Play", StatusColour::kButtonText},
    {'T', Function, "Transmit", "Transmit", "Transmit", StatusColour::kRed},
    {'S', Function, "Stop", "Stop"},
    {'0', Memory, "0", "Memory 0", nullptr, 0, {3, 1}},
    {'1', Memory, "1", "Memory 1", nullptr, 0, {2, 0}},
    {'2', Memory, "2", "Memory 2", nullptr, 0, {2, 1}},
    {'3', Memory, "3", "Memory 3", nullptr, 0, {2, 2}},
    {'4', Memory, "4", "Memory 4", nullptr, 0, {1, 0}},
    {'5', Memory, "5", "Memory 5", nullptr, 0, {1, 1}},
    {'6', Memory, "6", "Memory 6", nullptr, 0, {1, 2}},
    {'7', Memory, "7", "Memory 7", nullptr, 0, {0, 0}},
    {'8', Memory, "8", "Memory 8", nullptr, 0, {0, 1}},
    {'9', Memory, "9", "Memory 9", nullptr, 0, {0, 2}},
}};

// The memories in slot order, first and last: the words of a list say "0 to 9".
constexpr auto kFirstMemory = std::ranges::find(kCommands, Memory, &PanelCommand::kind);
constexpr char kMemoryBase = kFirstMemory->character; // slot 0's character
static_assert(std::ranges::count(kCommands, Memory, &PanelCommand::kind) == 10);

QString functionLetters(QLatin1StringView separator)
{
    QStringList letters;
    for (const PanelCommand &command : kCommands)
        if (command.kind == Function)
            letters << QString(QChar::fromLatin1(command.character));
    return letters.join(separator);
}

QString memoryText(int memory)
{
    return QString(QChar::fromLatin1(CommandTable::memoryCharacter(memory)));
}

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
    return QStringLiteral("\"%1\" is not a command: %2 or a digit %3 to %4")
        .arg(given.left(20), functionLetters(QLatin1StringView(", ")), memoryText(0), memoryText(9));
}

QString commandsInWords()
{
    return QStringLiteral("%1 (either case) or a memory digit %2 to %3")
        .arg(functionLetters(QLatin1StringView(" ")), memoryText(0), memoryText(9));
}

QStringList playMemory(char memory)
{
    return {QString(QChar::fromLatin1(memory)), QStringLiteral("T")};
}

bool isMemory(char character)
{
    const PanelCommand *command = find(static_cast<unsigned char>(character));
    return command && command->kind == Memory;
}

std::optional<int> memoryOf(QStringView text)
{
    if (text.size() != 1 || text.front().unicode() > 0x7f || !isMemory(text.front().toLatin1()))
        return std::nullopt;
    return text.front().toLatin1() - kMemoryBase;
}

char memoryCharacter(int memory)
{
    return static_cast<char>(kMemoryBase + memory);
}

std::vector<const PanelCommand *> keypad()
{
    std::vector<const PanelCommand *> keys;
    for (const PanelCommand &command : kCommands)
        if (command.kind == Memory)
            keys.push_back(&command);
    std::ranges::sort(keys, [](const PanelCommand *a, const PanelCommand *b) {
        return std::pair(a->key.row, a->key.column) < std::pair(b->key.row, b->key.column);
    });
    return keys;
}

} // namespace CommandTable
