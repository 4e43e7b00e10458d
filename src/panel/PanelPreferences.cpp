#include "PanelPreferences.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
constexpr auto kReopenKey = "options/ReopenLostPort";
constexpr auto kSoundsKey = "options/Sounds";
constexpr auto kSpeechKey = "options/Speech";

constexpr std::pair<PanelPreferences::Speech, const char *> kSpeechNames[] = {
    {PanelPreferences::Speech::Full, "Full"},
    {PanelPreferences::Speech::Brief, "Brief"},
    {PanelPreferences::Speech::Off, "Off"},
};
} // namespace

QString PanelPreferences::speechName(Speech speech)
{
    for (const auto &[level, name] : kSpeechNames)
        if (level == speech)
            return QString::fromLatin1(name);
    return {};
}

std::optional<PanelPreferences::Speech> PanelPreferences::speechNamed(const QString &name)
{
    for (const auto &[level, spelled] : kSpeechNames)
        if (name.compare(QLatin1String(spelled), Qt::CaseInsensitive) == 0)
            return level;
    return std::nullopt;
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
    // A damaged value counts as never chosen, and a damaged speech level as Full:
    // neither silences a blind operator's panel.
    const QString sounds = stored.value(QLatin1String(kSoundsKey)).toString();
    if (sounds == QLatin1String("true") || sounds == QLatin1String("false"))
        m_sounds = sounds == QLatin1String("true");
    m_speech = speechNamed(stored.value(QLatin1String(kSpeechKey)).toString()).value_or(Speech::Full);
}

bool PanelPreferences::setReopenLostPort(bool on, QString *why)
{
    m_reopenLostPort = on;
    return store(kReopenKey, on, why);
}

bool PanelPreferences::setSounds(bool on, QString *why)
{
    m_sounds = on;
    return store(kSoundsKey, on, why);
}

bool PanelPreferences::setSpeech(Speech speech, QString *why)
{
    m_speech = speech;
    return store(kSpeechKey, speechName(speech), why);
}

// Only the one key is written: the file's other keys, another part's choices, stay.
bool PanelPreferences::store(const char *key, const QVariant &value, QString *why)
{
    if (m_file.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSettings stored(m_file, QSettings::IniFormat);
    stored.setValue(QLatin1String(key), value);
    stored.sync();
    if (stored.status() == QSettings::NoError)
        return true;
    if (why)
        *why = QStringLiteral("%1 could not be written").arg(m_file);
    return false;
}
