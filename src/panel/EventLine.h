#pragma once

#include <QObject>
#include <QString>

class MessageBook;
class MessageClock;

// What the operator would otherwise not see happen, for the line under the status: a
// recording timed ("3: recorded, 4.1 s") and another set made active, from whichever
// door ("Set: Contest"). The words stand until the next command goes out; each is
// told once for a screen reader.
class EventLine : public QObject {
    Q_OBJECT

public:
    EventLine(const MessageBook &book, const MessageClock &clock, QObject *parent = nullptr);

    QString words() const { return m_words; } // empty: nothing to say

    // A command went out: what the line said is old news.
    void commandSent();

    static QString recorded(int memory, int lengthMs);
    static QString setActive(const QString &set);

signals:
    void changed(const QString &words);
    void told(const QString &words);

private:
    void show(const QString &words);

    QString m_words;
};
