#include "MessagesFile.h"

#include "contract/CommandTable.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <optional>

namespace MessagesFile {

namespace {

constexpr auto kHeader = "# The message names and lengths of orma-qx50-voice-mem.\n"
                         "# \"active NAME\" is the set in use; \"[NAME]\" starts a set; in a set each line\n"
                         "# is a memory digit, the message's length in seconds (- when not known) and\n"
                         "# its name, at most 24 characters. Lines the panel cannot read are refused.\n";

std::optional<QString> decodedLine(const QByteArray &line)
{
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(line);
    if (decode.hasError())
        return std::nullopt;
    return text;
}

// A refused line's text as the refusal quotes it: cut short, and with the characters
// that would change how it reads shown as a replacement character.
QString shownText(const QByteArray &raw)
{
    constexpr qsizetype kShown = 40;
    QString text = QString::fromUtf8(raw.left(kShown * 4)).trimmed();
    QList<uint> characters = text.toUcs4();
    const bool cut = characters.size() > kShown;
    characters.resize(std::min<qsizetype>(characters.size(), kShown));
    for (uint &c : characters) {
        if (c == U'"')
            c = U'\''; // the quote around it stays the only one
        else if (c != U'<' && c != U'>' && MessageRule::refusedCharacter(c))
            c = 0xfffd; // shown as plain text, where brackets are harmless
    }
    text = QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), characters.size());
    return cut ? text + QStringLiteral("...") : text;
}

// Why a slot's length was not read, in words an operator takes in at once.
QString lengthRefusal(const QString &length)
{
    static const QRegularExpression number(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    const int longest = MessageRule::kMaxLengthMs / 1000;
    const QString rule = MessageRule::lengthRule() + QStringLiteral(" (-)");
    const QString shown = shownText(length.toUtf8());
    if (length.isEmpty())
        return QStringLiteral("no length; %1").arg(rule);
    if (number.match(length).hasMatch()) {
        const double seconds = length.toDouble();
        if (seconds * 1000 > MessageRule::kMaxLengthMs)
            return QStringLiteral("%1 s is longer than %2 s").arg(shown).arg(longest);
        if (seconds * 1000 < 0.5)
            return QStringLiteral("%1 s is no length; write - when not known").arg(shown);
        if (length.section(u'.', 1).size() > 3)
            return QStringLiteral("%1 s has more than 3 decimals").arg(shown);
    }
    return QStringLiteral("%1 is no length; %2").arg(shown, rule);
}

} // namespace

