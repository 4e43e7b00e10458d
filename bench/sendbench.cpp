// qx50-send from exec to the byte at the unit, with the panel in this process on a
// private session bus and a pseudo-terminal as the unit.
#include "Figures.h"
#include "SilentDesktop.h"
#include "app/ControlBus.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace figures;
constexpr int kRuns = 50;

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QProcess daemon; // the bus lives as long as this run, and no longer
    if (!startPrivateBus(daemon)) {
        report(QStringLiteral("qx50-send to byte at the unit"), QStringLiteral("(no dbus-daemon here)"), QString());
        return 0;
    }

    QString device;
    const int master = openUnit(&device);
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices {[&](int) { return device; }});
    form.Comm1.setPortOpen(true);

    const auto serveStart = Clock::now();
    ControlBus bus(form.model(), desktop);
    const double serveMs = milliseconds(Clock::now() - serveStart);
    if (!bus.serving()) {
        report(QStringLiteral("qx50-send to byte at the unit"), bus.whyNotServing(), QString());
        return 1;
    }

    bool byteArrived = false;
    Clock::time_point arrived;
    QSocketNotifier readable(master, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(master, buffer, sizeof buffer) > 0 && !byteArrived) {
            arrived = Clock::now();
            byteArrived = true;
        }
    });

    std::vector<double> toByte, toExit;
    for (int run = -3; run < kRuns; ++run) { // three to warm the caches
        QProcess sender;
        byteArrived = false;
        const auto start = Clock::now();
        sender.start(QStringLiteral(QX50_SEND), {QStringLiteral("T")});
        const bool sent = runUntil([&] { return byteArrived; }, 5000);
        runUntil([&] { return sender.state() == QProcess::NotRunning; }, 5000);
        if (!sent || sender.exitCode() != 0) {
            report(QStringLiteral("qx50-send to byte at the unit"), QStringLiteral("FAILED"),
                   QString::fromLocal8Bit(sender.readAllStandardError()));
            return 1;
        }
        if (run >= 0) {
            toByte.push_back(milliseconds(arrived - start));
            toExit.push_back(milliseconds(Clock::now() - start));
        }
    }

    report(QStringLiteral("the panel takes the bus name at start"), QStringLiteral("%1 ms").arg(serveMs, 0, 'f', 2),
           QStringLiteral("(no target)"));
    report(QStringLiteral("qx50-send T: exec to byte at the unit (%1)").arg(kRuns),
           medianAndP90(toByte, 1),
           QStringLiteral("target median < 20 ms"));
    report(QStringLiteral("qx50-send T: exec to its exit"),
           QStringLiteral("median %1 ms").arg(percentile(toExit, 50), 0, 'f', 1), QStringLiteral("(no target)"));

    ::close(master);
    daemon.terminate();
    daemon.waitForFinished(5000);
    return 0;
}
