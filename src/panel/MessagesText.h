#pragma once

#include "MessageEdit.h"
#include "MessagesFile.h"

#include <QByteArray>
#include <QList>

// The messages file as its lines, changed in place: an edit rewrites, adds or removes
// only the lines that hold what it changes, so a person's comments, the lines the
// panel does not know and the lines it refused stay where they were written.
class MessagesText {
public:
    // An empty text, or one too large to read, starts as the panel writes a new file.
    explicit MessagesText(const QByteArray &bytes);

    const MessagesFile::Read &read() const { return m_read; }
    QByteArray bytes() const { return m_lines.join('\n'); }

    // Makes the edit, checked against the sets as they are here; the reason it was
    // refused, empty when made (or when it changes nothing).
    QString apply(const MessageEdit &edit);

    // Whether every line `before` refused is still here; a text read from a file too
    // large to read keeps none of it.
    bool keepsRefusedLinesOf(const MessagesText &before) const;

private:
    QString applyWithin(const MessageEdit &edit); // apply() before the size is checked
    int setIndex(const QString &name) const; // -1: none
    int lineOf(MessagesFile::LineRole::Kind kind, int set, int memory = -1) const; // -1: none
    int lastLineOf(int set) const;
    void insertLines(int at, const QList<QByteArray> &lines);
    void appendLines(const QList<QByteArray> &lines);
    void setActiveLine(const QString &name);
    void reread();

    QString changeSlot(const MessageEdit &edit);
    QString addSet(const QString &name);
    QString renameSet(const QString &from, const QString &to);
    QString deleteSet(const QString &name);

    QList<QByteArray> m_lines;
    MessagesFile::Read m_read;
    bool m_wholeFileRefused = false;
};
