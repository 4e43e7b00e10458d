// Arbitrary bytes as a messages file: never a crash, every refused line named with
// its number, every name taken within the rule, and what is taken survives the trip
// through the file unchanged. A name changed in place reads back, and keeps every
// line the panel refused.
#include "Require.h"
#include "panel/MessagesFile.h"
#include "panel/MessagesText.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const MessagesFile::Read read = MessagesFile::parse(bytes);
    require(!read.sets.sets.isEmpty() && read.sets.sets.size() <= MessageRule::kMaxSets);
    require(read.sets.active >= 0 && read.sets.active < read.sets.sets.size());
    for (const QString &line : read.refused)
        require(line.startsWith(QLatin1String("line ")) || line.startsWith(QLatin1String("the file")));
    for (const MessageSet &set : read.sets.sets) {
        require(MessageRule::setNameRefusal(set.name).isEmpty());
        for (const MessageSlot &slot : set.memories) {
            require(MessageRule::nameRefusal(slot.name).isEmpty());
            require(slot.lengthMs >= 0 && slot.lengthMs <= MessageRule::kMaxLengthMs);
        }
    }
    const MessagesFile::Read again = MessagesFile::parse(MessagesFile::format(read.sets));
    require(again.refused.isEmpty());
    require(again.sets == read.sets);
    require(read.roles.isEmpty() || read.roles.size() == bytes.count('\n') + 1);

    const MessagesText before(bytes);
    MessagesText edited = before;
    const QString name = QStringLiteral("CQ contest");
    require(edited.apply(MessageEdit::slotOf({}, 5, name, 2800)).isEmpty());
    const MessageSets &after = edited.read().sets;
    require(after.sets[after.active].memories[5] == (MessageSlot {name, 2800}));
    require(edited.keepsRefusedLinesOf(before) || bytes.size() > MessagesFile::kMaxFileBytes);
    return 0;
}
