// Measures the program against its targets and prints a table. Start-up, memory,
// idle and receive figures come from the probe program run as a separate process;
// click-to-byte is measured in this process.
#include "Figures.h"
#include "MapWatch.h"
#include "RemoteBench.h"
#include "SilentDesktop.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QFileInfo>
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
#include <map>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

using figures::Clock;
using figures::percentile;
using figures::report;

QString probePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qx50-probe");
}

// The master side of a pseudo-terminal: the unit's end of the line.
struct Pty {
    QString device;
    int master = figures::openUnit(&device);
    ~Pty() { ::close(master); }
    void drain() const
    {
        char buffer[4096];
        while (::read(master, buffer, sizeof buffer) > 0) {}
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

// The programs whose start-up is compared: the panel (and, with --before, the panel of
// another build), a Qt window with the same menus, buttons and label and nothing
// else, and an empty Qt window.
struct Contender {
    QString name;
    QString program;
    QStringList args;
    bool lookOnly = false; // the text window drawn as the panel is, not a target
};
// Runs per contender: 15, the figure the targets are set for; --runs N takes more
// when two builds differ by less than the spread of 15 runs on a busy machine.
int startUpRuns = 15;

QString yardstickPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qx50-yardstick");
}

// The build directory of a panel to compare with (--before DIR), or empty.
QString beforeBuild;

// One run of a contender: its figures (one per measure), NaN where it failed.
using Timing = std::function<std::vector<double>(const Contender &)>;

// Runs each contender in turn, startUpRuns times, after one run each to warm the
// file cache: per contender, the median of each figure (NaN when one run failed).
std::vector<std::vector<double>> medianStartUp(const std::vector<Contender> &contenders, const Timing &time)
{
    std::vector<std::vector<std::vector<double>>> runs(contenders.size());
    for (const Contender &contender : contenders)
        time(contender);
    for (int run = 0; run < startUpRuns; ++run)
        for (size_t i = 0; i < contenders.size(); ++i)
            runs[i].push_back(time(contenders[i]));
    std::vector<std::vector<double>> medians(contenders.size());
    for (size_t i = 0; i < contenders.size(); ++i) {
        for (size_t k = 0; k < runs[i].front().size(); ++k) {
            std::vector<double> values;
            for (const auto &figures : runs[i])
                values.push_back(figures[k]);
            const bool failed = std::any_of(values.begin(), values.end(), [](double v) { return std::isnan(v); });
            medians[i].push_back(failed ? std::nan("") : percentile(values, 50));
        }
    }
    return medians;
}

// The contenders: panels (and the window drawn as the panel) first, then the text
// window and the empty one, last.
void reportStartUp(const QString &measure, const std::vector<Contender> &contenders,
                   const std::vector<std::vector<double>> &medians, size_t k, double target)
{
    const size_t text = contenders.size() - 2;
    const size_t empty = contenders.size() - 1;
    for (size_t i = 0; i < text; ++i) {
        if (contenders[i].lookOnly)
            continue;
        const double panel = medians[i][k];
        const QString name = contenders[i].name.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(contenders[i].name);
        if (std::isnan(panel) || std::isnan(medians[text][k]) || std::isnan(medians[empty][k])) {
            report(measure + name, QStringLiteral("(a window did not appear)"), QString());
            continue;
        }
        report(measure + name,
               QStringLiteral("%1 ms (text window %2 ms, empty %3 ms)")
                   .arg(panel, 0, 'f', 1)
                   .arg(medians[text][k], 0, 'f', 1)
                   .arg(medians[empty][k], 0, 'f', 1),
               QStringLiteral("%1x the text window, target <= %2 (%3x the empty one)")
                   .arg(panel / medians[text][k], 0, 'f', 2)
                   .arg(target, 0, 'f', 2)
                   .arg(panel / medians[empty][k], 0, 'f', 2));
    }
}

// What the panel's look costs by itself: the text window with the panel's frames and
// bold status beside the plain one, and the panel (the first contender) beside it.
void reportLookCost(const std::vector<Contender> &contenders, const std::vector<std::vector<double>> &medians, size_t k)
{
    const size_t text = contenders.size() - 2;
    for (size_t i = 0; i < text; ++i) {
        if (!contenders[i].lookOnly || std::isnan(medians[i][k]) || std::isnan(medians[text][k]))
            continue;
        report(QStringLiteral("  the text window with frames and bold status"),
               QStringLiteral("%1 ms").arg(medians[i][k], 0, 'f', 1),
               QStringLiteral("%1x the text window; the panel is %2x it")
                   .arg(medians[i][k] / medians[text][k], 0, 'f', 2)
                   .arg(medians[0][k] / medians[i][k], 0, 'f', 2));
    }
}

// The shared objects a process has mapped, by file name.
QStringList mappedLibraries(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList libraries;
    if (maps.open(QIODevice::ReadOnly))
        for (const QByteArray &line : maps.readAll().split('\n'))
            if (const qsizetype slash = line.indexOf('/'); slash > 0 && line.contains(".so"))
                libraries << QFileInfo(QString::fromLocal8Bit(line.mid(slash))).fileName();
    libraries.removeDuplicates();
    libraries.sort();
    return libraries;
}

std::map<QString, QStringList> librariesAtStart; // by contender, seen once each

void noteLibraries(const Contender &contender, qint64 pid)
{
    if (!librariesAtStart.count(contender.name + contender.program))
        librariesAtStart[contender.name + contender.program] = mappedLibraries(pid);
}

// Offscreen nothing is mapped: each program says when its window is first exposed.
std::vector<double> timeToExpose(const Contender &contender, const QProcessEnvironment &environment)
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
    return {exposed ? std::chrono::duration<double, std::milli>(end - start).count() : std::nan("")};
}

