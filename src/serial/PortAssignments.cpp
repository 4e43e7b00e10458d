#include "PortAssignments.h"

#include "SystemReason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>

namespace {

constexpr auto kGroup = "ports";

QString keyFor(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

// The file a path stands for: a link (into a folder of dotfiles, say) is followed to
// its target, which need not exist yet. A loop of links ends where the system's does.
QString fileBehindLinks(const QString &path)
{
    QString file = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(file);
        if (!info.isSymLink())
            break;
        file = info.symLinkTarget();
    }
    return file;
}

} // namespace

QString PortAssignments::defaultFile()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/orma-qx50-voice-mem/ports.conf");
}

QString PortAssignments::defaultDevice(int port)
{
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

PortAssignments::PortAssignments(const QString &file)
    : m_file(file)
{
    if (!QFileInfo::exists(m_file))
        return;
    QSettings settings(m_file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        m_unreadable = true; // a half-read file is not trusted for any entry
        return;
    }
    settings.beginGroup(QString::fromLatin1(kGroup));
    for (int port = kFirstComPort; port <= kLastComPort; ++port) {
        const QVariant value = settings.value(keyFor(port));
        // A value with an unquoted comma reads as a list: no device is named so.
        if (value.typeId() == QMetaType::QString)
            m_devices[static_cast<size_t>(port - kFirstComPort)] = value.toString().trimmed();
    }
}

QString PortAssignments::device(int port) const
{
    return inRange(port) ? m_devices[static_cast<size_t>(port - kFirstComPort)] : QString();
}

void PortAssignments::setDevice(int port, const QString &device)
{
    if (!inRange(port))
        return;
    const QString trimmed = device.trimmed();
    m_devices[static_cast<size_t>(port - kFirstComPort)] = trimmed == defaultDevice(port) ? QString() : trimmed;
}

bool PortAssignments::save(QString *why) const
{
    QString failure;
    const bool saved = [&] {
        const QString file = fileBehindLinks(m_file); // the link stays a link
        const QFileInfo info(file);
        if (!QDir().mkpath(info.absolutePath())) {
            failure = QStringLiteral("the folder %1 cannot be made").arg(info.absolutePath());
            return false;
        }
        if (!m_unreadable && write(file, true, &failure))
            return true;
        // What the file holds cannot be read or written back as settings: it is kept
        // aside as it is, and a new file holds the assignments alone.
        return moveAside(file, &failure) && write(file, false, &failure);
    }();
    if (!saved && why)
        *why = failure;
    return saved;
}

// QSettings rewrites a copy beside the file, which then takes the file's place in one
// step, with the file's mode: the file is never half-written, and is left as it was
// when the copy cannot be written.
bool PortAssignments::write(const QString &file, bool keepFile, QString *failure) const
{
    QTemporaryFile copy(file + QStringLiteral(".XXXXXX"));
    copy.setAutoRemove(false);
    if (!copy.open()) {
        *failure = QStringLiteral("%1 cannot be written: %2").arg(copy.fileName(), copy.errorString());
        return false;
    }
    const QString copyName = copy.fileName();
    auto discard = qScopeGuard([&] { QFile::remove(copyName); });
    if (QFileInfo::exists(file))
        copy.setPermissions(QFile::permissions(file));
    if (keepFile) {
        QFile original(file);
        if (original.open(QIODevice::ReadOnly))
            copy.write(original.readAll());
    }
    copy.close();

    QSettings::Status status = QSettings::NoError;
    {
        QSettings settings(copyName, QSettings::IniFormat);
        settings.beginGroup(QString::fromLatin1(kGroup));
        for (int port = kFirstComPort; port <= kLastComPort; ++port) {
            const QString &device = m_devices[static_cast<size_t>(port - kFirstComPort)];
            if (device.isEmpty())
                settings.remove(keyFor(port));
            else
                settings.setValue(keyFor(port), device);
        }
        settings.endGroup();
        settings.sync();
        status = settings.status();
    }
    if (status != QSettings::NoError) {
        *failure = QStringLiteral("%1 cannot be written: %2")
                       .arg(file,
                            status == QSettings::AccessError
                                ? QStringLiteral("access denied, or the disk is full")
                                : QStringLiteral("what it holds cannot be written back as settings"));
        return false;
    }
    if (std::rename(QFile::encodeName(copyName).constData(), QFile::encodeName(file).constData()) != 0) {
        *failure = QStringLiteral("%1 cannot be replaced: %2").arg(file, systemReason(errno));
        return false;
    }
    discard.dismiss();
    return true;
}

bool PortAssignments::moveAside(const QString &file, QString *failure) const
{
    if (!QFileInfo::exists(file))
        return true;
    const QString kept = file + QStringLiteral(".bad");
    QFile::remove(kept);
    if (QFile::rename(file, kept))
        return true;
    *failure = QStringLiteral("%1 cannot be read as settings, nor moved aside to %2").arg(file, kept);
    return false;
}
