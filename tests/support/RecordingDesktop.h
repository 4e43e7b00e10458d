#pragma once

#include "panel/Desktop.h"

#include <QList>
#include <QStringList>
#include <functional>

// Stands in for the desktop in tests: every call is kept in order and every message
// box is answered with OK at once.
class RecordingDesktop final : public Desktop {
public:
    struct Box {
        QString prompt;
        int style;
        QString title; // as shown: the application's title when none was given
        QString detail; // the line under the prompt; empty when none
    };

    // In order: "beep", "box: <prompt>", "viewer: <path>", "end: <code>".
    QStringList events;
    QList<Box> boxes;
    QStringList documents;
    QList<int> showModes;
    QList<int> endings;

    bool viewerAccepts = true;
    QSize screen {1920, 1080};
    QString directory = QStringLiteral("/opt/qx50");
    QString baseName = QStringLiteral("orma-qx50-voice-mem");
    // Runs while a box is "open", before it is answered.
    std::function<void(const Box &)> whileBoxShown;

    int beeps() const { return static_cast<int>(events.count(QStringLiteral("beep"))); }
    QStringList prompts() const;
    void clear();

    void messageBox(const QString &prompt, int style, const QString &title, const QString &detail) override;
    void beep() override;
    bool handToViewer(const QString &path, int showMode) override;
    QSize screenSize() const override { return screen; }
    QString executableDirectory() const override { return directory; }
    QString executableBaseName() const override { return baseName; }
    void endProgram(int exitCode) override;
};
