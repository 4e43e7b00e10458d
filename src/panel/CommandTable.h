#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// Every command the unit takes, in one table that each door reads: the window's
// buttons and keys, the bus, qx50-send, qx50-rigctld and any later client. Nothing
// else spells a command.
struct PanelCommand {
    char character; // the byte sent to the unit; also its key, in either case
    const char *caption; // the button's caption
    const char *spoken; // what a screen reader says once it went out
    // What the status line shows once it went out; none for "S" and the digits,
    // which leave the status as it was.
    const char *status = nullptr;
    quint32 statusColour = 0;
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

// Playing memory N on the air: the memory digit, then "T".
QStringList playMemory(char memory);

// Whether this is a memory digit.
bool isMemory(char character);

} // namespace CommandTable
