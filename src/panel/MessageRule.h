#pragma once

#include <QList>
#include <QString>

// The one rule for what a message slot and a set may be called and how long a
// message may be. Header-only, so that a program driving the panel, the messages
// file and the bus all judge a name by the very same rule.
namespace MessageRule {

inline constexpr int kSlots = 10; // the memories 0 to 9
inline constexpr int kMaxNameLength = 24; // characters, for a slot and for a set
inline constexpr int kMaxLengthMs = 120000; // a recording that runs longer stores nothing
inline constexpr int kMaxSets = 32;

// Characters a name never holds: control and format characters (bidirectional
// overrides among them) and line breaks, which would change how a name reads where
// it is shown or spoken, and the markup brackets, so a name is never taken for markup.
inline bool refusedCharacter(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return c == U'<' || c == U'>';
    }
}

// Why this cannot be a slot's name (empty is allowed: the slot has none); empty when it can.
inline QString nameRefusal(const QString &name)
{
    if (!QStringView(name).isValidUtf16())
        return QStringLiteral("the name holds a broken character");
    const QList<uint> characters = name.toUcs4();
    for (const uint c : characters)
        if (refusedCharacter(c))
            return QStringLiteral("the name holds a control character or < >");
    if (characters.size() > kMaxNameLength)
        return QStringLiteral("the name is longer than %1 characters").arg(kMaxNameLength);
    if (name != name.trimmed())
        return QStringLiteral("the name starts or ends with a space");
    return {};
}

// A length's rule, in the one wording every door uses: the window, the file's
// refusals, the guide and the manuals all say "not known" for a length not given.
inline QString lengthRule()
{
    return QStringLiteral("a length is seconds, at most %1, or not known").arg(kMaxLengthMs / 1000);
}

// Why this cannot be a set's name; a set needs a name, without brackets.
inline QString setNameRefusal(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("a set needs a name");
    if (name.contains(u'[') || name.contains(u']'))
        return QStringLiteral("a set's name holds no [ ]");
    return nameRefusal(name);
}

// Why a set is refused for the sets there are: every door words it the same.
inline QString noSuchSet(const QString &name)
{
    return QStringLiteral("there is no set %1").arg(name.left(kMaxNameLength));
}
inline QString setNameTaken(const QString &name)
{
    return QStringLiteral("there is a set %1 already").arg(name);
}
inline QString setsFull()
{
    return QStringLiteral("there are %1 sets already").arg(kMaxSets);
}

} // namespace MessageRule
