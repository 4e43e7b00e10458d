#include "RunningExecutable.h"

#include <QCoreApplication>
#include <QFileInfo>

QString runningExecutableFile()
{
    const QString resolved = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!resolved.isEmpty())
        return resolved;
    // Systems without /proc: Qt asks the system its own way.
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

QString runningExecutableDirectory()
{
    const QString file = runningExecutableFile();
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}
