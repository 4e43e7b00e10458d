#include "app/CommandLine.h"
#include "app/ControlBus.h"
#include "app/DisplayCheck.h"
#include "app/EndingSignals.h"
#include "app/FirstPaint.h"
#include "serial/PortAssignments.h"
#include "serial/PortDevices.h"
#include "ui/Form1.h"
#include "ui/QtDesktop.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char *argv[])
{
    if (argc > 1) { // the usual start, from a launcher, has nothing to read here
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        if (const auto answer = answerCommandLine(arguments, executableDirectoryBeforeStart(argv[0]))) {
            std::fputs(answer->text.toLocal8Bit().constData(), stdout);
            return answer->exitCode;
        }
    }

    if (DisplayCheck::displayMissing(argc, argv))
        return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Desktop::kApplicationTitle));

    QtDesktop desktop;
    Form1 form(desktop, PortDevices::system(PortAssignments::defaultFile()));

    // A logout, kill or Ctrl+C ends the panel as closing its window does: the port is
    // closed and its locks given back; the settings file is left alone.
    EndingSignals endingSignals;
    QObject::connect(&endingSignals, &EndingSignals::ending, &form, [&form] {
        form.close();
        QApplication::exit(0); // also ends a message box the operator has not closed
    });

    form.loadAndShow();
    if (endingSignals.received()) // during start-up, while a message box waited
        return 0;

    // Served once the window has been painted, so the bus costs the window's first
    // appearance nothing; no call arrives before start-up is over.
    std::optional<ControlBus> bus;
    FirstPaint::whenPainted(&form, [&] {
        bus.emplace(form, desktop);
        if (!bus->serving())
            std::fprintf(stderr, "%s: %s\n", Desktop::kApplicationTitle, qPrintable(bus->whyNotServing()));
    });
    return QApplication::exec();
}