QString lengthText(int lengthMs)
{
    QString text = QString::number(lengthMs / 1000.0, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

std::optional<int> lengthFromText(const QString &text)
{
    // Digits with an optional fraction: no signs, exponents, "inf" or "nan".
    static const QRegularExpression plain(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3})?$"));
    if (!plain.match(text).hasMatch())
        return std::nullopt;
    const int ms = static_cast<int>(std::lround(text.toDouble() * 1000));
    if (ms <= 0 || ms > MessageRule::kMaxLengthMs)
        return std::nullopt;
    return ms;
}

Read parse(const QByteArray &bytes)
{
    Read read;
    auto emptySets = [] {
        MessageSets sets;
        sets.sets.append(MessageSet {QString::fromLatin1(kDefaultSet), {}});
        return sets;
    };
    if (bytes.size() > kMaxFileBytes) {
        read.sets = emptySets();
        read.refused << QStringLiteral("the file is larger than %1 KiB and was not read").arg(kMaxFileBytes / 1024);
        return read;
    }
    QString activeName;
    int activeLine = 0;
    MessageSet *current = nullptr;
    std::array<bool, MessageRule::kSlots> named {};
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int number = static_cast<int>(index + 1);
        read.roles.append(LineRole {});
        LineRole &role = read.roles.last();
        QByteArray raw = lines[index];
        if (raw.endsWith('\r'))
            raw.chop(1);
        auto refuse = [&](const QString &why) {
            read.refused << QStringLiteral("line %1: %2, in \"%3\"").arg(number).arg(why, shownText(raw));
            role.kind = LineRole::Refused;
        };
        // A set's line refused for its bytes closes the open set as every other refused
        // set line does, so the slots under it never land in the set before.
        const bool looksLikeSet = raw.trimmed().startsWith('[');
        const std::optional<QString> decoded = decodedLine(raw);
        if (!decoded) {
            refuse(QStringLiteral("not UTF-8 text"));
            if (looksLikeSet)
                current = nullptr;
            continue;
        }
        if (decoded->size() > kMaxLineCharacters) {
            refuse(QStringLiteral("longer than %1 characters").arg(kMaxLineCharacters));
            if (looksLikeSet)
                current = nullptr;
            continue;
        }
        const QString line = decoded->trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) {
                refuse(QStringLiteral("a set's line is [NAME]"));
                current = nullptr;
                continue;
            }
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (QString why = MessageRule::setNameRefusal(name); !why.isEmpty()) {
                refuse(why);
                current = nullptr;
            } else if (std::any_of(read.sets.sets.cbegin(), read.sets.sets.cend(),
                                   [&](const MessageSet &set) { return set.name == name; })) {
                refuse(QStringLiteral("the set %1 is given twice").arg(name));
                current = nullptr;
            } else if (read.sets.sets.size() >= MessageRule::kMaxSets) {
                refuse(QStringLiteral("more than %1 sets").arg(MessageRule::kMaxSets));
                current = nullptr;
            } else {
                read.sets.sets.append(MessageSet {name, {}});
                current = &read.sets.sets.last();
                named = {};
                role = {LineRole::Set, static_cast<int>(read.sets.sets.size() - 1), -1};
            }
            continue;
        }
        if (line.startsWith(QLatin1String("active")) && (line.size() == 6 || line.at(6).isSpace())) {
            const QString name = line.mid(6).trimmed();
            if (QString why = MessageRule::setNameRefusal(name); !why.isEmpty())
                refuse(why);
            else if (!activeName.isEmpty())
                refuse(QStringLiteral("the active set is given twice"));
            else {
                activeName = name;
                activeLine = number;
                role.kind = LineRole::Active;
            }
            continue;
        }
        const std::optional<int> memory = CommandTable::memoryOf(QStringView(line).left(1));
        if (!memory || (line.size() > 1 && !line.at(1).isSpace())) {
            refuse(QStringLiteral("not a set, a slot or the active set"));
            continue;
        }
        if (!current) {
            refuse(QStringLiteral("a slot outside any set"));
            continue;
        }
        const QString rest = line.mid(1).trimmed();
        const qsizetype space = rest.indexOf(QRegularExpression(QStringLiteral("\\s")));
        const QString length = space < 0 ? rest : rest.left(space);
        const QString name = space < 0 ? QString() : rest.mid(space).trimmed();
        const int slot = *memory;
        std::optional<int> lengthMs = 0;
        if (length != QLatin1String("-"))
            lengthMs = lengthFromText(length);
        if (!lengthMs) {
            refuse(lengthRefusal(length));
        } else if (QString why = MessageRule::nameRefusal(name); !why.isEmpty()) {
            refuse(why);
        } else if (named[static_cast<size_t>(slot)]) {
            refuse(QStringLiteral("memory %1 is given twice in this set").arg(slot));
        } else {
            named[static_cast<size_t>(slot)] = true;
            current->memories[static_cast<size_t>(slot)] = {name, *lengthMs};
            role = {LineRole::Slot, static_cast<int>(current - read.sets.sets.data()), slot};
        }
    }
    if (read.sets.sets.isEmpty())
        read.sets = emptySets();
    if (!activeName.isEmpty()) {
        const auto found = std::find_if(read.sets.sets.cbegin(), read.sets.sets.cend(),
                                        [&](const MessageSet &set) { return set.name == activeName; });
        if (found == read.sets.sets.cend())
            read.refused << QStringLiteral("line %1: there is no set %2").arg(activeLine).arg(activeName);
        else
            read.sets.active = static_cast<int>(found - read.sets.sets.cbegin());
    }
    return read;
}

QByteArray format(const MessageSets &sets)
{
    QString text = QString::fromLatin1(kHeader);
    if (sets.active >= 0 && sets.active < sets.sets.size())
        text += QStringLiteral("active %1\n").arg(sets.sets[sets.active].name);
    for (const MessageSet &set : sets.sets) {
        text += QStringLiteral("\n[%1]\n").arg(set.name);
        for (int slot = 0; slot < MessageRule::kSlots; ++slot) {
            const MessageSlot &held = set.memories[static_cast<size_t>(slot)];
            if (held == MessageSlot {})
                continue;
            text += slotLine(slot, held) + u'\n';
        }
    }
    return text.toUtf8();
}

QString slotLine(int memory, const MessageSlot &slot)
{
    const QString length = slot.lengthMs > 0 ? lengthText(slot.lengthMs) : QStringLiteral("-");
    return QStringLiteral("%1 %2 %3").arg(memory).arg(length, slot.name).trimmed();
}

} // namespace MessagesFile
