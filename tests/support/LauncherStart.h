#pragma once

#include "FormFixture.h"
#include "serial/PortDevices.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// A start as from the desktop menu: the program's own device lookup, no QX50_COM
// variable set, and a ports.conf in a configuration folder of the test's own, so
// that file is the only thing that assigns devices.
struct LauncherStart {
    QTemporaryDir config;
    TemporaryWorkingDirectory cwd;
    RecordingDesktop desktop;
    std::unique_ptr<Form1> form;

    LauncherStart()
    {
        for (int port = 1; port <= 9; ++port)
            qunsetenv(qPrintable(portVariableName(port)));
    }

    QString portsFile() const { return config.filePath(QStringLiteral("orma-qx50-voice-mem/ports.conf")); }
    PortDevices portDevices() const { return PortDevices::system(portsFile()); }
    void writePortsFile(const QByteArray &text) const
    {
        QDir().mkpath(config.filePath(QStringLiteral("orma-qx50-voice-mem")));
        QFile file(portsFile());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text);
    }
    QByteArray portsFileBytes() const
    {
        QFile file(portsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void start()
    {
        form = std::make_unique<Form1>(desktop, portDevices());
        form->IniFile = QString::fromLatin1(FormFixture::kSettingsFile);
        form->Form_Load();
    }
};

// Runs drive(dialog) once a modal dialog is up, from inside its own event loop; a
// dialog that never shows fails the check after five seconds.
template <typename Drive>
void whenDialogShows(Drive drive, bool *shown)
{
    *shown = false;
    auto *poll = new QTimer;
    auto deadline = std::make_shared<int>(500);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, drive, shown, deadline] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog) {
            *shown = true;
            poll->stop();
            poll->deleteLater();
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog))
                qWarning("the dialog did not become the active window");
            drive(dialog);
            if (dialog->isVisible()) // the drive failed half-way: do not hang the test
                dialog->reject();
        } else if (--*deadline <= 0) {
            poll->deleteLater();
        }
    });
    poll->start(10);
}
