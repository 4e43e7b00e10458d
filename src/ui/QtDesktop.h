#pragma once

#include "panel/Desktop.h"

// The real desktop, through Qt.
class QtDesktop final : public Desktop {
public:
    void messageBox(const QString &prompt, int style, const QString &title, const QString &detail) override;
    void beep() override;
    bool handToViewer(const QString &path, int showMode) override;
    QSize screenSize() const override;
    QString executableDirectory() const override;
    QString executableBaseName() const override;
    [[noreturn]] void endProgram(int exitCode) override;
};
