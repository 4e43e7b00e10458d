#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class MessageBook;
class PanelModel;

// What the panel knows of the unit's messages from the commands it sends, since the
// unit's replies tell nothing: which memory was chosen last, how long a recording
// made through the panel ran, and, for a message of known length, when the one that
// plays or transmits ends.
// - A recording runs from "M" or "R" (with a memory chosen) to the next command; its
//   length goes to the memory's slot in the active set, unless it ran past 120 s or
//   the line was lost meanwhile.
// - "P" or "T" with a chosen memory of known length plays it for that long; any other
//   command, a Stop included, or a lost line ends it early.
class MessageClock : public QObject {
    Q_OBJECT

public:
    MessageClock(PanelModel &model, MessageBook &book);

    int chosen() const { return m_chosen; } // the last memory digit sent, -1: none
    int playing() const { return m_playing; } // the memory playing, -1: none
    bool transmitting() const { return m_transmitting; } // "T" rather than "P"
    int secondsLeft() const; // rounded up
    bool recording() const { return m_recordingSlot >= 0; }

    // "TX 5: 2 s" or "Play 5: 2 s" while a message plays, else "5: CQ contest" for
    // a chosen memory with a name, else empty.
    QString line() const;

signals:
    void chosenChanged(int memory);
    // playing() or secondsLeft() changed.
    void playingChanged();
    // The message that played ended, at its length or early.
    void messageEnded(int memory);
    // A recording through the panel was timed and stored.
    void lengthMeasured(int memory, int lengthMs);

private:
    void commandSent(char command);
    void endPlaying();
    void endRecording(bool keep);

    MessageBook &m_book;
    int m_chosen = -1;
    int m_playing = -1;
    bool m_transmitting = false;
    int m_lengthMs = 0;
    QElapsedTimer m_played;
    QTimer m_end;
    QTimer m_tick;
    int m_recordingSlot = -1;
    QElapsedTimer m_recorded;
};
