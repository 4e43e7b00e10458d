#include "PortAssignments.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr auto kGroup = "ports";

QString keyFor(int port)
{
    return QStringLiteral("COM%1").arg(port);
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
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        const QVariant value = settings.value(keyFor(port));
        // A value with an unquoted comma reads as a list: no device is named so.
        if (value.typeId() == QMetaType::QString)
            m_devices[static_cast<size_t>(port - 1)] = value.toString().trimmed();
    }
}

QString PortAssignments::device(int port) const
{
    return inRange(port) ? m_devices[static_cast<size_t>(port - 1)] : QString();
}

void PortAssignments::setDevice(int port, const QString &device)
{
    if (!inRange(port))
        return;
    const QString trimmed = device.trimmed();
    m_devices[static_cast<size_t>(port - 1)] = trimmed == defaultDevice(port) ? QString() : trimmed;
}

bool PortAssignments::save(QString *why) const
{
    const QFileInfo info(m_file);
    if (!QDir().mkpath(info.absolutePath())) {
        if (why)
            *why = QStringLiteral("%1: the folder cannot be made").arg(info.absolutePath());
        return false;
    }
    if (m_unreadable) {
        const QString kept = m_file + QStringLiteral(".bad");
        QFile::remove(kept);
        if (!QFile::rename(m_file, kept)) {
            if (why)
                *why = QStringLiteral("%1 cannot be read as settings, nor moved aside to %2").arg(m_file, kept);
            return false;
        }
    }

    QSettings settings(m_file, QSettings::IniFormat);
    settings.beginGroup(QString::fromLatin1(kGroup));
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        const QString &device = m_devices[static_cast<size_t>(port - 1)];
        if (device.isEmpty())
            settings.remove(keyFor(port));
        else
            settings.setValue(keyFor(port), device);
    }
    settings.endGroup();
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    if (why)
        *why = QStringLiteral("%1 cannot be written: %2")
                   .arg(m_file, settings.status() == QSettings::AccessError ? QStringLiteral("access denied or disk full")
                                                                             : QStringLiteral("format error"));
    return false;
}
