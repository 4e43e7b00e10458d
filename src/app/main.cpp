#include "app/ControlBus.h"
#include "serial/PortAssignments.h"
#include "serial/PortDevices.h"
#include "ui/Form1.h"
#include "ui/QtDesktop.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
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
