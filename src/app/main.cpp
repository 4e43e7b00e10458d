#include "app/CommandLine.h"
#include "app/ControlBus.h"
#include "serial/PortAssignments.h"
#include "serial/PortDevices.h"
#include "ui/Form1.h"
#include "ui/QtDesktop.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto answer = answerCommandLine(arguments, executableDirectoryBeforeStart(argv[0]))) {
        std::fputs(answer->text.toLocal8Bit().constData(), stdout);
        return answer->exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Desktop::kApplicationTitle));

    QtDesktop desktop;
    Form1 form(desktop, PortDevices::system(PortAssignments::defaultFile()));
    form.loadAndShow();
    // Served only once start-up is over, so no call arrives before the window is ready.
    ControlBus bus(form, desktop);
    if (!bus.serving())
        std::fprintf(stderr, "%s: %s\n", Desktop::kApplicationTitle, qPrintable(bus.whyNotServing()));
    return QApplication::exec();
}
