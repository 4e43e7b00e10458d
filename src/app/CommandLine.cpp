#include "CommandLine.h"

#include "help/GuidePath.h"
#include "serial/RunningExecutable.h"
#include "panel/Desktop.h"

#include <QFileInfo>

#ifndef QX50_VERSION
#define QX50_VERSION "unknown"
#endif

namespace {

constexpr auto kProgram = Desktop::kApplicationTitle;

QString usage(const QString &executableDirectory)
{
    return QStringLiteral("Usage: %1 [--help | --version]\n"
                          "\n"
                          "A one-window control panel for the voice-memory unit of the ORMA QX50 radio\n"
                          "transceiver. Choose the unit's serial port from the Com menu, then drive the\n"
                          "unit with buttons or single keys. Other arguments are ignored.\n"
                          "\n"
                          "Environment:\n"
                          "  QX50_COM1 ... QX50_COM4  the device of that port: a path, a bare name such as\n"
                          "                           ttyUSB0, rfc2217://HOST:PORT or socket://HOST:PORT;\n"
                          "                           before ports.conf and the default /dev/ttyS0 ... 3\n"
                          "  XDG_CONFIG_HOME          where ports.conf is looked for (default ~/.config)\n"
                          "\n"
                          "Files:\n"
                          "  ./%1.ini\n"
                          "                           the chosen port and serial settings, in the\n"
                          "                           directory the program is started from\n"
                          "  $XDG_CONFIG_HOME/%1/ports.conf\n"
                          "                           the devices chosen in Com \u2192 Port devices\u2026\n"
                          "\n"
                          "The operator's guide: %2 (Help \u2192 Guide)\n"
                          "The manual page: man %1\n")
        .arg(QLatin1String(kProgram), guideDocumentPath(executableDirectory));
}

} // namespace

std::optional<CommandLineAnswer> answerCommandLine(const QStringList &arguments, const QString &executableDirectory)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--help"))
            return CommandLineAnswer {usage(executableDirectory), 0};
        if (arguments.at(i) == QLatin1String("--version"))
            return CommandLineAnswer {
                QStringLiteral("%1 %2\n").arg(QLatin1String(kProgram), QLatin1String(QX50_VERSION)), 0};
    }
    return std::nullopt;
}

QString executableDirectoryBeforeStart(const char *argv0)
{
    if (const QString directory = runningExecutableDirectory(); !directory.isEmpty())
        return directory;
    return QFileInfo(QString::fromLocal8Bit(argv0 ? argv0 : "")).absolutePath();
}
