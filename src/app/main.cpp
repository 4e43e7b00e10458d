#include "app/CommandLine.h"
#include "app/ControlBus.h"
#include "app/ScreenReaderCheck.h"
#include "app/DisplayCheck.h"
#include "client/EndingSignals.h"
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
    followScreenReader(form.model().hearing());

    // A logout, kill or Ctrl+C ends the panel as closing its window does: the port is
    // closed and its locks given back; the settings file is left alone.
    EndingSignals endingSignals;
    QObject::connect(&endingSignals, &EndingSignals::ending, &form, [&form] {
        form.close();
        QApplication::exit(0); // also ends a message box the operator has not closed
    });

    // Served once the window has been painted, so the bus costs the window's first
    // appearance nothing; or, when start-up has a box for the operator, before the
    // box, so that a caller hears what it says rather than finding no panel.
    std::optional<ControlBus> bus;
    auto serve = [&] {
        if (bus)
            return;
        bus.emplace(form.model(), desktop);
        if (!bus->serving())
            std::fprintf(stderr, "%s: %s\n", Desktop::kApplicationTitle, qPrintable(bus->whyNotServing()));
    };
    const auto early = QObject::connect(&form.model().boxes(), &OperatorBoxes::tellingOperator, &form, serve);
    form.loadAndShow();
    QObject::disconnect(early);
    if (endingSignals.received()) // during start-up, while a message box waited
        return 0;
    FirstPaint::whenPainted(&form, serve);
    return QApplication::exec();
}
