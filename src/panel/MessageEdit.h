#pragma once

#include "MessagesFile.h"

#include <QString>

#include <optional>

// One change to the message sets, as the operator or a program asked for it. Changes
// travel as edits, not as whole sets, so that each is made on the messages file as it
// is at that moment and what others changed in the meantime stays.
struct MessageEdit {
    enum Kind { Slot, Select, Add, Rename, Delete };
    Kind kind = Slot;
    QString set; // the set it acts on; for Slot, empty: the set in use
    QString to; // Rename: the new name
    int memory = -1; // Slot
    // Slot: what changes; what is not given stays as the file has it.
    std::optional<QString> name;
    std::optional<int> lengthMs; // 0: not known

    static MessageEdit slotOf(const QString &set, int memory, std::optional<QString> name,
                              std::optional<int> lengthMs)
    {
        return {Slot, set, {}, memory, std::move(name), lengthMs};
    }
    static MessageEdit select(const QString &set) { return {Select, set, {}, -1, {}, {}}; }
    static MessageEdit add(const QString &set) { return {Add, set, {}, -1, {}, {}}; }
    static MessageEdit rename(const QString &from, const QString &to) { return {Rename, from, to, -1, {}, {}}; }
    static MessageEdit remove(const QString &set) { return {Delete, set, {}, -1, {}, {}}; }
};
