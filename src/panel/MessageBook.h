#pragma once

#include "MessageEdit.h"
#include "MessagesFile.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;

// The names and lengths of the ten memories, in named sets of which one is active,
// kept in the messages file beside ports.conf. The file is shared: another panel on
// the same folder, qx50-send through either, or a person with an editor may change
// it at any time. So every change is made on the file as it is on disk at that
// moment, under a lock beside it, rewriting only its own lines; and a change made
// outside is read again as soon as the file changes. A change that would drop lines
// the panel refused first appends them, dated, to "messages.conf.refused". With no
// file (a panel given no assignments file) the sets live in memory only.
class MessageBook : public QObject {
    Q_OBJECT

public:
    // Reads `file`; an empty name or a missing file gives one empty set.
    explicit MessageBook(QString file, QObject *parent = nullptr);

    // The messages file beside the port assignments file; empty with none.
    static QString fileBeside(const QString &assignmentsFile);

    QString file() const { return m_file; }
    // The lines of the file that were not read, each with its line number and reason.
    QStringList refusedLines() const { return m_refused; }
    // Why the last write failed; empty when it did not.
    QString writeFailure() const { return m_writeFailure; }
    // Whether the last change was refused because another program held the file's
    // lock: worth trying again, unlike a name the rule refuses.
    bool lockRefused() const { return m_lockRefused; }

    const MessageSets &sets() const { return m_sets; }
    QStringList setNames() const;
    QString activeSet() const { return m_sets.sets[m_sets.active].name; }
    const MessageSlot &slot(int memory) const;
    QString name(int memory) const { return slot(memory).name; }
    int lengthMs(int memory) const { return slot(memory).lengthMs; } // 0: not known

    // "CQ contest, 2.8 s", "CQ contest", "2.8 s" or empty: what a digit's tooltip says.
    QString description(int memory) const;

    // Each change gives the reason it was refused, empty when made.
    QString setName(int memory, const QString &name);
    QString setLength(int memory, int lengthMs);
    QString selectSet(const QString &name);
    QString addSet(const QString &name); // a new empty set, made active
    QString renameSet(const QString &from, const QString &to);
    QString deleteSet(const QString &name); // the last set stays
    // Several edits at once (the dialog's OK), made in order on the file as it is now;
    // nothing changes when one is refused.
    QString apply(const QList<MessageEdit> &edits);

    // How long a change waits for another program's lock on the file.
    static constexpr int kLockWaitMs = 500;

signals:
    // A name or length of the active set changed, or another set became active.
    void changed();
    // The active set is another one, or was renamed.
    void activeSetChanged(const QString &name);
    void setNamesChanged();

private:
    QByteArray readFile() const;
    void readAgain(); // the file changed on disk
    void take(const MessagesFile::Read &read); // what the file now says, told to the watchers
    void keepAside(const QByteArray &bytes);
    void watch();

    QString m_file;
    QByteArray m_text; // the file's bytes as last read or written; the sets themselves with no file
    MessageSets m_sets;
    QStringList m_refused;
    QString m_writeFailure;
    bool m_lockRefused = false;
    QFileSystemWatcher *m_watcher = nullptr;
};
