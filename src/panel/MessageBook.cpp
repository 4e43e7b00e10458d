#include "MessageBook.h"

#include "FailureLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

MessageBook::MessageBook(QString file, QObject *parent)
    : QObject(parent)
    , m_file(std::move(file))
{
    QByteArray bytes;
    if (!m_file.isEmpty()) {
        QFile read(m_file);
        if (read.open(QIODevice::ReadOnly))
            bytes = read.read(MessagesFile::kMaxFileBytes + 1); // a larger file is refused whole
    }
    MessagesFile::Read parsed = MessagesFile::parse(bytes);
    m_sets = std::move(parsed.sets);
    m_refused = std::move(parsed.refused);
    m_keepAside = !m_refused.isEmpty();
}

QString MessageBook::fileBeside(const QString &assignmentsFile)
{
    if (assignmentsFile.isEmpty())
        return {};
    return QFileInfo(assignmentsFile).dir().filePath(QString::fromLatin1(MessagesFile::kFileName));
}

QStringList MessageBook::setNames() const
{
    QStringList names;
    for (const MessageSet &set : m_sets.sets)
        names << set.name;
    return names;
}

const MessageSlot &MessageBook::slot(int memory) const
{
    static const MessageSlot none;
    if (memory < 0 || memory >= MessageRule::kSlots)
        return none;
    return m_sets.sets[m_sets.active].memories[static_cast<size_t>(memory)];
}

QString MessageBook::description(int memory) const
{
    const MessageSlot &held = slot(memory);
    QStringList parts;
    if (!held.name.isEmpty())
        parts << held.name;
    if (held.lengthMs > 0)
        parts << QStringLiteral("%1 s").arg(held.lengthMs / 1000.0, 0, 'f', 1);
    return parts.join(QStringLiteral(", "));
}

QString MessageBook::setName(int memory, const QString &name)
{
    if (memory < 0 || memory >= MessageRule::kSlots)
        return QStringLiteral("the memory must be one digit, 0 to 9");
    if (QString why = MessageRule::nameRefusal(name); !why.isEmpty())
        return why;
    MessageSlot &held = m_sets.sets[m_sets.active].memories[static_cast<size_t>(memory)];
    if (held.name == name)
        return {};
    held.name = name;
    store();
    emit changed();
    return {};
}

QString MessageBook::setLength(int memory, int lengthMs)
{
    if (memory < 0 || memory >= MessageRule::kSlots)
        return QStringLiteral("the memory must be one digit, 0 to 9");
    if (lengthMs < 0 || lengthMs > MessageRule::kMaxLengthMs)
        return QStringLiteral("the length must be 0 to %1 seconds").arg(MessageRule::kMaxLengthMs / 1000);
    MessageSlot &held = m_sets.sets[m_sets.active].memories[static_cast<size_t>(memory)];
    if (held.lengthMs == lengthMs)
        return {};
    held.lengthMs = lengthMs;
    store();
    emit changed();
    return {};
}

QString MessageBook::replaceAll(const MessageSets &sets)
{
    if (sets.sets.isEmpty() || sets.sets.size() > MessageRule::kMaxSets || sets.active < 0
        || sets.active >= sets.sets.size())
        return QStringLiteral("there must be 1 to %1 sets, one of them active").arg(MessageRule::kMaxSets);
    QStringList names;
    for (const MessageSet &set : sets.sets) {
        if (QString why = MessageRule::setNameRefusal(set.name); !why.isEmpty())
            return QStringLiteral("set %1: %2").arg(set.name.left(MessageRule::kMaxNameLength), why);
        if (names.contains(set.name))
            return QStringLiteral("there are two sets %1").arg(set.name);
        names << set.name;
        for (int memory = 0; memory < MessageRule::kSlots; ++memory) {
            const MessageSlot &held = set.memories[static_cast<size_t>(memory)];
            if (QString why = MessageRule::nameRefusal(held.name); !why.isEmpty())
                return QStringLiteral("memory %1: %2").arg(memory).arg(why);
            if (held.lengthMs < 0 || held.lengthMs > MessageRule::kMaxLengthMs)
                return QStringLiteral("memory %1: the length must be 0 to %2 seconds")
                    .arg(memory)
                    .arg(MessageRule::kMaxLengthMs / 1000);
        }
    }
    if (sets == m_sets)
        return {};
    const bool namesChanged = names != setNames();
    const bool activeChanged = sets.sets[sets.active].name != activeSet();
    const bool contentChanged = sets.sets[sets.active].memories != m_sets.sets[m_sets.active].memories;
    m_sets = sets;
    store();
    if (namesChanged)
        emit setNamesChanged();
    if (activeChanged)
        emit activeSetChanged(activeSet());
    if (activeChanged || contentChanged)
        emit changed();
    return {};
}

