#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

// Tells when a device path comes and goes (a by-id or by-path name, any symbolic
// link, or /dev/ttyUSBn), from the system's file events (inotify), with no timer:
// while nothing happens it costs no wake-up. It watches the nearest folder of the
// path that exists, and the folder of the device a link points to, so a name whose
// folder appears only with its first device (/dev/serial/by-id) is seen as well.
class DeviceWatcher : public QObject {
    Q_OBJECT

public:
    explicit DeviceWatcher(QString path, QObject *parent = nullptr);
    ~DeviceWatcher() override;
    DeviceWatcher(const DeviceWatcher &) = delete;
    DeviceWatcher &operator=(const DeviceWatcher &) = delete;

    QString path() const { return m_path; }
    // Whether the path leads to something, as of the last event.
    bool present() const { return m_present; }
    // Whether the system watches the path; when not (no inotify instance or watch
    // left for this user), nothing is ever told, and whyNotWatching() says why.
    bool watching() const { return m_whyNotWatching.isEmpty(); }
    QString whyNotWatching() const { return m_whyNotWatching; }

signals:
    // The path has come (true) or gone (false).
    void presenceChanged(bool present);
    // Something changed around a present path (its permissions, what a link points
    // to): an opening that failed may now succeed.
    void touched();

private:
    void arm();
    void onEvents();

    QString m_path;
    int m_fd = -1;
    QList<int> m_watches; // on m_fd
    QStringList m_folders; // the folders they watch
    QSocketNotifier *m_notifier = nullptr;
    bool m_present = false;
    QString m_whyNotWatching;
};
