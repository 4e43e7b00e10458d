#pragma once

#include <QByteArray>
#include <QString>

// The settings file holds one record and nothing else, no line end:
// "COM", the port digit, ":", then the serial settings in upper case,
// e.g. COM3:9600,N,8,1.
namespace SettingsRecord {

// A file larger than this holds no record; it is never read whole.
constexpr qint64 kMaxFileSize = 64 * 1024;

// The port digit is the last digit of the port number.
QByteArray build(int commPort, const QString &settings);

// The port number from the fourth character, by its leading decimal digit: 0 when it
// is no digit or the text is shorter.
int portNumberOf(const QByteArray &text);

// Everything from the sixth character on, trailing line ends included; empty when
// the text is shorter.
QString settingsTextOf(const QByteArray &text);

} // namespace SettingsRecord
