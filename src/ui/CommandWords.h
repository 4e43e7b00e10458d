#pragma once

#include <QString>

// What a screen reader says when a command has gone out to the unit: the function's
// name ("Transmit", "Stop") or the memory chosen ("Memory 5"). Empty for a character
// that is no command.
QString commandWords(char command);
