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

// Puts a file holding exactly these bytes in the name's place, all at once: the
// bytes go to a new file beside it, reach the disk, and only then does that file
// take the name. A link standing there is replaced, never written through. When
// anything fails, whatever had the name is left as it was and no new file stays
// behind; the failure names the file's full path and the system's reason.
void replace(const QString &name, const QByteArray &bytes);

} // namespace SettingsFile
