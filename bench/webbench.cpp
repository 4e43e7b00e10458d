// qx50-web from a tap in the browser to the byte at the unit, and qx50-web's resident
// memory: the panel in this process on a private session bus, a pseudo-terminal as
// the unit, Debian's headless Chromium driven through tests/web/driver.mjs.
#include "Figures.h"
#include "SilentDesktop.h"
#include "app/ControlBus.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <ctime>
#include <unistd.h>

namespace {

using namespace figures;
constexpr int kRuns = 50;
constexpr auto kMeasure = "tap in the browser to byte at the unit";

// The wall clock in milliseconds, the clock the page's event times are read on.
double wallMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Driver {
    QProcess node;
    QByteArray pending;
    QJsonObject ask(const QJsonObject &command)
    {
        if (!command.isEmpty())
            node.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
        runUntil(
            [&] {
                pending += node.readAllStandardOutput();
                return pending.contains('\n') || node.state() == QProcess::NotRunning;
            },
            30000);
        const qsizetype end = pending.indexOf('\n');
        const QJsonObject answer = QJsonDocument::fromJson(pending.left(end)).object();
        pending.remove(0, end + 1);
        return answer;
    }
};

// A line of /proc/PID/status in kB: VmRSS, or RssAnon (what is the program's own,
// without the shared libraries' pages).
qint64 statusKb(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

int fail(const QString &why)
{
    report(QString::fromLatin1(kMeasure), QStringLiteral("FAILED"), why);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QProcess daemon;
    if (!startPrivateBus(daemon)) {
        report(QString::fromLatin1(kMeasure), QStringLiteral("(no dbus-daemon here)"), QString());
        return 0;
    }
    QProcess packages; // puppeteer-core and axe-core, as the tests install them
    packages.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    packages.start(QStringLiteral("bash"),
                   {QStringLiteral(QX50_WEB_TESTS_SOURCE "/npm_ci.sh"), QStringLiteral(QX50_WEB_TESTS_SOURCE),
                    QStringLiteral(QX50_WEB_BENCH_DIR)});
    if (!packages.waitForFinished(300000) || packages.exitCode() != 0)
        return fail(QStringLiteral("npm ci failed"));

    QString device;
    const int master = openUnit(&device);
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices {[&](int) { return device; }});
    form.Comm1.setPortOpen(true);
    ControlBus bus(form.model(), desktop);
    if (!bus.serving())
        return fail(bus.whyNotServing());

    bool byteArrived = false;
    double arrived = 0;
    QSocketNotifier readable(master, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(master, buffer, sizeof buffer) > 0 && !byteArrived) {
            arrived = wallMs();
            byteArrived = true;
        }
    });

    QTemporaryDir config;
    QProcess web;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    web.setProcessEnvironment(environment);
    web.start(QStringLiteral(QX50_WEB), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    QByteArray said;
    runUntil(
        [&] {
            said += web.readAllStandardOutput();
            return said.contains('\n');
        },
        10000);
    const qsizetype at = said.indexOf("http://");
    const QString base = QString::fromLatin1(said.mid(at, said.indexOf(' ', at) - at));
    QFile tokenFile(config.path() + QStringLiteral("/orma-qx50-voice-mem/web-token"));
    if (at < 0 || !tokenFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("qx50-web did not start"));
    const QString token = QString::fromLatin1(tokenFile.readAll().trimmed());

    Driver driver;
    driver.node.setWorkingDirectory(QStringLiteral(QX50_WEB_BENCH_DIR));
    driver.node.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    driver.node.start(QStringLiteral("node"), {QStringLiteral("driver.mjs")});
    driver.ask({});
    const int page = driver.ask({{"do", "open"}, {"url", base + QStringLiteral("#t=") + token}}).value("page").toInt();
    driver.ask({{"do", "waitText"}, {"page", page}, {"selector", "#link"}, {"text", "connected"}});
    // The moment the page takes the tap (the finger lifted, the click delivered), on
    // the wall clock; the touch's own start is earlier by however long the driver
    // takes to send the lift, which is no part of the page.
    driver.ask({{"do", "eval"},
                {"page", page},
                {"js",
                 "document.addEventListener('click', () => { window.tapAt = performance.timeOrigin + "
                 "performance.now(); }, true); true"}});

    std::vector<double> toByte;
    for (int run = -3; run < kRuns; ++run) { // three to warm the caches
        byteArrived = false;
        driver.ask({{"do", "tap"}, {"page", page}, {"selector", run % 2 ? "[data-c=\"T\"]" : "[data-c=\"5\"]"}});
        if (!runUntil([&] { return byteArrived; }, 5000))
            return fail(QStringLiteral("no byte arrived"));
        const double tapAt
            = driver.ask({{"do", "eval"}, {"page", page}, {"js", "window.tapAt"}}).value("value").toDouble();
        if (run >= 0)
            toByte.push_back(arrived - tapAt);
    }
    const int desk = driver.ask({{"do", "open"}, {"url", base}, {"width", 1280}}).value("page").toInt();
    driver.ask({{"do", "waitText"}, {"page", desk}, {"selector", "#link"}, {"text", "connected"}});
    const qint64 rssKb = statusKb(web.processId(), "VmRSS");
    const qint64 anonKb = statusKb(web.processId(), "RssAnon");

    report(QStringLiteral("qx50-web: %1 (%2)").arg(QString::fromLatin1(kMeasure)).arg(kRuns),
           QStringLiteral("median %1 ms, p95 %2 ms")
               .arg(percentile(toByte, 50), 0, 'f', 2)
               .arg(percentile(toByte, 95), 0, 'f', 2),
           QStringLiteral("target median <= 5 ms"));
    report(QStringLiteral("qx50-web: resident memory, two pages open"),
           QStringLiteral("%1 MB").arg(static_cast<double>(rssKb) / 1024.0, 0, 'f', 1),
           QStringLiteral("target <= 20 MB"));
    report(QStringLiteral("qx50-web: of which its own (not libraries' pages)"),
           QStringLiteral("%1 MB").arg(static_cast<double>(anonKb) / 1024.0, 0, 'f', 1), QStringLiteral("(no target)"));

    driver.ask({{"do", "quit"}});
    driver.node.waitForFinished(10000);
    web.terminate();
    web.waitForFinished(5000);
    ::close(master);
    daemon.terminate();
    daemon.waitForFinished(5000);
    return 0;
}
