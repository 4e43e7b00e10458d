#include "DeviceWatcher.h"

#include "SystemReason.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFolderEvents
    = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// The path's folder, or the nearest one above it that exists.
QString nearestFolder(const QString &path)
{
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QLatin1String("/"))
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

} // namespace

DeviceWatcher::DeviceWatcher(QString path, QObject *parent)
    : QObject(parent)
    , m_path(std::move(path))
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const int notWatching = errno;
    m_present = QFileInfo::exists(m_path);
    if (m_fd < 0) {
        m_whyNotWatching
            = QStringLiteral("the system's file events are not available (%1)").arg(systemReason(notWatching));
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceWatcher::onEvents);
    arm();
}

DeviceWatcher::~DeviceWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// The watched folders change only when the device or its folder comes or goes, so
// after each event the watches are made afresh on the same descriptor.
void DeviceWatcher::arm()
{
    QStringList folders {nearestFolder(m_path)};
    const QFileInfo link(m_path);
    if (link.isSymLink() && link.exists())
        folders << QFileInfo(link.canonicalFilePath()).absolutePath();
    folders.removeDuplicates();
    if (folders == m_folders)
        return; // removing a watch is an event too: only a change is worth one
    m_folders = folders;
    for (int watch : std::as_const(m_watches))
        ::inotify_rm_watch(m_fd, watch);
    m_watches.clear();
    m_whyNotWatching.clear();
    for (const QString &folder : std::as_const(folders)) {
        const int watch = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), kFolderEvents);
        if (watch >= 0)
            m_watches << watch;
        else
            m_whyNotWatching = QStringLiteral("%1 cannot be watched (%2)").arg(folder, systemReason());
    }
}

void DeviceWatcher::onEvents()
{
    // A watch this watcher removed itself says nothing of the device (IN_IGNORED);
    // anything else may, a watched folder that went away included.
    bool relevant = false;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            const bool ownRemoval = event->mask == IN_IGNORED && !m_watches.contains(event->wd);
            if (event->mask & IN_IGNORED) {
                m_watches.removeAll(event->wd);
                m_folders.clear(); // watched again at the next arming, even at the same path
            }
            relevant = relevant || !ownRemoval;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (!relevant)
        return;
    arm();
    const bool present = QFileInfo::exists(m_path);
    if (present != m_present) {
        m_present = present;
        emit presenceChanged(present);
    } else if (present) {
        emit touched();
    }
}
