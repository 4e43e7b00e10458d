#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// File operations on the settings file, by a bare name resolved against the current
// working directory. Each throws std::runtime_error when it fails. Only a regular
// file counts: a symbolic link in its place is never read, written through or
// deleted.
namespace SettingsFile {

bool isPresent(const QString &name);
// The whole file, which must be at most SettingsRecord::kMaxFileSize bytes.
QByteArray read(const QString &name);
void remove(const QString &name);

// Writes a new file; opening fails when anything at all already has the name.
class NewFile {
public:
    explicit NewFile(const QString &name);
    void write(const QByteArray &bytes);
    void close();

private:
    QFile m_file;
};

} // namespace SettingsFile
