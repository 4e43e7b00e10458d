#include "DeviceProbe.h"

#include "BrailleClaim.h"
#include "NetworkAddress.h"
#include "SystemReason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace {

const QString kPlugInHint
    = QStringLiteral("Is the adapter plugged in? Com \u2192 Port devices\u2026 shows what is present.");

// A USB serial adapter's device, as the kernel or udev names it.
bool mayBeUsbAdapter(const QString &device)
{
    return device.startsWith(QLatin1String("/dev/ttyUSB")) || device.startsWith(QLatin1String("/dev/ttyACM"))
        || device.startsWith(QLatin1String("/dev/serial/"));
}

// The way out of a port that another program holds.
QString inUseBy(const QString &holder)
{
    const QString next = QStringLiteral("close that program, or choose another port in Com \u2192 Port devices\u2026");
    return holder.isEmpty() ? QStringLiteral("the port is in use by another program: %1").arg(next)
                            : QStringLiteral("the port is in use by another program: %1; %2").arg(holder, next);
}

#ifdef Q_OS_UNIX

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// A lock whose owner is gone from sight (it handed the device to a child and ended).
constexpr qint64 kUnseenHolder = -1;

QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Named as it was started (the last part of its first argument): the kernel's own
// name for it is cut at 15 characters.
QString programName(qint64 pid)
{
    if (pid == kUnseenHolder)
        return QStringLiteral("another program");
    const QByteArray argv0 = procFile(pid, "cmdline").split('\0').constFirst();
    QString name = QString::fromLocal8Bit(argv0.mid(argv0.lastIndexOf('/') + 1)).trimmed();
    if (name.isEmpty())
        name = QString::fromLocal8Bit(procFile(pid, "comm")).trimmed();
    if (name.isEmpty())
        name = QStringLiteral("a program");
    return QStringLiteral("%1 (PID %2)").arg(name).arg(pid);
}

// Qt and UUCP-style programs announce their use of a device with a file LCK..<name>
// holding their PID, where <name> is the path without "/dev/", slashes made "_".
qint64 lockFileHolderByName(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                               QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"), QDir::tempPath()};
    for (const QString &folder : folders) {
        QFile lock(folder + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        bool number = false;
        const qint64 pid = lock.readLine(32).trimmed().toLongLong(&number);
        if (number && pid != ::getpid() && processAlive(pid))
            return pid;
    }
    return 0;
}

// A lock taken on the device itself (flock or fcntl), as the kernel lists it.
qint64 deviceLockHolder(const struct stat &info)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const QString where = QStringLiteral("%1:%2:%3")
                              .arg(major(info.st_dev), 2, 16, QLatin1Char('0'))
                              .arg(minor(info.st_dev), 2, 16, QLatin1Char('0'))
                              .arg(info.st_ino);
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:6 0 EOF"; waiting locks carry "->".
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
        if (fields.size() < 6 || fields.at(1) == QLatin1String("->"))
            continue;
        if (fields.at(5).compare(where, Qt::CaseInsensitive) != 0)
            continue;
        const qint64 pid = fields.at(4).toLongLong();
        if (pid == ::getpid())
            continue;
        return processAlive(pid) ? pid : kUnseenHolder;
    }
    return 0;
}

// A process with the device open, among those this user may look into; one whose
// descriptor carries a lock on it comes first. Only the names of the descriptors are
// read, never what they lead to: a file on a hung network mount would hold us up.
enum class Holding { Locked, AnyOpen };
qint64 processWithDeviceOpen(const QString &device, Holding holding)
{
    const QByteArray path = QFile::encodeName(QFileInfo(device).canonicalFilePath());
    if (path.isEmpty())
        return 0;
    qint64 firstOpen = 0;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == ::getpid())
            continue;
        const QByteArray fdFolder = "/proc/" + QByteArray::number(pid) + "/fd";
        DIR *fds = ::opendir(fdFolder.constData());
        if (!fds)
            continue;
        bool locked = false;
        bool open = false;
        while (const struct dirent *fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            char target[4096];
            const QByteArray link = fdFolder + '/' + fd->d_name;
            const ssize_t size = ::readlink(link.constData(), target, sizeof target);
            if (size <= 0 || QByteArray(target, size) != path)
                continue;
            open = true;
            const QByteArray info = procFile(pid, QByteArray("fdinfo/" + QByteArray(fd->d_name)).constData());
            if (info.startsWith("lock:") || info.contains("\nlock:")) {
                locked = true;
                break;
            }
        }
        ::closedir(fds);
        if (locked)
            return pid;
        if (open && !firstOpen)
            firstOpen = pid;
    }
    return holding == Holding::AnyOpen ? firstOpen : 0;
}

