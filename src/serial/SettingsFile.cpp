#include "SettingsFile.h"

#include "SettingsRecord.h"

#include <QFileInfo>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &what, const QFile &file)
{
    throw std::runtime_error(QStringLiteral("%1 %2: %3").arg(what, file.fileName(), file.errorString()).toStdString());
}

} // namespace

bool SettingsFile::isPresent(const QString &name)
{
    const QFileInfo info(name);
    return info.isFile() && !info.isSymLink();
}

QByteArray SettingsFile::read(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot open"), file);
    if (file.size() > SettingsRecord::kMaxFileSize)
        throw std::runtime_error(QStringLiteral("%1 is too large to be a settings file").arg(name).toStdString());
    const QByteArray text = file.read(SettingsRecord::kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("cannot read"), file);
    return text;
}

void SettingsFile::remove(const QString &name)
{
    QFile file(name);
    if (!file.remove())
        fail(QStringLiteral("cannot delete"), file);
}

SettingsFile::NewFile::NewFile(const QString &name)
    : m_file(name)
{
    // Exclusive creation: never follows a link that stands where the file should be.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        fail(QStringLiteral("cannot create"), m_file);
}

void SettingsFile::NewFile::write(const QByteArray &bytes)
{
    if (m_file.write(bytes) != bytes.size() || !m_file.flush())
        fail(QStringLiteral("cannot write"), m_file);
}

void SettingsFile::NewFile::close()
{
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        fail(QStringLiteral("cannot close"), m_file);
}
