#include "RunningExecutable.h"

#include <QFileInfo>

QString runningExecutableFile()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString runningExecutableDirectory()
{
    const QString file = runningExecutableFile();
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}
