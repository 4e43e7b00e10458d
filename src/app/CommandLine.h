#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's few command-line words, read before any window exists, so that they
// work without a display. --help prints what the program is, the environment it
// reads, its files and where its guide and manual page are; --version prints its
// name and version. Every other argument is ignored and the window starts.
struct CommandLineAnswer {
    QString text; // for standard output
    int exitCode = 0;
};

// arguments: as main receives them, the program's own path first. executableDirectory:
// where the guide lies. Nothing when the window is to start.
std::optional<CommandLineAnswer> answerCommandLine(const QStringList &arguments, const QString &executableDirectory);

// The running executable's directory, found without a QCoreApplication.
QString executableDirectoryBeforeStart(const char *argv0);
