#pragma once

#include <optional>

// The command character a typed character stands for: a letter of the five
// functions in either case, or a memory digit. Plain C++, so the programs that hand
// commands to the panel check them by the panel's own table.
std::optional<char> keyCommand(int characterCode);
