#pragma once

#include <QString>

#include <optional>

// The panel's own choices that outlast a run, kept in a file of their own beside
// ports.conf (options.conf, an INI file, group [options]); never in the settings
// file, whose one record is fixed. Without a folder they last for the run only.
class PanelPreferences {
public:
    // How much the panel says on its own to a screen reader.
    enum class Speech { Full, Brief, Off };
    static QString speechName(Speech speech); // "Full", "Brief", "Off"
    static std::optional<Speech> speechNamed(const QString &name);

    // The file beside this ports.conf; empty stays empty.
    static QString besideAssignments(const QString &assignmentsFile);

    explicit PanelPreferences(QString file = {});

    // Whether a lost line is waited for and reopened by itself (on unless turned off).
    bool reopenLostPort() const { return m_reopenLostPort; }
    // Remembered at once; false with the reason when the file could not be written.
    bool setReopenLostPort(bool on, QString *why = nullptr);

    // Whether events are heard as the desktop's sounds; nothing when the operator
    // never chose, so the default can follow whether a screen reader runs.
    std::optional<bool> sounds() const { return m_sounds; }
    bool setSounds(bool on, QString *why = nullptr);

    Speech speech() const { return m_speech; }
    bool setSpeech(Speech speech, QString *why = nullptr);

private:
    bool store(const char *key, const QVariant &value, QString *why);

    QString m_file;
    bool m_reopenLostPort = true;
    std::optional<bool> m_sounds;
    Speech m_speech = Speech::Full;
};
