#include "PanelPreferences.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
constexpr auto kReopenKey = "options/ReopenLostPort";
}

QString PanelPreferences::besideAssignments(const QString &assignmentsFile)
{
    if (assignmentsFile.isEmpty())
        return {};
    return QFileInfo(assignmentsFile).dir().filePath(QStringLiteral("options.conf"));
}

PanelPreferences::PanelPreferences(QString file)
    : m_file(std::move(file))
{
    if (m_file.isEmpty() || !QFileInfo::exists(m_file))
        return;
    const QSettings stored(m_file, QSettings::IniFormat);
    // Anything but a plain "false" keeps the default: a damaged value never turns it off.
    m_reopenLostPort = stored.value(QLatin1String(kReopenKey)).toString() != QLatin1String("false");
}

bool PanelPreferences::setReopenLostPort(bool on, QString *why)
{
    m_reopenLostPort = on;
    if (m_file.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSettings stored(m_file, QSettings::IniFormat);
    stored.setValue(QLatin1String(kReopenKey), on);
    stored.sync();
    if (stored.status() == QSettings::NoError)
        return true;
    if (why)
        *why = QStringLiteral("%1 could not be written").arg(m_file);
    return false;
}
