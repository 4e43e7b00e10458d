#pragma once

#include <optional>

// The command character a typed character stands for: a letter of the five
// functions in either case, or a memory digit.
std::optional<char> keyCommand(int characterCode);
