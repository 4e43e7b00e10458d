#pragma once

#include "Owner.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class MessageBook;

// What plays ("P") or transmits ("T") now, as the panel knows it from the commands it
// sent (the unit's replies tell nothing): which memory, since when, for how long when
// its length is known, and who started it. It ends on "S", on any other command, when
// the line closes or is lost, and at the end of its known length. A message of
// unknown length counts as going on until one of the others ends it, since nothing
// tells the panel that it is over.
class Transmission : public QObject {
    Q_OBJECT

public:
    Transmission(const MessageBook &book, QObject *parent = nullptr);

    bool active() const { return m_active; }
    int memory() const { return m_active ? m_memory : -1; } // -1: none, or none chosen
    bool onAir() const { return m_onAir; } // "T" rather than "P"
    const Owner &owner() const { return m_owner; }
    qint64 elapsedMs() const { return m_active ? m_started.elapsed() : 0; }
    int lengthMs() const { return m_active ? m_lengthMs : 0; } // 0: not known
    // The memory of known length that plays, -1: none; what the bus's Playing, the
    // line under the status and speech tell.
    int playing() const { return m_active && m_lengthMs > 0 ? m_memory : -1; }
    int secondsLeft() const; // rounded up, for a message of known length

    // Whether a stop in `stopper`'s name may cut what goes on now.
    bool isOwnedBy(const Owner &stopper) const { return m_active && stopper.covers(m_owner); }

    // A command went out to the unit in `owner`'s name, with memory `chosen` (-1:
    // none) the last one chosen.
    void commandSent(char command, int chosen, const Owner &owner);
    // The line closed or was lost: nothing goes on after it.
    void lineClosed() { end(); }

signals:
    // playing() or secondsLeft() changed.
    void playingChanged();
    // The message of known length that played ended, at its length or early.
    void messageEnded(int memory);

private:
    void end();

    const MessageBook &m_book;
    bool m_active = false;
    int m_memory = -1;
    bool m_onAir = false;
    Owner m_owner;
    int m_lengthMs = 0;
    QElapsedTimer m_started;
    QTimer m_end;
    QTimer m_tick;
};
