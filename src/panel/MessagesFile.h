#pragma once

#include "MessageRule.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// What the ten memories hold, in named sets: the messages file's contents. A person
// can write the file by hand; the panel reads it line by line, takes every line it
// understands and refuses each other one with its line number, the reason and the
// line's text.
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

// What one line of the file was taken as, so that a change rewrites only the lines
// holding what it changes and leaves every other line as the person wrote it.
struct LineRole {
    enum Kind { Blank, Active, Set, Slot, Refused } kind = Blank; // Blank: empty or a comment
    int set = -1; // Set, Slot: the index into the sets read
    int memory = -1; // Slot
};

struct Read {
    MessageSets sets;
    QStringList refused; // "line N: reason, in "the line's text"", in the file's order
    QList<LineRole> roles; // one a line, as split at each line feed; none for a file not read
};

// The file's bytes, read; what nothing gives (an empty file) is one empty set.
Read parse(const QByteArray &bytes);
// The bytes that read back as these sets.
QByteArray format(const MessageSets &sets);
// A slot's line as the file writes it: "5 2.8 CQ contest", "7 - QRZ".
QString slotLine(int memory, const MessageSlot &slot);

// A length as the file writes it ("2.8", "12.345") and reads it back; nothing
// for a text that is no length of 0.001 to 120 seconds.
QString lengthText(int lengthMs);
std::optional<int> lengthFromText(const QString &text);

} // namespace MessagesFile
