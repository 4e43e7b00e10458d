#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>
#include <vector>

// Every command the unit takes, in one table that each door reads: the window's
// buttons and keys, the bus, qx50-send, qx50-rigctld, the phone page and any later
// client. Nothing else spells a command or tells a memory from a function.
enum class CommandKind {
    Function, // what the unit does: record, play, transmit, stop
    Memory, // which of the ten memory slots the next function acts on
};

// A memory key's place on the window's keypad, counted from the top left.
struct KeypadPlace {
    int row = -1;
    int column = -1;
};

struct PanelCommand {
    char character; // the byte sent to the unit; also its key, in either case
    CommandKind kind;
    const char *caption; // the button's caption
    const char *spoken; // what a screen reader says once it went out
    // What the status line shows once it went out; none for "S" and the digits,
    // which leave the status as it was.
    const char *status = nullptr;
    quint32 statusColour = 0;
    KeypadPlace key {}; // memories only
};

namespace CommandTable {

// The fifteen commands: M, R, P, T, S, then the memory digits 0 to 9.
std::span<const PanelCommand> all();

// The command a character stands for, as the keyboard and the bus take it (a letter
// in either case, or a digit); nothing for anything else.
const PanelCommand *find(int characterCode);
std::optional<char> commandForKey(int characterCode);

// The words a caller hears for something that is not a command.
QString notACommand(const QString &given);
// The commands as a caller's help lists them: "M R P T S (either case) or a memory
// digit 0 to 9".
QString commandsInWords();

// Playing memory N on the air: the memory digit, then "T".
QStringList playMemory(char memory);

// Whether this is a memory digit.
bool isMemory(char character);
// The memory slot a text of one memory character chooses; nothing for any other text.
std::optional<int> memoryOf(QStringView text);
// The character that chooses memory slot `memory` (0 to 9).
char memoryCharacter(int memory);

// The memory keys in the window's keypad order: row by row from the top, each row
// from the left.
std::vector<const PanelCommand *> keypad();

} // namespace CommandTable
