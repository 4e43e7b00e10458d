#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class DeviceWatcher;

// Waiting for a lost port's device to come back. A local device is watched by its
// path through the system's file events (the watcher given, which its Com item may
// share), never by a timer that wakes the panel; a
// network port is tried again after a growing pause (1, 2, 4, 8 s, then every 10 s).
// After kGiveUpMs of waiting it gives up.
class LostPortWait : public QObject {
    Q_OBJECT

public:
    static constexpr int kGiveUpMs = 10 * 60 * 1000;

    // `watcher` watches a local device's path; none for a network port.
    LostPortWait(int port, QString device, DeviceWatcher *watcher, QObject *parent = nullptr);
    ~LostPortWait() override;

    int port() const { return m_port; }
    QString device() const { return m_device; }

    // The last try did not open it: a network port is tried again later, a local
    // device at its next change.
    void triedInVain();

signals:
    // The device may be back: try to open it.
    void tryNow();
    void gaveUp();

private:
    int m_port;
    QString m_device;
    bool m_watched = false;
    QTimer m_retry;
    QTimer m_giveUp;
    int m_tries = 0;
};
