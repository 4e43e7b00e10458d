#include "app/DisplayCheck.h"

#include "panel/Desktop.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The platform Qt is told to use: -platform NAME (or --platform) on the command
// line, else QT_QPA_PLATFORM; empty for Qt's own choice, a window system.
QString chosenPlatform(const QStringList &arguments, const std::function<QString(const char *)> &variable)
{
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("-platform") || arguments[i] == QLatin1String("--platform"))
            return arguments[i + 1];
    return variable("QT_QPA_PLATFORM");
}

// Whether every platform named (a list with ';' between fallbacks, each with its
// options after ':') draws on an X or Wayland display.
bool needsDisplay(const QString &platforms)
{
    if (platforms.isEmpty())
        return true;
    for (const QString &entry : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        if (name != QLatin1String("xcb") && !name.startsWith(QLatin1String("wayland")))
            return false;
    }
    return true;
}

} // namespace

QString DisplayCheck::whyNoDisplay(const QStringList &arguments, const std::function<QString(const char *)> &variable)
{
    if (!needsDisplay(chosenPlatform(arguments, variable)) || !variable("DISPLAY").isEmpty()
        || !variable("WAYLAND_DISPLAY").isEmpty())
        return {};
    return QStringLiteral("no display: run it inside a desktop session (DISPLAY or WAYLAND_DISPLAY is not set)");
}

bool DisplayCheck::displayMissing(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString why
        = whyNoDisplay(arguments, [](const char *name) { return QString::fromLocal8Bit(std::getenv(name)); });
    if (!why.isEmpty())
        std::fprintf(stderr, "%s: %s\n", Desktop::kApplicationTitle, why.toLocal8Bit().constData());
    return !why.isEmpty();
}
