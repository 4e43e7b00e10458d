#include "Transmission.h"

#include "MessageBook.h"

Transmission::Transmission(const MessageBook &book, QObject *parent)
    : QObject(parent)
    , m_book(book)
{
    m_end.setSingleShot(true);
    m_end.setTimerType(Qt::PreciseTimer);
    connect(&m_end, &QTimer::timeout, this, &Transmission::end);
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &Transmission::playingChanged);
}

int Transmission::secondsLeft() const
{
    if (playing() < 0)
        return 0;
    const qint64 left = m_lengthMs - m_started.elapsed();
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

void Transmission::commandSent(char command, int chosen, const Owner &owner)
{
    end(); // whatever went on, this command ends it
    if (command != 'P' && command != 'T')
        return;
    m_active = true;
    m_memory = chosen;
    m_onAir = command == 'T';
    m_owner = owner;
    m_lengthMs = chosen >= 0 ? m_book.lengthMs(chosen) : 0;
    m_started.start();
    if (m_lengthMs <= 0)
        return;
    m_end.start(m_lengthMs);
    m_tick.start();
    emit playingChanged();
}

void Transmission::end()
{
    if (!m_active)
        return;
    const int ended = playing();
    m_active = false;
    m_owner = {};
    m_end.stop();
    m_tick.stop();
    if (ended < 0)
        return;
    emit playingChanged();
    emit messageEnded(ended);
}
