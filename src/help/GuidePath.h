#pragma once

#include <QString>

// The operator's guide lies beside the executable. A directory that already ends in
// a separator (a drive's root) gets none added.
inline QString guideDocumentPath(const QString &executableDirectory)
{
    const bool endsInSeparator
        = executableDirectory.endsWith(QLatin1Char('/')) || executableDirectory.endsWith(QLatin1Char('\\'));
    return executableDirectory + (endsInSeparator ? QString() : QStringLiteral("/")) + QStringLiteral("guide.htm");
}
