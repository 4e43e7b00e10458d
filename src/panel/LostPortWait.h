#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>

#include "serial/DeviceWatcher.h"

// Waiting for a lost port's device to come back. A local device is watched by its
// path through the system's file events (the watcher given, which its Com item may
// share), never by a timer that wakes the panel; only where the system cannot watch
// it (no inotify instance or watch left) is it tried once a second, said once in the
// failure log. A network port is tried again after a growing pause (1, 2, 4, 8 s,
// then every 10 s). After ten minutes of waiting it gives up.

// The wait's times, in one place; a test shortens them to see a give-up.
struct LostPortTimes {
    int giveUpMs = 10 * 60 * 1000;
    int unwatchedTryMs = 1000; // a local device the system cannot watch
    int backAlreadyMs = 1000; // a device back before its watch began
    std::array<int, 5> networkPausesMs {1000, 2000, 4000, 8000, 10000}; // the last one repeats
};

class LostPortWait : public QObject {
    Q_OBJECT

public:
    // `watcher` watches a local device's path; none for a network port.
    LostPortWait(int port, QString device, DeviceWatcher *watcher, const LostPortTimes &times = {},
                 QObject *parent = nullptr);
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
    QPointer<DeviceWatcher> m_watcher; // none for a network port
    LostPortTimes m_times;
    QTimer m_retry;
    QTimer m_giveUp;
    int m_tries = 0;
};
