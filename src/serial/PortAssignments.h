#pragma once

#include "PortNumbers.h"

#include <QString>

#include <array>

// Which device the operator assigned to COM1 to COM4 from the window, kept in
// ports.conf under the user's configuration directory (an INI file: group [ports],
// keys COM1 to COM4). A port with no entry uses its default device. The file is read
// whole when this is made and written only by save().
class PortAssignments {
public:
    // $XDG_CONFIG_HOME/orma-qx50-voice-mem/ports.conf, or under ~/.config when that
    // variable is unset or not an absolute path.
    static QString defaultFile();
    // The device a port uses when nothing names another: /dev/ttyS(n-1).
    static QString defaultDevice(int port);

    explicit PortAssignments(const QString &file);

    QString file() const { return m_file; }
    // The assigned device, or an empty text when the port has no entry (no file, an
    // unreadable or malformed file, an empty value).
    QString device(int port) const;
    // An empty device, or the port's default, removes the entry.
    void setDevice(int port, const QString &device);

    // Writes the entries; true on success, else false with the reason. Other keys in
    // the file stay. A file that could not be read, or written back, as settings is
    // kept beside the new one as ports.conf.bad.
    bool save(QString *why) const;

private:
    static bool inRange(int port) { return port >= kFirstComPort && port <= kLastComPort; }
    bool write(const QString &file, bool keepFile, QString *failure) const;
    bool moveAside(const QString &file, QString *failure) const;

    QString m_file;
    std::array<QString, kComPortCount> m_devices {};
    bool m_unreadable = false; // present but not readable as settings
};