// No port of COM1 to COM4 present, or the machine's own (where /dev/ttyS0 exists).
QProcessEnvironment withoutPorts(QProcessEnvironment environment)
{
    for (int port = 1; port <= 4; ++port)
        environment.insert(QStringLiteral("QX50_COM%1").arg(port),
                           QStringLiteral("/nonexistent/qx50-bench-%1").arg(port));
    return environment;
}

QProcessEnvironment withSystemPorts(QProcessEnvironment environment)
{
    for (int port = 1; port <= 4; ++port)
        environment.remove(QStringLiteral("QX50_COM%1").arg(port));
    return environment;
}

std::vector<Contender> startUpContenders(const QString &panelProgram, const QString &beforeProgram,
                                         const QStringList &panelArgs, const QStringList &textArgs,
                                         const QStringList &emptyArgs, const QString &emptyProgram)
{
    std::vector<Contender> contenders {
        {beforeBuild.isEmpty() ? QString() : QStringLiteral("after"), panelProgram, panelArgs}};
    if (!beforeBuild.isEmpty())
        contenders.push_back({QStringLiteral("before"), beforeProgram, panelArgs});
    contenders.push_back({QString(), yardstickPath(), textArgs});
    contenders.push_back({QString(), emptyProgram, emptyArgs});
    return contenders;
}

void measureStartUpOffscreen(const QProcessEnvironment &offscreen)
{
    const QStringList expose {QStringLiteral("expose")};
    const auto contenders = startUpContenders(probePath(), beforeBuild + QStringLiteral("/bench/qx50-probe"), expose,
                                              expose, {QStringLiteral("expose"), QStringLiteral("bare")}, probePath());
    const QProcessEnvironment none = withoutPorts(offscreen);
    reportStartUp(QStringLiteral("start-up to window, offscreen (median of %1)").arg(startUpRuns), contenders,
                  medianStartUp(contenders, [&](const Contender &c) { return timeToExpose(c, none); }), 0, 1.05);
    if (QFileInfo::exists(QStringLiteral("/dev/ttyS0"))) {
        const QProcessEnvironment system = withSystemPorts(offscreen);
        reportStartUp(QStringLiteral("the same with /dev/ttyS0 present"), contenders,
                      medianStartUp(contenders, [&](const Contender &c) { return timeToExpose(c, system); }), 0, 1.10);
    }
}

// On an X server the window is timed from outside: from exec to the server mapping it,
// and to the first drawing in it. The panel is the program itself, started where no
// settings file lies.
std::vector<double> timeToMap(MapWatch &watch, const Contender &contender, const QProcessEnvironment &environment,
                              const QString &directory)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(directory);
    process.setStandardOutputFile(QProcess::nullDevice());
    watch.forget();
    const auto start = Clock::now();
    process.start(contender.program, contender.args);
    const MapWatch::Appearance seen = watch.waitForWindow(std::chrono::seconds(10));
    if (seen.mapped)
        noteLibraries(contender, process.processId());
    process.kill();
    process.waitForFinished(5000);
    auto since = [&](const std::optional<Clock::time_point> &at) {
        return at ? std::chrono::duration<double, std::milli>(*at - start).count() : std::nan("");
    };
    return {since(seen.mapped), since(seen.painted)};
}

