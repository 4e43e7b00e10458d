#include "MessageClock.h"

#include "contract/CommandTable.h"
#include "MessageBook.h"
#include "MessageRule.h"
#include "Transmission.h"

#include <chrono>

MessageClock::MessageClock(MessageBook &book, const Transmission &transmission, QObject *parent)
    : QObject(parent)
    , m_book(book)
    , m_transmission(transmission)
    , m_clock([] {
        return qint64(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    })
{
}

QString MessageClock::line() const
{
    if (const int playing = m_transmission.playing(); playing >= 0)
        return QStringLiteral("%1 %2: %3 s")
            .arg(m_transmission.onAir() ? QStringLiteral("TX") : QStringLiteral("Play"))
            .arg(playing)
            .arg(m_transmission.secondsLeft());
    if (m_chosen >= 0 && !m_book.name(m_chosen).isEmpty())
        return QStringLiteral("%1: %2").arg(m_chosen).arg(m_book.name(m_chosen));
    return {};
}

void MessageClock::commandSent(char command)
{
    // Whatever was recorded, this command ends it.
    endRecording(true);
    if (CommandTable::isMemory(command)) {
        m_chosen = command - '0';
        emit chosenChanged(m_chosen);
        return;
    }
    if (m_chosen >= 0 && (command == 'M' || command == 'R')) {
        m_recordingSlot = m_chosen;
        m_recordingSince = m_clock();
    }
}

void MessageClock::endRecording(bool keep)
{
    if (m_recordingSlot < 0)
        return;
    const int slot = m_recordingSlot;
    m_recordingSlot = -1;
    const qint64 ms = m_clock() - m_recordingSince;
    if (!keep || ms <= 0 || ms > MessageRule::kMaxLengthMs)
        return;
    if (m_book.setLength(slot, static_cast<int>(ms)).isEmpty())
        emit lengthMeasured(slot, static_cast<int>(ms));
}
