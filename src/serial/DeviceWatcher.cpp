#include "DeviceWatcher.h"

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
    m_present = QFileInfo::exists(m_path);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceWatcher::onEvents);
    arm();
}

DeviceWatcher::~DeviceWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// Closing and making the watches afresh is simpler than following each folder: the
// watched folders change only when the device or its folder comes or goes.
void DeviceWatcher::arm()
{
    QStringList folders {nearestFolder(m_path)};
    const QFileInfo link(m_path);
    if (link.isSymLink() && link.exists())
        folders << QFileInfo(link.canonicalFilePath()).absolutePath();
    folders.removeDuplicates();
    // A fresh descriptor drops every old watch at once.
    const int fresh = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fresh < 0)
        return;
    for (const QString &folder : folders)
        ::inotify_add_watch(fresh, QFile::encodeName(folder).constData(), kFolderEvents);
    ::dup2(fresh, m_fd);
    ::close(fresh);
}

void DeviceWatcher::onEvents()
{
    alignas(inotify_event) char buffer[4096];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {}
    arm();
    const bool present = QFileInfo::exists(m_path);
    if (present != m_present) {
        m_present = present;
        emit presenceChanged(present);
    } else if (present) {
        emit touched();
    }
}
