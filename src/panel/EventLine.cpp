#include "EventLine.h"

#include "MessageBook.h"
#include "MessageClock.h"

EventLine::EventLine(const MessageBook &book, const MessageClock &clock, QObject *parent)
    : QObject(parent)
{
    connect(&clock, &MessageClock::lengthMeasured, this,
            [this](int memory, int lengthMs) { show(recorded(memory, lengthMs)); });
    connect(&book, &MessageBook::activeSetChanged, this, [this](const QString &set) { show(setActive(set)); });
}

QString EventLine::recorded(int memory, int lengthMs)
{
    return QStringLiteral("%1: recorded, %2 s").arg(memory).arg(lengthMs / 1000.0, 0, 'f', 1);
}

QString EventLine::setActive(const QString &set)
{
    return QStringLiteral("Set: %1").arg(set);
}

void EventLine::commandSent()
{
    if (m_words.isEmpty())
        return;
    m_words.clear();
    emit changed(m_words);
}

void EventLine::show(const QString &words)
{
    m_words = words;
    emit changed(words);
    emit told(words);
}
