#include "MessagesText.h"

#include <QSet>

using MessagesFile::LineRole;

MessagesText::MessagesText(const QByteArray &bytes)
    : m_wholeFileRefused(bytes.size() > MessagesFile::kMaxFileBytes)
{
    const bool fresh = m_wholeFileRefused || bytes.trimmed().isEmpty();
    m_lines = (fresh ? MessagesFile::format(MessagesFile::parse({}).sets) : bytes).split('\n');
    reread();
    // A file of comments alone still reads as the one empty set; its slots need a line
    // of their own to go under.
    if (lineOf(LineRole::Set, -1) < 0) {
        appendLines({QByteArray(), '[' + m_read.sets.sets.front().name.toUtf8() + ']'});
        reread();
    }
}

void MessagesText::reread()
{
    m_read = MessagesFile::parse(bytes());
}

int MessagesText::setIndex(const QString &name) const
{
    for (int i = 0; i < m_read.sets.sets.size(); ++i)
        if (m_read.sets.sets[i].name == name)
            return i;
    return -1;
}

int MessagesText::lineOf(LineRole::Kind kind, int set, int memory) const
{
    for (int i = 0; i < m_read.roles.size(); ++i) {
        const LineRole &role = m_read.roles[i];
        if (role.kind == kind && (set < 0 || role.set == set) && (memory < 0 || role.memory == memory))
            return i;
    }
    return -1;
}

int MessagesText::lastLineOf(int set) const
{
    int last = -1;
    for (int i = 0; i < m_read.roles.size(); ++i)
        if (m_read.roles[i].set == set)
            last = i;
    return last;
}

void MessagesText::insertLines(int at, const QList<QByteArray> &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        m_lines.insert(at + i, lines[i]);
}

void MessagesText::appendLines(const QList<QByteArray> &lines)
{
    if (m_lines.isEmpty() || !m_lines.last().isEmpty())
        m_lines.append(QByteArray()); // the file ends with a line feed
    insertLines(static_cast<int>(m_lines.size() - 1), lines);
}

void MessagesText::setActiveLine(const QString &name)
{
    const QByteArray line = "active " + name.toUtf8();
    if (const int at = lineOf(LineRole::Active, -1); at >= 0)
        m_lines[at] = line;
    else
        insertLines(lineOf(LineRole::Set, -1), {line});
}

QString MessagesText::apply(const MessageEdit &edit)
{
    // A file the edit would make too large to read back is not written: the next start
    // would refuse it whole.
    const QList<QByteArray> lines = m_lines;
    const MessagesFile::Read read = m_read;
    QString why = applyWithin(edit);
    if (why.isEmpty() && bytes().size() > MessagesFile::kMaxFileBytes) {
        why = QStringLiteral("the messages file would be larger than %1 KiB").arg(MessagesFile::kMaxFileBytes / 1024);
        m_lines = lines;
        m_read = read;
    }
    return why;
}

QString MessagesText::applyWithin(const MessageEdit &edit)
{
    switch (edit.kind) {
    case MessageEdit::Slot: return changeSlot(edit);
    case MessageEdit::Select: {
        const int index = setIndex(edit.set);
        if (index < 0)
            return MessageRule::noSuchSet(edit.set);
        if (index != m_read.sets.active) {
            setActiveLine(edit.set);
            reread();
        }
        return {};
    }
    case MessageEdit::Add: return addSet(edit.set);
    case MessageEdit::Rename: return renameSet(edit.set, edit.to);
    case MessageEdit::Delete: return deleteSet(edit.set);
    }
    return {};
}

QString MessagesText::changeSlot(const MessageEdit &edit)
{
    if (edit.memory < 0 || edit.memory >= MessageRule::kSlots)
        return QStringLiteral("the memory must be one digit, 0 to 9");
    if (edit.name)
        if (QString why = MessageRule::nameRefusal(*edit.name); !why.isEmpty())
            return why;
    if (edit.lengthMs && (*edit.lengthMs < 0 || *edit.lengthMs > MessageRule::kMaxLengthMs))
        return QStringLiteral("the length must be 0 to %1 seconds").arg(MessageRule::kMaxLengthMs / 1000);
    const int set = edit.set.isEmpty() ? m_read.sets.active : setIndex(edit.set);
    if (set < 0)
        return MessageRule::noSuchSet(edit.set);
    const MessageSlot &held = m_read.sets.sets[set].memories[static_cast<size_t>(edit.memory)];
    const MessageSlot slot {edit.name.value_or(held.name), edit.lengthMs.value_or(held.lengthMs)};
    if (slot == held)
        return {};
    const QByteArray line = MessagesFile::slotLine(edit.memory, slot).toUtf8();
    if (const int at = lineOf(LineRole::Slot, set, edit.memory); at < 0)
        insertLines(lastLineOf(set) + 1, {line});
    else if (slot == MessageSlot {})
        m_lines.removeAt(at);
    else
        m_lines[at] = line;
    reread();
    return {};
}

QString MessagesText::addSet(const QString &name)
{
    if (QString why = MessageRule::setNameRefusal(name); !why.isEmpty())
        return why;
    if (setIndex(name) >= 0)
        return MessageRule::setNameTaken(name);
    if (m_read.sets.sets.size() >= MessageRule::kMaxSets)
        return MessageRule::setsFull();
    appendLines({QByteArray(), '[' + name.toUtf8() + ']'});
    reread();
    return {};
}

QString MessagesText::renameSet(const QString &from, const QString &to)
{
    const int index = setIndex(from);
    if (index < 0)
        return MessageRule::noSuchSet(from);
    if (QString why = MessageRule::setNameRefusal(to); !why.isEmpty())
        return why;
    if (from == to)
        return {};
    if (setIndex(to) >= 0)
        return MessageRule::setNameTaken(to);
    m_lines[lineOf(LineRole::Set, index)] = '[' + to.toUtf8() + ']';
    if (index == m_read.sets.active && lineOf(LineRole::Active, -1) >= 0)
        setActiveLine(to);
    reread();
    return {};
}

QString MessagesText::deleteSet(const QString &name)
{
    const int index = setIndex(name);
    if (index < 0)
        return MessageRule::noSuchSet(name);
    if (m_read.sets.sets.size() == 1)
        return QStringLiteral("the last set stays");
    const bool wasActive = index == m_read.sets.active;
    // The set's line and every slot's line under it, refused ones too, up to the next
    // set's line: a refused slot left behind would be read into the set before.
    // Comments and the active line stay.
    const int header = lineOf(LineRole::Set, index);
    int end = header + 1;
    while (end < m_lines.size() && !m_lines[end].trimmed().startsWith('['))
        ++end;
    for (int i = end - 1; i > header; --i)
        if (m_read.roles[i].kind == LineRole::Slot || m_read.roles[i].kind == LineRole::Refused)
            m_lines.removeAt(i);
    m_lines.removeAt(header);
    reread();
    if (wasActive && lineOf(LineRole::Active, -1) >= 0) {
        setActiveLine(m_read.sets.sets.front().name);
        reread();
    }
    return {};
}

bool MessagesText::keepsRefusedLinesOf(const MessagesText &before) const
{
    if (before.m_wholeFileRefused)
        return false;
    const QSet<QByteArray> kept(m_lines.cbegin(), m_lines.cend());
    for (int i = 0; i < before.m_read.roles.size(); ++i)
        if (before.m_read.roles[i].kind == LineRole::Refused && !kept.contains(before.m_lines[i]))
            return false;
    return true;
}
