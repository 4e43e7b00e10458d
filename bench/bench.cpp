// Measures the program against its targets and prints a table. Start-up, memory,
// idle and receive figures come from the probe program run as a separate process;
// click-to-byte is measured in this process.
#include "MapWatch.h"
#include "RemoteBench.h"
#include "SilentDesktop.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Row {
    QString measure;
    QString figure;
    QString target;
};
std::vector<Row> rows;

void report(const QString &measure, const QString &figure, const QString &target)
{
    rows.push_back({measure, figure, target});
    std::printf("  %-46s %-22s %s\n", qPrintable(measure), qPrintable(figure), qPrintable(target));
    std::fflush(stdout);
}

template <typename T>
T percentile(std::vector<T> values, int p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? T() : values[std::min(values.size() - 1, values.size() * static_cast<size_t>(p) / 100)];
}

QString probePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qx50-probe");
}

// The master side of a pseudo-terminal: the unit's end of the line.
struct Pty {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    QString device;
    Pty()
    {
        ::grantpt(master);
        ::unlockpt(master);
        device = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty() { ::close(master); }
    void drain() const
    {
        char buffer[4096];
        while (::read(master, buffer, sizeof buffer) > 0) {
        }
    }
};

struct ProcessFigures {
    double cpuSeconds = 0;
    long rssKb = 0;
    long contextSwitches = 0;
};

ProcessFigures figuresOf(qint64 pid)
{
    ProcessFigures figures;
    // Nanoseconds on a processor, summed over the process's threads.
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            figures.cpuSeconds += schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (line.startsWith("VmRSS:"))
                figures.rssKb = parts.value(1).toLong();
            else if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                figures.contextSwitches += parts.value(1).toLong();
        }
    }
    return figures;
}

// The programs whose start-up is compared: the panel, a Qt window with the same menus,
// buttons and label and nothing else, and an empty Qt window.
struct Contender {
    QString program;
    QStringList args;
};
struct StartUpFigures {
    double panel;
    double text;
    double empty;
};
constexpr int kStartUpRuns = 15;

QString yardstickPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qx50-yardstick");
}

// Runs each contender in turn, kStartUpRuns times, after one run each to warm the
// file cache; the medians, or NaN for a contender that once failed to show its window.
StartUpFigures medianStartUp(const Contender &panel, const std::function<double(const Contender &)> &time)
{
    const Contender text {yardstickPath(), {QStringLiteral("expose")}};
    const Contender empty {probePath(), {QStringLiteral("expose"), QStringLiteral("bare")}};
    const Contender *contenders[] = {&panel, &text, &empty};
    std::vector<double> figures[3];
    for (const Contender *contender : contenders)
        time(*contender);
    for (int run = 0; run < kStartUpRuns; ++run)
        for (int i = 0; i < 3; ++i)
            figures[i].push_back(time(*contenders[i]));
    auto median = [](const std::vector<double> &values) {
        return std::any_of(values.begin(), values.end(), [](double v) { return std::isnan(v); }) ? std::nan("")
                                                                                                 : percentile(values, 50);
    };
    return {median(figures[0]), median(figures[1]), median(figures[2])};
}

void reportStartUp(const QString &measure, const StartUpFigures &f)
{
    if (std::isnan(f.panel) || std::isnan(f.text) || std::isnan(f.empty)) {
        report(measure, QStringLiteral("(a window did not appear)"), QString());
        return;
    }
    report(measure,
           QStringLiteral("%1 ms (text window %2 ms, empty %3 ms)").arg(f.panel, 0, 'f', 1).arg(f.text, 0, 'f', 1).arg(f.empty, 0, 'f', 1),
           QStringLiteral("%1x the text window, target <= 1.1 (%2x the empty one)")
               .arg(f.panel / f.text, 0, 'f', 2)
               .arg(f.panel / f.empty, 0, 'f', 2));
}

// Offscreen nothing is mapped: each program says when its window is first exposed.
double timeToExpose(const Contender &contender, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    const auto start = Clock::now();
    process.start(contender.program, contender.args);
    while (process.state() != QProcess::NotRunning && !process.canReadLine())
        process.waitForReadyRead(10000);
    const auto end = Clock::now();
    const bool exposed = process.canReadLine();
    process.kill();
    process.waitForFinished(5000);
    return exposed ? std::chrono::duration<double, std::milli>(end - start).count() : std::nan("");
}

