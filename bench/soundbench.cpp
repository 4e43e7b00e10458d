// The event sounds' cost: from a command to its sound starting on a private PulseAudio
// server's null sink, and whether Sounds on makes the command's byte any later (the
// two kinds of run interleaved in one process, so both meet the same machine).
#include "Figures.h"
#include "SilentDesktop.h"
#include "panel/PanelModel.h"
#include "support/PrivatePulse.h"
#include "ui/EventSounds.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

#include <poll.h>
#include <unistd.h>

namespace {

using namespace figures;
constexpr int kRuns = 20;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    PrivatePulse pulse;
    if (!pulse.running() || !runUntil([&] { return pulse.recordedMs() > 100; }, 10000)) {
        report(QStringLiteral("command to sound start"), QStringLiteral("(no PulseAudio here)"), QString());
        return 0;
    }

    QString device;
    const int master = openUnit(&device);
    QTemporaryDir folder;
    SilentDesktop desktop;
    PanelModel model(desktop, PortDevices {[&](int) { return device; }, folder.filePath(QStringLiteral("ports.conf"))});
    EventSounds sounds(model);
    model.line().setCommPort(1);
    model.line().setPortOpen(true);

    // The unit's end is read on a thread of its own, so a byte's arrival is timed when
    // the kernel hands it over, not when the panel's thread next looks.
    std::atomic<bool> byteArrived = false;
    std::atomic<Clock::rep> arrivedAt = 0;
    std::atomic<bool> ending = false;
    std::thread reader([&] {
        while (!ending) {
            pollfd readable {master, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0)
                continue;
            char buffer[64];
            if (::read(master, buffer, sizeof buffer) > 0 && !byteArrived) {
                arrivedAt = Clock::now().time_since_epoch().count();
                byteArrived = true;
            }
        }
    });

    std::vector<double> toSound, byteWithSounds, byteWithout;
    for (int run = -2; run < 2 * kRuns; ++run) { // two to load the sample into the server's cache
        const bool soundsOn = run < 0 || run % 2 == 0;
        model.hearing().setSounds(soundsOn);
        byteArrived = false;
        const qint64 before = pulse.recordedMs();
        const auto start = Clock::now();
        model.issueCommand('T');
        if (!runUntil([&] { return byteArrived.load(); }, 5000)) {
            report(QStringLiteral("command to byte at the unit"), QStringLiteral("FAILED"), QString());
            return 1;
        }
        if (soundsOn && !runUntil([&] { return pulse.firstSoundAfter(before) >= 0; }, 5000)) {
            report(QStringLiteral("command to sound start"), QStringLiteral("FAILED: no sound"), QString());
            return 1;
        }
        const auto heard = Clock::now();
        // The last sound ends before the next command, so each start is seen afresh.
        runUntil([&] { return pulse.recordedMs() > before + 300 && pulse.firstSoundAfter(pulse.recordedMs() - 300) < 0; },
                 10000);
        if (run < 0)
            continue;
        const Clock::time_point arrived {Clock::duration(arrivedAt.load())};
        (soundsOn ? byteWithSounds : byteWithout).push_back(milliseconds(arrived - start));
        if (soundsOn)
            toSound.push_back(milliseconds(heard - start));
    }

    // Heard as the recorder hands the sink's monitor over: an upper bound, which also
    // holds the recording's own latency (10 ms blocks).
    report(QStringLiteral("command to sound start, at the recorder (%1)").arg(kRuns),
           medianAndP90(toSound, 0),
           QStringLiteral("target median <= 100 ms"));
    report(QStringLiteral("command to byte, Sounds on / off (%1 each)").arg(kRuns),
           QStringLiteral("median %1 / %2 ms")
               .arg(percentile(byteWithSounds, 50), 0, 'f', 2)
               .arg(percentile(byteWithout, 50), 0, 'f', 2),
           QStringLiteral("target: on no later than off"));
    ending = true;
    reader.join();
    ::close(master);
    return 0;
}
