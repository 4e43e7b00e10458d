#include "MessageClock.h"

#include "CommandTable.h"
#include "MessageBook.h"
#include "PanelModel.h"

MessageClock::MessageClock(PanelModel &model, MessageBook &book)
    : QObject(&model)
    , m_book(book)
{
    m_end.setSingleShot(true);
    m_end.setTimerType(Qt::PreciseTimer);
    connect(&m_end, &QTimer::timeout, this, &MessageClock::endPlaying);
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &MessageClock::playingChanged);
    connect(&model, &PanelModel::commandSent, this, &MessageClock::commandSent);
    connect(&model.line(), &Line::portOpenChanged, this, [this](bool open) {
        if (open)
            return;
        endRecording(false); // the line lost or closed under it: its length is not known
        endPlaying();
    });
}

int MessageClock::secondsLeft() const
{
    if (m_playing < 0)
        return 0;
    const qint64 left = m_lengthMs - m_played.elapsed();
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

QString MessageClock::line() const
{
    if (m_playing >= 0)
        return QStringLiteral("%1 %2: %3 s")
            .arg(m_transmitting ? QStringLiteral("TX") : QStringLiteral("Play"))
            .arg(m_playing)
            .arg(secondsLeft());
    if (m_chosen >= 0 && !m_book.name(m_chosen).isEmpty())
        return QStringLiteral("%1: %2").arg(m_chosen).arg(m_book.name(m_chosen));
    return {};
}

void MessageClock::commandSent(char command)
{
    // Whatever was running, this command ends it.
    endRecording(true);
    endPlaying();
    if (CommandTable::isMemory(command)) {
        m_chosen = command - '0';
        emit chosenChanged(m_chosen);
        return;
    }
    if (m_chosen < 0)
        return;
    if (command == 'M' || command == 'R') {
        m_recordingSlot = m_chosen;
        m_recorded.start();
    } else if (command == 'P' || command == 'T') {
        m_lengthMs = m_book.lengthMs(m_chosen);
        if (m_lengthMs <= 0)
            return;
        m_playing = m_chosen;
        m_transmitting = command == 'T';
        m_played.start();
        m_end.start(m_lengthMs);
        m_tick.start();
        emit playingChanged();
    }
}

void MessageClock::endPlaying()
{
    if (m_playing < 0)
        return;
    const int ended = m_playing;
    m_playing = -1;
    m_end.stop();
    m_tick.stop();
    emit playingChanged();
    emit messageEnded(ended);
}

void MessageClock::endRecording(bool keep)
{
    if (m_recordingSlot < 0)
        return;
    const int slot = m_recordingSlot;
    m_recordingSlot = -1;
    const qint64 ms = m_recorded.elapsed();
    if (!keep || ms <= 0 || ms > MessageRule::kMaxLengthMs)
        return;
    if (m_book.setLength(slot, static_cast<int>(ms)).isEmpty())
        emit lengthMeasured(slot, static_cast<int>(ms));
}
