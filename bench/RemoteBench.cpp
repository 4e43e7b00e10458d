#include "RemoteBench.h"

#include "Figures.h"
#include "SilentDesktop.h"
#include "support/PtyUnit.h"
#include "support/Ser2net.h"
#include "ui/Form1.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using figures::Clock;
using figures::percentile;

void measureClickToByte(const Report &report)
{
    PtyUnit unit;
    Ser2net server(unit.devicePath());
    if (!server.listening()) {
        report(QStringLiteral("click to byte through ser2net"), QStringLiteral("(no ser2net here)"), QString());
        return;
    }
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices {[&](int port) { return port == 1 ? server.address() : QString(); }});
    form.Timer1.stop();
    form.Comm1.setPortOpen(true);
    std::vector<double> micros;
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        QTest::mouseClick(form.Command4, Qt::LeftButton);
        if (unit.received(1).isEmpty())
            break;
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    report(QStringLiteral("click to byte through ser2net, loopback (%1)").arg(micros.size()),
           QStringLiteral("median %1 us, p99 %2 us")
               .arg(percentile(micros, 50), 0, 'f', 1)
               .arg(percentile(micros, 99), 0, 'f', 1),
           QStringLiteral("target median < 1000 us"));
}

void measureSilentScan(const Report &report)
{
    QProcess silent;
    silent.start(QStringLiteral(QX50_SIM),
                 {QStringLiteral("--listen"), QStringLiteral("0"), QStringLiteral("--no-negotiation")});
    if (!silent.waitForReadyRead(5000))
        return;
    const QString address = QString::fromLatin1(silent.readLine().trimmed());
    QTemporaryDir cwd;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(cwd.path()); // no settings file: the scan alone
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices {[&](int) { return address; }});
    const auto start = Clock::now();
    form.Form_Load();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    QDir::setCurrent(previous);
    report(QStringLiteral("start-up scan, 4 network ports that never answer"),
           QStringLiteral("%1 s").arg(seconds, 0, 'f', 2), QStringLiteral("target <= 2.5 s"));
    silent.terminate();
    silent.waitForFinished(5000);
}

} // namespace

void measureRemote(const Report &report)
{
    measureClickToByte(report);
    measureSilentScan(report);
}
