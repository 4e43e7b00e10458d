#include "SettingsFile.h"

#include "SettingsRecord.h"
#include "SystemReason.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void fail(const QString &what, const QFile &file)
{
    throw std::runtime_error(QStringLiteral("%1 %2: %3").arg(what, file.fileName(), file.errorString()).toStdString());
}

[[noreturn]] void failToSave(const QString &path, const QString &reason)
{
    throw std::runtime_error(
        QStringLiteral("Cannot save %1: %2").arg(QDir::toNativeSeparators(path), reason).toStdString());
}

// The bytes are on the disk, not only in the system's cache, before the name moves.
bool syncToDisk(QFile &file)
{
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    (void)file;
    return true; // QFile::flush hands the bytes to the system; there is no portable sync
#endif
}

// A rename is only as lasting as the directory entry that records it.
void syncDirectoryOf(const QString &path)
{
#ifdef Q_OS_UNIX
    const int fd
        = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
#else
    (void)path;
#endif
}

// A name beside the target that nothing has yet, created by this call alone.
void createBeside(const QString &target, QFile &file)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        file.setFileName(QStringLiteral("%1.%2.new")
                             .arg(target)
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return;
        if (!QFileInfo::exists(file.fileName()) && !QFileInfo(file.fileName()).isSymLink())
            break; // not a clash of names: the directory refuses new files
    }
    failToSave(target, QStringLiteral("no new file can be made beside it (%1)").arg(file.errorString()));
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

void SettingsFile::replace(const QString &name, const QByteArray &bytes)
{
    const QString target = QFileInfo(name).absoluteFilePath();
    QFile file;
    createBeside(target, file);
    const QString temporary = file.fileName();
    try {
        if (file.write(bytes) != bytes.size() || !file.flush())
            failToSave(target, file.errorString());
        if (!syncToDisk(file)) {
#ifdef Q_OS_UNIX
            failToSave(target, systemReason(errno));
#endif
        }
        file.close();
        if (file.error() != QFileDevice::NoError)
            failToSave(target, file.errorString());

        std::error_code error;
        std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporary).toStdString()),
                                std::filesystem::path(QFile::encodeName(target).toStdString()), error);
        if (error)
            failToSave(target, QString::fromLocal8Bit(error.message().c_str()));
    } catch (...) {
        file.close();
        QFile::remove(temporary);
        throw;
    }
    syncDirectoryOf(target);
}