qint64 lockHolder(const QString &device, const struct stat &info)
{
    if (const qint64 pid = lockFileHolder(device))
        return pid;
    const qint64 pid = deviceLockHolder(info);
    if (pid != kUnseenHolder)
        return pid;
    // The lock's taker has ended, handing the device on (to a child, say): the
    // lock now belongs to whoever has that descriptor.
    const qint64 heir = processWithDeviceOpen(device, Holding::Locked);
    return heir ? heir : kUnseenHolder;
}

QString groupName(gid_t gid)
{
    const struct group *entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

QString userName(uid_t uid)
{
    const struct passwd *entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

// Whether the account is listed in the group although this session does not have it
// yet: it joined after logging in.
bool joinedSinceLogin(gid_t gid)
{
    const struct passwd *me = ::getpwuid(::getuid());
    if (!me)
        return false;
    gid_t groups[256];
    int count = 256;
    if (::getgrouplist(me->pw_name, me->pw_gid, groups, &count) < 0)
        return false;
    for (int i = 0; i < count; ++i)
        if (groups[i] == gid)
            return true;
    return false;
}

#endif

} // namespace

DeviceProbe probeDevice(const QString &device)
{
    DeviceProbe probe = probePresence(device);
#ifdef Q_OS_UNIX
    struct stat info {};
    if (probe.finding != DeviceProbe::Finding::Free || ::stat(device.toLocal8Bit().constData(), &info) != 0)
        return probe;
    if (const qint64 holder = lockHolder(device, info)) {
        const QString program = programName(holder);
        return {DeviceProbe::Finding::Held, QStringLiteral("present, in use by %1").arg(program),
                inUseBy(holder == kUnseenHolder ? QString() : program)};
    }
#endif
    return probe;
}

DeviceProbe probePresence(const QString &device)
{
    using Finding = DeviceProbe::Finding;
    if (NetworkAddress::isNetworkName(device)) {
        QString problem;
        if (!NetworkAddress::parse(device, &problem))
            return {Finding::Unknown, QStringLiteral("not a usable network address"), problem};
        return {Finding::Network, QStringLiteral("network port, checked when it opens"), {}};
    }
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(device.toLocal8Bit().constData(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            // Only a USB adapter's name can be one that brltty took; the built-in
            // ports' defaults, missing on most machines, are answered without a look.
            if (const auto claim = mayBeUsbAdapter(device) ? findBrailleClaim() : std::nullopt)
                return {Finding::Missing, QStringLiteral("not present: ") + claim->summary(),
                        QStringLiteral("there is no such device. ") + claim->reason()};
            return {Finding::Missing, QStringLiteral("not present"),
                    QStringLiteral("there is no such device. ") + kPlugInHint};
        }
        return {Finding::Unknown, QStringLiteral("cannot be examined: %1").arg(systemReason(error)),
                QStringLiteral("it cannot be examined: %1").arg(systemReason(error))};
    }
    if (!S_ISCHR(info.st_mode))
        return {Finding::NotSerial, QStringLiteral("not a serial device"), QStringLiteral("it is not a serial device")};
    if (::access(device.toLocal8Bit().constData(), R_OK | W_OK) != 0)
        return {Finding::NoAccess, QStringLiteral("present, no permission (group %1)").arg(groupName(info.st_gid)),
                permissionReason(device)};
    return {Finding::Free, QStringLiteral("present, free"), {}};
#else
    return {Finding::Free, QStringLiteral("checked when it opens"), {}};
#endif
}

QString permissionReason(const QString &device)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(device.toLocal8Bit().constData(), &info) != 0)
        return QStringLiteral("permission denied");
    const QString group = groupName(info.st_gid);
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return QStringLiteral("permission denied: only its owner, %1, may read and write it")
            .arg(userName(info.st_uid));
    if (joinedSinceLogin(info.st_gid))
        return QStringLiteral("permission denied: the device belongs to the group %1, which this user joined after "
                              "logging in. Log out and in again.")
            .arg(group);
    return QStringLiteral("permission denied: the device belongs to the group %1, and this user is not in it. "
                          "To join it: sudo adduser $USER %1, then log in again.")
        .arg(group);
#else
    (void)device;
    return QStringLiteral("permission denied");
#endif
}

qint64 lockFileHolder(const QString &device)
{
#ifdef Q_OS_UNIX
    if (const qint64 pid = lockFileHolderByName(device))
        return pid;
    const QString real = QFileInfo(device).canonicalFilePath();
    if (!real.isEmpty() && real != device)
        return lockFileHolderByName(real);
#else
    (void)device;
#endif
    return 0;
}

QString deviceHolder(const QString &device)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(device.toLocal8Bit().constData(), &info) != 0)
        return {};
    qint64 pid = lockHolder(device, info);
    if (pid <= 0 && S_ISCHR(info.st_mode))
        pid = processWithDeviceOpen(device, Holding::AnyOpen);
    return pid > 0 ? programName(pid) : QString();
#else
    (void)device;
    return {};
#endif
}

QString inUseReason(const QString &device)
{
    return inUseBy(deviceHolder(device));
}
