// qx50-rigctld from a logger's "\send_voice_mem 1" to the first byte at the unit,
// with the panel in this process on a private session bus and a pseudo-terminal as
// the unit; the logger is a TCP connection of this process, held open across runs.
#include "Figures.h"
#include "SilentDesktop.h"
#include "app/ControlBus.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QSocketNotifier>
#include <QTcpSocket>
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
const QString kMeasure = QStringLiteral("qx50-rigctld send_voice_mem to byte (%1)").arg(kRuns);

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QProcess daemon;
    if (!startPrivateBus(daemon)) {
        report(kMeasure, QStringLiteral("(no dbus-daemon here)"), QString());
        return 0;
    }

    QString device;
    const int master = openUnit(&device);
    SilentDesktop desktop;
    Form1 form(desktop, PortDevices {[&](int) { return device; }});
    form.Comm1.setPortOpen(true);
    ControlBus bus(form.model(), desktop);

    QProcess front;
    front.start(QStringLiteral(QX50_RIGCTLD), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    QByteArray said;
    runUntil([&] { return (said += front.readAllStandardOutput()).contains('\n'); }, 5000);
    const auto port = static_cast<quint16>(said.mid(said.lastIndexOf(':') + 1).trimmed().toUInt());
    QTcpSocket logger;
    logger.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    logger.connectToHost(QHostAddress::LocalHost, port);
    if (!bus.serving() || port == 0 || !logger.waitForConnected(5000)) {
        report(kMeasure, QStringLiteral("FAILED to start"), QString::fromLocal8Bit(front.readAllStandardError()));
        return 1;
    }

    int bytes = 0;
    Clock::time_point arrived;
    QSocketNotifier readable(master, QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, [&] {
        char buffer[64];
        const auto n = ::read(master, buffer, sizeof buffer);
        if (n > 0 && bytes == 0)
            arrived = Clock::now();
        bytes += n > 0 ? static_cast<int>(n) : 0;
    });

    std::vector<double> toByte, toAnswer;
    for (int run = -3; run < kRuns; ++run) { // three to warm the caches
        bytes = 0;
        QByteArray answer;
        const auto start = Clock::now();
        logger.write("\\send_voice_mem 1\n");
        const bool done = runUntil([&] { return bytes >= 2 && (answer += logger.readAll()).endsWith('\n'); }, 5000);
        if (!done || answer != "RPRT 0\n") {
            report(kMeasure, QStringLiteral("FAILED"),
                   QString::fromLatin1(answer) + QString::fromLocal8Bit(front.readAllStandardError()));
            return 1;
        }
        if (run >= 0) {
            toByte.push_back(milliseconds(arrived - start));
            toAnswer.push_back(milliseconds(Clock::now() - start));
        }
    }
    report(kMeasure,
           medianAndP90(toByte, 2),
           QStringLiteral("target median < 10 ms"));
    report(QStringLiteral("qx50-rigctld send_voice_mem to RPRT 0"),
           QStringLiteral("median %1 ms").arg(percentile(toAnswer, 50), 0, 'f', 2), QStringLiteral("(no target)"));

    logger.close();
    front.terminate();
    front.waitForFinished(5000);
    ::close(master);
    daemon.terminate();
    daemon.waitForFinished(5000);
    return 0;
}