void measureStartUpOffscreen(const QProcessEnvironment &offscreen)
{
    const Contender panel {probePath(), {QStringLiteral("expose")}};
    reportStartUp(QStringLiteral("start-up to window, offscreen (median of %1)").arg(kStartUpRuns),
                  medianStartUp(panel, [&](const Contender &c) { return timeToExpose(c, offscreen); }));
}

// On an X server the window is timed from outside: from exec to the server mapping it.
// The panel is the installed program itself, started where no settings file lies.
double timeToMap(MapWatch &watch, const Contender &contender, const QProcessEnvironment &environment, const QString &directory)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(directory);
    process.setStandardOutputFile(QProcess::nullDevice());
    watch.forget();
    const auto start = Clock::now();
    process.start(contender.program, contender.args);
    const bool mapped = watch.waitForMap(std::chrono::seconds(10));
    const auto end = Clock::now();
    process.kill();
    process.waitForFinished(5000);
    return mapped ? std::chrono::duration<double, std::milli>(end - start).count() : std::nan("");
}

void measureStartUpMapped(const QString &xvfb)
{
    // The server picks a free display and tells its number.
    QProcess server;
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (server.state() != QProcess::NotRunning && !server.canReadLine() && Clock::now() < deadline)
        server.waitForReadyRead(100);
    const QByteArray display = ':' + server.readLine().trimmed();
    const QString measure = QStringLiteral("start-up, exec to window mapped on Xvfb (median of %1)").arg(kStartUpRuns);
    MapWatch watch(display);
    if (display.size() < 2 || !watch.connected()) {
        report(measure, QStringLiteral("(Xvfb did not start)"), QString());
    } else {
        QProcessEnvironment x11 = QProcessEnvironment::systemEnvironment();
        x11.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        x11.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        QTemporaryDir directory;
        const Contender panel {QStringLiteral(QX50_PROGRAM), {}};
        reportStartUp(measure, medianStartUp(panel, [&](const Contender &c) { return timeToMap(watch, c, x11, directory.path()); }));
    }
    server.terminate();
    server.waitForFinished(5000);
}

void measureClickToByte()
{
    Pty unit;
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices{[&unit](int port) { return port == 1 ? unit.device : QString(); }});
    form.Timer1.stop();
    form.Comm1.setPortOpen(true);
    std::vector<double> micros;
    micros.reserve(10000);
    for (int i = 0; i < 10000; ++i) {
        char byte = 0;
        const auto start = Clock::now();
        QTest::mouseClick(form.Command4, Qt::LeftButton);
        pollfd pfd {unit.master, POLLIN, 0};
        while (::read(unit.master, &byte, 1) != 1)
            ::poll(&pfd, 1, 1000);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    report(QStringLiteral("click on Transmit to byte at the unit (10,000)"),
           QStringLiteral("median %1 us, p99 %2 us").arg(percentile(micros, 50), 0, 'f', 1).arg(percentile(micros, 99), 0, 'f', 1),
           QStringLiteral("targets 50 us, 500 us"));
}

