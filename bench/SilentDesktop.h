#pragma once

#include "panel/Desktop.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

// A desktop for measurements: boxes go to standard error and nothing waits.
class SilentDesktop final : public Desktop {
public:
    void messageBox(const QString &prompt, int, const QString &, const QString &detail) override
    {
        std::fprintf(stderr, "message: %s %s\n", qPrintable(prompt), qPrintable(detail));
    }
    void beep() override {}
    bool handToViewer(const QString &, int) override { return false; }
    QSize screenSize() const override { return {1280, 1024}; }
    QString executableDirectory() const override { return QCoreApplication::applicationDirPath(); }
    QString executableBaseName() const override { return QStringLiteral("orma-qx50-voice-mem"); }
    void endProgram(int exitCode) override { std::_Exit(exitCode); }
};
