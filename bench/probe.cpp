// The program as the benchmarks see it from outside: the real window, component and
// start-up, with a desktop that shows nothing.
//   qx50-probe expose [bare]   prints "exposed" when the window is first exposed,
//                              then exits; "bare" shows an empty window instead
//   qx50-probe tick            a bare Qt program: an empty window and a 100 ms timer,
//                              the yardstick for the idle figures
//   qx50-probe serve DEVICE    runs with COM1 on DEVICE and the panel shown; prints
//                              "ready" once exposed, and when its standard input
//                              closes prints the tick lateness and the panel's text;
//                              any byte on standard input restarts the lateness count
#include "serial/PortAssignments.h"
#include "serial/PortDevices.h"
#include "panel/Desktop.h"
#include "ui/Form1.h"
#include "ExposeReporter.h"
#include "SilentDesktop.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const QString mode = args.value(1);
    QTemporaryDir cwd; // no settings file: start-up opens nothing
    QDir::setCurrent(cwd.path());
    SilentDesktop desktop;

    if (mode == QLatin1String("expose")) {
        ExposeReporter reporter("exposed", true);
        app.installEventFilter(&reporter);
        if (args.value(2) == QLatin1String("bare")) {
            QWidget bare;
            bare.setFixedSize(268, 230);
            bare.show();
            return QApplication::exec();
        }
        Form1 form(desktop, PortDevices::system(PortAssignments::defaultFile()));
        form.loadAndShow();
        return QApplication::exec();
    }

    if (mode == QLatin1String("tick")) {
        QWidget bare;
        bare.setFixedSize(268, 230);
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [] {});
        timer.start(100);
        ExposeReporter reporter("ready", false);
        app.installEventFilter(&reporter);
        bare.show();
        return QApplication::exec();
    }

    if (mode != QLatin1String("serve") || args.size() < 3)
        return 2;
    const QString device = args.at(2);
    Form1 form(desktop, PortDevices {[device](int port) { return port == 1 ? device : QString(); }});
    form.loadAndShow();
    form.menuCom(1)->trigger();
    form.menuShowSerialComRxData->trigger();
    ExposeReporter reporter("ready", false);
    app.installEventFilter(&reporter);

    std::vector<qint64> lateness;
    lateness.reserve(4096);
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    QObject::connect(&form.Timer1, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            lateness.push_back(std::max<qint64>(0, now - last - 100'000'000));
        last = now;
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
            lateness.clear(); // a new phase of the measurement starts
            return;
        }
        std::sort(lateness.begin(), lateness.end());
        const qint64 p95 = lateness.empty() ? 0 : lateness[lateness.size() * 95 / 100];
        std::printf("ticks %zu p95_late_us %lld\ntext %s\n", lateness.size(), p95 / 1000,
                    form.TextBox->caption().toLatin1().toHex().constData());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