int MessageBook::indexOf(const QString &set) const
{
    for (int i = 0; i < m_sets.sets.size(); ++i)
        if (m_sets.sets[i].name == set)
            return i;
    return -1;
}

QString MessageBook::selectSet(const QString &name)
{
    const int index = indexOf(name);
    if (index < 0)
        return QStringLiteral("there is no set %1").arg(name.left(MessageRule::kMaxNameLength));
    if (index == m_sets.active)
        return {};
    m_sets.active = index;
    store();
    emit activeSetChanged(name);
    emit changed();
    return {};
}

QString MessageBook::addSet(const QString &name)
{
    if (QString why = MessageRule::setNameRefusal(name); !why.isEmpty())
        return why;
    if (indexOf(name) >= 0)
        return QStringLiteral("there is a set %1 already").arg(name);
    if (m_sets.sets.size() >= MessageRule::kMaxSets)
        return QStringLiteral("there are %1 sets already").arg(MessageRule::kMaxSets);
    m_sets.sets.append(MessageSet {name, {}});
    m_sets.active = static_cast<int>(m_sets.sets.size() - 1);
    store();
    emit setNamesChanged();
    emit activeSetChanged(name);
    emit changed();
    return {};
}

QString MessageBook::renameSet(const QString &from, const QString &to)
{
    const int index = indexOf(from);
    if (index < 0)
        return QStringLiteral("there is no set %1").arg(from.left(MessageRule::kMaxNameLength));
    if (QString why = MessageRule::setNameRefusal(to); !why.isEmpty())
        return why;
    if (from == to)
        return {};
    if (indexOf(to) >= 0)
        return QStringLiteral("there is a set %1 already").arg(to);
    m_sets.sets[index].name = to;
    store();
    emit setNamesChanged();
    if (index == m_sets.active)
        emit activeSetChanged(to);
    return {};
}

QString MessageBook::deleteSet(const QString &name)
{
    const int index = indexOf(name);
    if (index < 0)
        return QStringLiteral("there is no set %1").arg(name.left(MessageRule::kMaxNameLength));
    if (m_sets.sets.size() == 1)
        return QStringLiteral("the last set stays");
    const bool wasActive = index == m_sets.active;
    m_sets.sets.removeAt(index);
    if (m_sets.active > index || m_sets.active >= m_sets.sets.size())
        --m_sets.active;
    if (wasActive)
        m_sets.active = 0;
    store();
    emit setNamesChanged();
    if (wasActive) {
        emit activeSetChanged(activeSet());
        emit changed();
    }
    return {};
}

void MessageBook::store()
{
    if (m_file.isEmpty())
        return;
    m_writeFailure.clear();
    QDir().mkpath(QFileInfo(m_file).path());
    if (m_keepAside) {
        const QString aside = m_file + QStringLiteral(".refused");
        QFile::remove(aside);
        QFile::copy(m_file, aside);
        m_keepAside = false;
    }
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly) || out.write(MessagesFile::format(m_sets)) < 0 || !out.commit()) {
        m_writeFailure = out.errorString();
        // A length timed from a recording is kept in memory; the journal says why not on disk.
        qCWarning(failureLog).noquote() << "the message names could not be saved to" << m_file << "--"
                                        << m_writeFailure;
    }
}
