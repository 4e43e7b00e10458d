#pragma once

#include "MessageRule.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// What the ten memories hold, in named sets: the messages file's contents. A person
// can write the file by hand; the panel reads it line by line, takes every line it
// understands and refuses each other one with its line number and the reason.
//
//   # comment
//   active Contest
//   [Contest]
//   5 2.8 CQ contest
//   7 - QRZ
//
// "active NAME" names the set in use; "[NAME]" starts a set; in a set, a slot's line
// is the memory digit, its length in seconds ("-" when not known) and its name.
struct MessageSlot {
    QString name; // empty: none given
    int lengthMs = 0; // 0: not known
    bool operator==(const MessageSlot &) const = default;
};

struct MessageSet {
    QString name;
    std::array<MessageSlot, MessageRule::kSlots> memories {};
    bool operator==(const MessageSet &) const = default;
};

struct MessageSets {
    QList<MessageSet> sets; // never empty once read
    int active = 0; // index into sets
    bool operator==(const MessageSets &) const = default;
};

namespace MessagesFile {

inline constexpr qsizetype kMaxFileBytes = 256 * 1024; // a larger file is not read at all
inline constexpr qsizetype kMaxLineCharacters = 200;
inline constexpr auto kFileName = "messages.conf";
inline constexpr auto kDefaultSet = "Default";

struct Read {
    MessageSets sets;
    QStringList refused; // "line N: reason", in the file's order
};

// The file's bytes, read; what nothing gives (an empty file) is one empty set.
Read parse(const QByteArray &bytes);
// The bytes that read back as these sets.
QByteArray format(const MessageSets &sets);

// A length as the file writes it ("2.8", "12.345") and reads it back; nothing
// for a text that is no length of 0.001 to 120 seconds.
QString lengthText(int lengthMs);
std::optional<int> lengthFromText(const QString &text);

} // namespace MessagesFile
