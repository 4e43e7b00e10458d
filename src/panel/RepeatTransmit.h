#pragma once

#include "Owner.h"
#include "contract/RepeatRule.h"

#include <QObject>
#include <QString>
#include <QTimer>

class CommandSender;
class MessageBook;

// Transmits one memory over and over: the memory digit and "T" at once, then again
// at the start of each period, a given number of times. Every send takes the road of
// a key press, in the name of whoever started the repeat. A repeat is always bounded,
// and it stops:
// - with "S", cutting the message on the air, when asked to (StopRepeat); when the
//   program that asked for it leaves, and when the window closes or the program ends,
//   "S" goes only if what is on the air is still the repeat's;
// - with no byte when the operator presses a key or clicks in the window (the key or
//   click then does what it always does), when the port closes, its line is lost or
//   takes no more, and one period after the last transmission went out.
class RepeatTransmit : public QObject {
    Q_OBJECT

public:
    enum class Stop {
        Asked, // StopRepeat: "S"
        CallerLeft, // the program that started it left the bus: "S"
        WindowClosing, // the window closes or the program ends: "S"
        Operator, // a key, click or menu choice in the window: no byte
        Finished, // the period after the last transmission is over: no byte
        PortClosed, // the port closed, changed or its line was lost: no byte
        NotTaken, // the line took no more: no byte
        Outside, // another command came from outside the window: no byte, it goes next
    };
    Q_ENUM(Stop)

    // Why a start would be refused, checked once, in order.
    enum class Refused { No, InvalidArgs, PortNotOpen, Busy, Repeating, NotSent };
    struct Started {
        Refused refused = Refused::No;
        QString why; // the refusal's words; for NotSent the line's reason
    };

    RepeatTransmit(CommandSender &sender, const MessageBook &book, QObject *parent = nullptr);
    ~RepeatTransmit() override;

    bool repeating() const { return m_repeating; }
    char memory() const { return m_memory; }
    int left() const { return m_left; } // transmissions still to go
    double seconds() const { return m_periodMs / 1000.0; }

    // Starts a repeat and sends its first transmission at once. A first transmission
    // the line did not take ends it again at once: with `quiet` (a caller that is no
    // operator) its reason is handed back instead of shown in a box.
    // `starter` is who asked: the repeat transmits on its behalf.
    Started start(char memory, double seconds, qint64 count, bool quiet = false, const Owner &starter = {});
    // The same with a listening gap (seconds) after each message's end in place of a
    // period: the memory's length in the active set must be known.
    Started startWithGap(char memory, double gap, qint64 count, bool quiet = false, const Owner &starter = {});
    double gap() const { return m_gapSeconds; } // the last repeat's gap, 0: it had a period
    const Owner &starter() const { return m_starter; } // the running or last repeat's
    // Ends a running repeat for this reason; nothing happens when none runs.
    void stop(Stop why);

signals:
    // repeating() or left() changed.
    void changed();
    // What a screen reader should hear: that a repeat started, or why it stopped.
    void told(const QString &words);
    void stopped(Stop why);

private:
    Started begin(char memory, int periodMs, double gap, qint64 count, bool quiet, const Owner &starter,
                  const QString &told);
    void transmit(QString *notSentWhy = nullptr);
    void tick();

    CommandSender &m_sender;
    const MessageBook &m_book;
    Owner m_starter;
    QTimer m_timer;
    bool m_repeating = false;
    bool m_sending = false;
    char m_memory = '1'; // the last repeat's, offered for the next
    int m_periodMs = 30000;
    int m_left = 0;
    double m_gapSeconds = 0;
};
