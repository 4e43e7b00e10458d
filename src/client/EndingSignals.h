#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a logout, kill, a service manager, Ctrl+C, a closed
// terminal) brought into the event loop: the handler only writes the signal's number
// to a pipe, and received() is emitted from the loop, where anything may run. After
// the first, the signals have their default effect again, so a second one ends a
// program that is stuck. One instance at a time.
class EndingSignals : public QObject {
    Q_OBJECT

public:
    explicit EndingSignals(QObject *parent = nullptr);
    ~EndingSignals() override;
    EndingSignals(const EndingSignals &) = delete;
    EndingSignals &operator=(const EndingSignals &) = delete;

    // Whether one of the signals has been received.
    bool received() const { return m_received != 0; }

signals:
    void ending(int signal);

private:
    void onReadable();
    static void restoreDefaults();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    int m_received = 0;
};
