#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cmath>

class Form1;
class OperatorInput;

// Transmits one memory over and over: the memory digit and "T" at once, then again
// at the start of each period, a given number of times. Every send takes the road of
// a key press (Form1::issueCommand). A repeat is always bounded, and it stops:
// - with "S", cutting the message on the air, when asked to (StopRepeat), when the
//   program that asked for it leaves, and when the window closes or the program ends;
// - with no byte when the operator presses a key or clicks in the window (the key or
//   click then does what it always does), when the port closes, its line is lost or
//   takes no more, and one period after the last transmission went out.
// This is the one place that knows the allowed memory, period and count.
class RepeatTransmit : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinSeconds = 2;
    static constexpr int kMaxSeconds = 600;
    static constexpr int kMinCount = 1;
    static constexpr int kMaxCount = 100;
    static constexpr int kDefaultCount = 10;

    // Why a repeat of this memory, period (start to start) and count cannot start, in
    // one line naming the allowed range; empty when it can. Header-only, so that the
    // command-line sender checks with the very same rule.
    static QString refusal(const QString &memory, double seconds, qint64 count)
    {
        if (memory.size() != 1 || memory.front() < u'0' || memory.front() > u'9')
            return QStringLiteral("the memory must be one digit, 0 to 9");
        if (!std::isfinite(seconds) || seconds < kMinSeconds || seconds > kMaxSeconds)
            return QStringLiteral("the period must be %1 to %2 seconds").arg(kMinSeconds).arg(kMaxSeconds);
        if (count < kMinCount || count > kMaxCount)
            return QStringLiteral("the number of transmissions must be %1 to %2").arg(kMinCount).arg(kMaxCount);
        return {};
    }

    enum class Stop {
        Asked, // StopRepeat: "S"
        CallerLeft, // the program that started it left the bus: "S"
        WindowClosing, // the window closes or the program ends: "S"
        Operator, // a key, click or menu choice in the window: no byte
        Finished, // the period after the last transmission is over: no byte
        PortClosed, // the port closed, changed or its line was lost: no byte
        NotTaken, // the line took no more: no byte
    };
    Q_ENUM(Stop)

    // Watches the window's input from now on: made before the window's handlers are
    // connected, so that a click or menu choice stops the repeat before its handler
    // runs. Exit and the repeat's own menu item decide for themselves.
    explicit RepeatTransmit(Form1 &form);
    ~RepeatTransmit() override;

    bool repeating() const { return m_repeating; }
    char memory() const { return m_memory; }
    int left() const { return m_left; } // transmissions still to go
    double seconds() const { return m_periodMs / 1000.0; }

    // Starts a repeat and sends its first transmission at once. Requires values that
    // refusal() lets through, an open port and no repeat running; false otherwise.
    // A first transmission the line did not take ends it again at once, and false is
    // returned: with notSentWhy the reason is handed back instead of shown in a box
    // (a bus caller).
    bool start(char memory, double seconds, int count, QString *notSentWhy = nullptr);
    // Ends a running repeat for this reason; nothing happens when none runs.
    void stop(Stop why);

signals:
    // repeating() or left() changed.
    void changed();
    // What a screen reader should hear: that a repeat started, or why it stopped.
    void told(const QString &words);
    void stopped(Stop why);

private:
    void transmit(QString *notSentWhy = nullptr);
    void tick();

    Form1 &m_form;
    OperatorInput *m_input;
    QTimer m_timer;
    bool m_repeating = false;
    bool m_sending = false;
    char m_memory = '1'; // the last repeat's, offered for the next
    int m_periodMs = 30000;
    int m_left = 0;
};