void measureStartUpMapped(const QString &xvfb)
{
    // The server picks a free display and tells its number.
    QProcess server;
    server.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (server.state() != QProcess::NotRunning && !server.canReadLine() && Clock::now() < deadline)
        server.waitForReadyRead(100);
    const QByteArray display = ':' + server.readLine().trimmed();
    const QString measure = QStringLiteral("start-up, exec to window mapped on Xvfb (median of %1)").arg(startUpRuns);
    MapWatch watch(display);
    if (display.size() < 2 || !watch.connected()) {
        report(measure, QStringLiteral("(Xvfb did not start)"), QString());
    } else {
        QProcessEnvironment x11 = withoutPorts(QProcessEnvironment::systemEnvironment());
        x11.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        x11.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        QTemporaryDir directory;
        auto contenders
            = startUpContenders(QStringLiteral(QX50_PROGRAM), beforeBuild + QStringLiteral("/orma-qx50-voice-mem"), {},
                                {}, {QStringLiteral("tick")}, probePath());
        contenders.insert(contenders.end() - 2,
                          {QStringLiteral("framed"), yardstickPath(), {QStringLiteral("framed")}, true});
        const auto medians
            = medianStartUp(contenders, [&](const Contender &c) { return timeToMap(watch, c, x11, directory.path()); });
        reportStartUp(measure, contenders, medians, 0, 1.05);
        reportLookCost(contenders, medians, 0);
        if (watch.seesPaint()) {
            reportStartUp(QStringLiteral("start-up, exec to first paint on Xvfb (median of %1)").arg(startUpRuns),
                          contenders, medians, 1, 1.05);
            reportLookCost(contenders, medians, 1);
        } else
            report(QStringLiteral("start-up, exec to first paint on Xvfb"), QStringLiteral("(no DAMAGE here)"),
                   QString());
        for (const Contender &contender : contenders) {
            if (contender.lookOnly)
                continue;
            const QStringList &libraries = librariesAtStart[contender.name + contender.program];
            std::printf("\n  libraries mapped at start by %s%s (%lld): %s\n",
                        qPrintable(QFileInfo(contender.program).fileName()),
                        qPrintable(contender.name.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(contender.name)),
                        static_cast<long long>(libraries.size()), qPrintable(libraries.join(QStringLiteral(" "))));
        }
        std::printf("\n");
    }
    server.terminate();
    server.waitForFinished(5000);
}

void measureClickToByte()
{
    Pty unit;
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices {[&unit](int port) { return port == 1 ? unit.device : QString(); }});
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
           QStringLiteral("median %1 us, p99 %2 us")
               .arg(percentile(micros, 50), 0, 'f', 1)
               .arg(percentile(micros, 99), 0, 'f', 1),
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
    report(QStringLiteral("resident memory after start"),
           QStringLiteral("%1 MB").arg(started.rssKb / 1024.0, 0, 'f', 1), QStringLiteral("target <= 30 MB"));

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
           QStringLiteral("%1 % (bare timer %2 %)")
               .arg(share(idleStart, idleEnd, 30), 0, 'f', 3)
               .arg(share(bareStart, bareEnd, 30), 0, 'f', 3),
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
    report(QStringLiteral("receiving at 115200 baud, 20 s: CPU"),
           QStringLiteral("%1 %").arg(share(paceStart, paced, 20), 0, 'f', 2), QStringLiteral("target <= 1 %"));

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
    report(QStringLiteral("flood: tick lateness p95"),
           QStringLiteral("%1 ms").arg(ticks.split(' ').value(3).toDouble() / 1000, 0, 'f', 2),
           QStringLiteral("target < 20 ms"));
    report(QStringLiteral("resident memory growth over the run"),
           QStringLiteral("%1 MB").arg((floodStop.rssKb - started.rssKb) / 1024.0, 0, 'f', 2),
           QStringLiteral("target <= 2 MB"));
    report(QStringLiteral("panel holds exactly the last 188 bytes sent"),
           text == sent ? QStringLiteral("yes") : QStringLiteral("NO"), QStringLiteral("target yes"));
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
    std::printf("orma-qx50-voice-mem benchmarks on %s, %d cores\n\n", qPrintable(cpuModel()),
                QThread::idealThreadCount());
    std::printf("  %-46s %-22s %s\n", "measure", "figure", "target");

    // --start-up: only the start-up figures; --before DIR: the panel of the build in
    // DIR (its program and bench/qx50-probe) is timed beside this one, in the same run;
    // --runs N: start-up medians of N runs.
    const QStringList args = QCoreApplication::arguments();
    const bool startUpOnly = args.contains(QStringLiteral("--start-up"));
    if (const qsizetype before = args.indexOf(QStringLiteral("--before")); before > 0)
        beforeBuild = args.value(before + 1);
    if (const qsizetype runs = args.indexOf(QStringLiteral("--runs")); runs > 0)
        startUpRuns = std::clamp(args.value(runs + 1).toInt(), 1, 1000);

    QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    measureStartUpOffscreen(offscreen);

    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (!xvfb.isEmpty())
        measureStartUpMapped(xvfb);
    else
        report(QStringLiteral("start-up, exec to window mapped on Xvfb"), QStringLiteral("(no Xvfb here)"), QString());
    if (startUpOnly)
        return 0;

    measureClickToByte();
    measureRemote(report);
    measureServing();
    return 0;
}
