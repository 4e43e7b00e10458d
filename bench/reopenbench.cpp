// A lost port coming back: from the device's link appearing again to the port open,
// and how often the waiting panel wakes while nothing happens. The panel model runs
// in this process with no window (its line's receive tick its only timer), on a
// pseudo-terminal behind a symbolic link, as /dev/serial/by-id names an adapter.
#include "Figures.h"
#include "panel/PanelModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <unistd.h>

using namespace figures;

namespace {

// A desktop with nobody in front of it: no box is expected while waiting.
class NoDesktop final : public Desktop {
public:
    void messageBox(const QString &, int, const QString &, const QString &) override {}
    void beep() override {}
    bool handToViewer(const QString &, int) override { return false; }
    QSize screenSize() const override { return {}; }
    QString executableDirectory() const override { return {}; }
    QString executableBaseName() const override { return QStringLiteral("bench"); }
    void endProgram(int) override {}
};

long contextSwitches()
{
    QFile status(QStringLiteral("/proc/self/status"));
    long total = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    return total;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qx50.failure=false")); // each loss is expected here
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("usb-ORMA_QX50-if00-port0"));
    QString device;
    int master = openUnit(&device);
    QFile::link(device, link);
    NoDesktop desktop;
    PanelModel model(desktop, PortDevices {[&](int port) { return port == 1 ? link : QString(); }});
    model.settingsMemory().iniFile = folder.filePath(QStringLiteral("bench.ini"));
    model.portChoice().selectComPort(1);
    if (!model.line().portOpen()) {
        std::fprintf(stderr, "reopen bench: COM1 did not open\n");
        return 1;
    }

    std::printf("A lost port coming back (panel model on a pseudo-terminal behind a link)\n");
    auto lose = [&] {
        ::close(master);
        QFile::remove(link);
        return runUntil([&] { return model.line().state() == PanelModel::LineState::Waiting; }, 5000);
    };
    std::vector<double> back;
    for (int round = 0; round < 20; ++round) {
        if (!lose())
            break;
        master = openUnit(&device);
        const auto start = Clock::now();
        QFile::link(device, link);
        if (!runUntil([&] { return model.line().portOpen(); }, 5000))
            break;
        back.push_back(milliseconds(Clock::now() - start));
    }
    report(QStringLiteral("device back -> port open (median of %1)").arg(back.size()),
           QStringLiteral("%1 ms (p95 %2 ms)").arg(percentile(back, 50), 0, 'f', 2).arg(percentile(back, 95), 0, 'f', 2),
           QStringLiteral("target <= 300 ms"));

    // Waiting with nothing happening: only the file events could wake it.
    lose();
    const long before = contextSwitches();
    runUntil([] { return false; }, 10000);
    const long woken = contextSwitches() - before;
    report(QStringLiteral("idle 10 s, waiting for the device: wakeups"), QStringLiteral("%1 /s").arg(woken / 10.0, 0, 'f', 1),
           QStringLiteral("target: no more than the bare 100 ms timer (about 10 /s)"));
    ::close(master);
    return 0;
}
