#pragma once

#include <optional>

// What a command character shows on the status line once it has been sent.
struct StatusEffect {
    const char *caption;
    unsigned int foreColor; // 32-bit colour value
};

// "M", "R", "P" and "T" name the unit's function; "S" and the memory digits leave
// the status line as it was.
std::optional<StatusEffect> statusEffectOf(char command);
