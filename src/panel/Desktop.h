#pragma once

#include "contract/ProgramName.h"

#include <QSize>
#include <QString>

// Everything the program asks of the desktop beyond its own window: message boxes,
// the beep, the document viewer, the screen, where the executable lies, and ending
// the process. Tests put a recorder in its place.
class Desktop {
public:
    static constexpr auto kApplicationTitle = kProgramName;

    // Message box styles: the OK button with no icon, or with an icon.
    enum Style { Plain = 0, Critical = 16, Warning = 48, Information = 64 };

    virtual ~Desktop() = default;

    // A modal box with one OK button; returns when the operator has closed it. Lines
    // may be separated by a lone carriage return. Without a title the box carries the
    // application's title. The detail, when given, is shown under the prompt in
    // smaller type: the cause of a failure and what to do about it.
    virtual void messageBox(const QString &prompt, int style = Plain, const QString &title = {},
                            const QString &detail = {})
        = 0;
    virtual void beep() = 0;
    // Hands a document to the desktop's viewer with a window show mode (a Windows
    // SW_ value); true when the desktop accepted it.
    virtual bool handToViewer(const QString &path, int showMode) = 0;
    // The whole primary screen, in logical pixels.
    virtual QSize screenSize() const = 0;
    virtual QString executableDirectory() const = 0;
    // The executable's file name without directory and extension.
    virtual QString executableBaseName() const = 0;
    // Ends the process at once, with no further event handling.
    virtual void endProgram(int exitCode) = 0;
};
