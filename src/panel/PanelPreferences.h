#pragma once

#include <QString>

// The panel's own choices that outlast a run, kept in a file of their own beside
// ports.conf (options.conf, an INI file, group [options]); never in the settings
// file, whose one record is fixed. Without a folder they last for the run only.
class PanelPreferences {
public:
    // The file beside this ports.conf; empty stays empty.
    static QString besideAssignments(const QString &assignmentsFile);

    explicit PanelPreferences(QString file = {});

    // Whether a lost line is waited for and reopened by itself (on unless turned off).
    bool reopenLostPort() const { return m_reopenLostPort; }
    // Remembered at once; false with the reason when the file could not be written.
    bool setReopenLostPort(bool on, QString *why = nullptr);

private:
    QString m_file;
    bool m_reopenLostPort = true;
};