// Runs the probe on a pseudo-terminal and measures it while nothing arrives, then at
// 115200 baud, then under a flood.
void measureServing()
{
    Pty unit;
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    probe.setProcessEnvironment(environment);
    probe.start(probePath(), {QStringLiteral("serve"), unit.device});
    while (probe.state() != QProcess::NotRunning && !probe.canReadLine())
        probe.waitForReadyRead(10000);
    probe.readLine();
    const qint64 pid = probe.processId();
    QThread::msleep(500);
    unit.drain();

    const ProcessFigures started = figuresOf(pid);
    report(QStringLiteral("resident memory after start"), QStringLiteral("%1 MB").arg(started.rssKb / 1024.0, 0, 'f', 1),
           QStringLiteral("target <= 30 MB"));

    auto share = [](const ProcessFigures &a, const ProcessFigures &b, double seconds) {
        return 100.0 * (b.cpuSeconds - a.cpuSeconds) / seconds;
    };

    // Idle: the port open, nothing arriving; beside it, a bare Qt program with the same timer.
    QProcess bare;
    bare.setProcessEnvironment(environment);
    bare.start(probePath(), {QStringLiteral("tick")});
    while (bare.state() != QProcess::NotRunning && !bare.canReadLine())
        bare.waitForReadyRead(10000);
    const ProcessFigures idleStart = figuresOf(pid);
    const ProcessFigures bareStart = figuresOf(bare.processId());
    QThread::sleep(30);
    const ProcessFigures idleEnd = figuresOf(pid);
    const ProcessFigures bareEnd = figuresOf(bare.processId());
    bare.kill();
    bare.waitForFinished(5000);
    report(QStringLiteral("idle 30 s, port open: CPU"),
           QStringLiteral("%1 % (bare timer %2 %)").arg(share(idleStart, idleEnd, 30), 0, 'f', 3).arg(share(bareStart, bareEnd, 30), 0, 'f', 3),
           QStringLiteral("target <= 0.1 %"));
    report(QStringLiteral("idle 30 s, port open: wakeups"),
           QStringLiteral("%1 /s (bare timer %2 /s)")
               .arg((idleEnd.contextSwitches - idleStart.contextSwitches) / 30.0, 0, 'f', 1)
               .arg((bareEnd.contextSwitches - bareStart.contextSwitches) / 30.0, 0, 'f', 1),
           QStringLiteral("about 10 /s (the timer)"));

    // 115200 baud: 11,520 characters a second, in 10 ms slices.
    QByteArray sent;
    quint8 next = 0;
    auto chunk = [&](int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &c : bytes)
            c = static_cast<char>(next++);
        return bytes;
    };
    const ProcessFigures paceStart = figuresOf(pid);
    const auto paceEnd = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < paceEnd) {
        const QByteArray bytes = chunk(115);
        (void)!::write(unit.master, bytes.constData(), static_cast<size_t>(bytes.size()));
        sent = (sent + bytes).right(188);
        QThread::msleep(10);
    }
    const ProcessFigures paced = figuresOf(pid);
    report(QStringLiteral("receiving at 115200 baud, 20 s: CPU"), QStringLiteral("%1 %").arg(share(paceStart, paced, 20), 0, 'f', 2),
           QStringLiteral("target <= 1 %"));

    // Flood: as fast as the pseudo-terminal takes it.
    probe.write("r"); // the tick lateness counts from here
    const ProcessFigures floodStart = figuresOf(pid);
    qint64 flooded = 0;
    const auto floodEnd = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < floodEnd) {
        const QByteArray bytes = chunk(4096);
        const ssize_t n = ::write(unit.master, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (n > 0) {
            flooded += n;
            sent = (sent + bytes.left(n)).right(188);
            next = static_cast<quint8>(next - (bytes.size() - n));
        } else {
            next = static_cast<quint8>(next - bytes.size());
            pollfd pfd {unit.master, POLLOUT, 0};
            ::poll(&pfd, 1, 50);
        }
    }
    const ProcessFigures floodStop = figuresOf(pid);
    QThread::msleep(500); // the last tick takes in the last bytes
    probe.closeWriteChannel();
    probe.waitForFinished(10000);
    QByteArray ticks;
    QByteArray text;
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n')) {
        if (line.startsWith("ticks"))
            ticks = line;
        if (line.startsWith("text "))
            text = QByteArray::fromHex(line.mid(5));
    }
    report(QStringLiteral("flood, 10 s (%1 MB sent): CPU").arg(flooded / 1e6, 0, 'f', 1),
           QStringLiteral("%1 %").arg(share(floodStart, floodStop, 10), 0, 'f', 1), QStringLiteral("(no target)"));
    report(QStringLiteral("flood: tick lateness p95"), QStringLiteral("%1 ms").arg(ticks.split(' ').value(3).toDouble() / 1000, 0, 'f', 2),
           QStringLiteral("target < 20 ms"));
    report(QStringLiteral("resident memory growth over the run"),
           QStringLiteral("%1 MB").arg((floodStop.rssKb - started.rssKb) / 1024.0, 0, 'f', 2), QStringLiteral("target <= 2 MB"));
    report(QStringLiteral("panel holds exactly the last 188 bytes sent"), text == sent ? QStringLiteral("yes") : QStringLiteral("NO"),
           QStringLiteral("target yes"));
}

QString cpuModel()
{
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly))
        for (const QByteArray &line : info.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 2));
    return QStringLiteral("unknown processor");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("orma-qx50-voice-mem benchmarks on %s, %d cores\n\n", qPrintable(cpuModel()), QThread::idealThreadCount());
    std::printf("  %-46s %-22s %s\n", "measure", "figure", "target");

    QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    measureStartUpOffscreen(offscreen);

    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (!xvfb.isEmpty())
        measureStartUpMapped(xvfb);
    else
        report(QStringLiteral("start-up, exec to window mapped on Xvfb"), QStringLiteral("(no Xvfb here)"), QString());

    measureClickToByte();
    measureRemote(report);
    measureServing();
    return 0;
}
