#include "MessageBook.h"

#include "FailureLog.h"
#include "MessagesText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QSaveFile>

MessageBook::MessageBook(QString file, QObject *parent)
    : QObject(parent)
    , m_file(std::move(file))
{
    if (!m_file.isEmpty()) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &MessageBook::readAgain);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &MessageBook::readAgain);
        watch();
        m_text = readFile();
    }
    MessagesFile::Read read = MessagesFile::parse(m_text);
    m_sets = std::move(read.sets);
    m_refused = std::move(read.refused);
}

QByteArray MessageBook::readFile() const
{
    QFile read(m_file);
    if (!read.open(QIODevice::ReadOnly))
        return {};
    return read.read(MessagesFile::kMaxFileBytes + 1); // a larger file is refused whole
}

// The folder is watched as well as the file: the file is replaced whole on each save
// (by this panel, another one or an editor), which ends a watch on the file itself,
// and a file not there yet can only be seen coming in its folder.
void MessageBook::watch()
{
    const QString folder = QFileInfo(m_file).path();
    if (!m_watcher->directories().contains(folder) && QFileInfo(folder).isDir())
        m_watcher->addPath(folder);
    if (!m_watcher->files().contains(m_file) && QFile::exists(m_file))
        m_watcher->addPath(m_file);
}

void MessageBook::readAgain()
{
    watch();
    QByteArray bytes = readFile();
    if (bytes == m_text) // another file in the folder, or this panel's own write
        return;
    m_text = std::move(bytes);
    take(MessagesFile::parse(m_text));
}

void MessageBook::take(const MessagesFile::Read &read)
{
    m_refused = read.refused;
    if (read.sets == m_sets)
        return;
    const QStringList namesBefore = setNames();
    const QString activeBefore = activeSet();
    const auto memoriesBefore = m_sets.sets[m_sets.active].memories;
    m_sets = read.sets;
    if (setNames() != namesBefore)
        emit setNamesChanged();
    if (activeSet() != activeBefore)
        emit activeSetChanged(activeSet());
    if (activeSet() != activeBefore || m_sets.sets[m_sets.active].memories != memoriesBefore)
        emit changed();
}

QString MessageBook::apply(const QList<MessageEdit> &edits)
{
    if (m_file.isEmpty()) {
        MessagesText text(m_text);
        for (const MessageEdit &edit : edits)
            if (QString why = text.apply(edit); !why.isEmpty())
                return why;
        m_text = text.bytes();
        take(text.read());
        return {};
    }
    m_writeFailure.clear();
    m_lockRefused = false;
    QDir().mkpath(QFileInfo(m_file).path());
    // Two panels on one folder, or qx50-send and the dialog, change the file one at a
    // time: each reads it, changes it and writes it under the lock.
    QLockFile lock(m_file + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        m_lockRefused = true;
        return QStringLiteral("the messages file %1 is locked by another program").arg(m_file);
    }
    const QByteArray onDisk = readFile();
    const MessagesText before(onDisk);
    MessagesText text = before;
    for (const MessageEdit &edit : edits)
        if (QString why = text.apply(edit); !why.isEmpty())
            return why;
    QByteArray bytes = text.bytes();
    if (bytes == before.bytes()) // nothing changed: not even the lines a new file starts with are written
        bytes = onDisk;
    else {
        if (!text.keepsRefusedLinesOf(before))
            keepAside(onDisk);
        QSaveFile out(m_file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) < 0 || !out.commit()) {
            m_writeFailure = out.errorString();
            // A length timed from a recording is kept in memory; the journal says why not on disk.
            qCWarning(failureLog).noquote() << "the message names could not be saved to" << m_file << "--"
                                            << m_writeFailure;
        }
    }
    m_text = m_writeFailure.isEmpty() ? bytes : onDisk;
    watch();
    take(text.read());
    return {};
}

// Lines the panel refused are a person's words it could not read; before a change
// drops any of them, the file as it was is added to the end of the refused file with
// the time, so every earlier version stays there too.
void MessageBook::keepAside(const QByteArray &bytes)
{
    QFile aside(m_file + QStringLiteral(".refused"));
    if (!aside.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCWarning(failureLog).noquote() << "the refused lines could not be kept in" << aside.fileName() << "--"
                                        << aside.errorString();
        return;
    }
    const QString when = QDateTime::currentDateTime().toString(Qt::ISODate);
    QByteArray entry = QStringLiteral("# %1 as it was on %2, before the panel changed it:\n")
                           .arg(QFileInfo(m_file).fileName(), when)
                           .toUtf8();
    entry += bytes;
    if (!bytes.endsWith('\n'))
        entry += '\n';
    aside.write(entry);
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
    return apply({MessageEdit::slotOf({}, memory, name, std::nullopt)});
}

QString MessageBook::setLength(int memory, int lengthMs)
{
    return apply({MessageEdit::slotOf({}, memory, std::nullopt, lengthMs)});
}

QString MessageBook::selectSet(const QString &name)
{
    return apply({MessageEdit::select(name)});
}

QString MessageBook::addSet(const QString &name)
{
    return apply({MessageEdit::add(name), MessageEdit::select(name)});
}

QString MessageBook::renameSet(const QString &from, const QString &to)
{
    return apply({MessageEdit::rename(from, to)});
}

QString MessageBook::deleteSet(const QString &name)
{
    return apply({MessageEdit::remove(name)});
}
