#pragma once

#include "MessagesFile.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The names and lengths of the ten memories, in named sets of which one is active,
// kept in the messages file beside ports.conf. Every change is written at once; a
// file with refused lines is first kept aside as "messages.conf.refused" so that
// nothing a person wrote is lost by the panel's rewrite. With no file (a panel given
// no assignments file) the sets live in memory only.
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
    // Every set at once (the dialog's OK), each name checked first; nothing changes
    // when one is refused.
    QString replaceAll(const MessageSets &sets);

signals:
    // A name or length of the active set changed, or another set became active.
    void changed();
    // The active set is another one, or was renamed.
    void activeSetChanged(const QString &name);
    void setNamesChanged();

private:
    int indexOf(const QString &set) const;
    void store();

    QString m_file;
    MessageSets m_sets;
    QStringList m_refused;
    bool m_keepAside = false; // the file read had refused lines, not yet kept aside
    QString m_writeFailure;
};
