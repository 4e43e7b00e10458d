#pragma once

#include <QObject>
#include <QString>

#include <functional>

class MessageBook;
class Transmission;

// What the panel knows of the unit's memories from the commands it sends, since the
// unit's replies tell nothing: which memory was chosen last, and how long a recording
// made through the panel ran. A recording runs from "M" or "R" (with a memory chosen)
// to the next command; its length goes to the memory's slot in the active set, unless
// it ran past 120 s or the line was lost meanwhile. What plays is the Transmission's.
class MessageClock : public QObject {
    Q_OBJECT

public:
    MessageClock(MessageBook &book, const Transmission &transmission, QObject *parent = nullptr);

    int chosen() const { return m_chosen; } // the last memory digit sent, -1: none
    bool recording() const { return m_recordingSlot >= 0; }

    // "TX 5: 2 s" or "Play 5: 2 s" while a message plays, else "5: CQ contest" for
    // a chosen memory with a name, else empty.
    QString line() const;

    // A command went out to the unit.
    void commandSent(char command);
    // The line closed or was lost under a recording: its length is not known.
    void lineClosed() { endRecording(false); }

    // Where a recording's time is read: milliseconds from any fixed moment, never
    // going back. The steady clock; a test sets one it moves by hand.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

signals:
    void chosenChanged(int memory);
    // A recording through the panel was timed and stored.
    void lengthMeasured(int memory, int lengthMs);

private:
    void endRecording(bool keep);

    MessageBook &m_book;
    const Transmission &m_transmission;
    int m_chosen = -1;
    int m_recordingSlot = -1;
    Clock m_clock;
    qint64 m_recordingSince = 0; // on m_clock
};
