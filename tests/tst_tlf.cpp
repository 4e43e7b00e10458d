// TLF, the contest logger, plays the unit through the sample play_vk: F1 in SSB mode
// puts "1T" on the line, and TLF keeps the transmitter keyed until play_vk returns:
// at the message's known length (qx50-send --wait), or after its table's hold. TLF runs in a detached tmux session; a
// UDP socket on loopback takes the keyer commands (cwdaemon's) that TLF sends around a voice message.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "app/ControlBus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <csignal>

namespace {

constexpr int kBound = 20000;
constexpr int kF1TableHoldMs = 6000; // play_vk's seconds for F1 when no length is known

QByteArray tmux(const QString &server, const QStringList &args)
{
    QProcess run;
    run.start(QStringLiteral("tmux"), QStringList {"-L", server} + args);
    run.waitForFinished(kBound);
    return run.readAllStandardOutput();
}

// Whether some process is running qx50-send with this option (--hold or --wait).
bool holding(const QByteArray &option)
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({"[0-9]*"}, QDir::Dirs);
    for (const QString &pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray words = cmdline.readAll();
        if (words.startsWith(QByteArray(QX50_SEND) + '\0') && words.contains(option + '\0'))
            return true;
    }
    return false;
}

} // namespace

class TlfTest : public QObject {
    Q_OBJECT

private slots:
    void f1PlaysMemoryOneAndHoldsTheStation_data()
    {
        QTest::addColumn<int>("lengthMs"); // memory 1's known length, 0: none
        QTest::addRow("the table's hold") << 0;
        QTest::addRow("the message's length") << 2500;
    }
    void f1PlaysMemoryOneAndHoldsTheStation()
    {
        QFETCH(int, lengthMs);
        const QByteArray option = lengthMs > 0 ? "--wait" : "--hold";
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        ControlBus bus(f.form->model(), f.desktop);
        QVERIFY(bus.serving());
        f.openPort(1);
        QCOMPARE(f.form->model().messages().setLength(1, lengthMs), QString());

        QUdpSocket keyer; // stands in for cwdaemon
        QVERIFY(keyer.bind(QHostAddress::LocalHost, 0));
        QTemporaryDir contest;
        QFile config(contest.filePath(QStringLiteral("logcfg.dat")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("CALL=DL1ABC\nCONTEST=qso\n");
        QFile sample(QStringLiteral(QX50_EXAMPLES "/tlf/logcfg.dat"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        for (const QByteArray &line : sample.readAll().split('\n')) // the sample's lines, for this keyer port
            if (!line.startsWith('#') && !line.startsWith("NETKEYERPORT"))
                config.write(line + '\n');
        config.write("NETKEYERPORT=" + QByteArray::number(keyer.localPort()) + '\n');
        config.close();
        QFile(contest.filePath(QStringLiteral("cq.au"))).open(QIODevice::WriteOnly);
        QVERIFY(QFile::copy(QStringLiteral(QX50_EXAMPLES "/tlf/play_vk"), contest.filePath(QStringLiteral("play_vk"))));

        const QString server = QStringLiteral("qx50-tlf-%1").arg(QCoreApplication::applicationPid());
        tmux(server,
             {"new-session", "-d", "-s", "tlf", "-x", "100", "-y", "30", "-c", contest.path(),
              QStringLiteral("env TERM=xterm QX50_SEND=%1 tlf -n").arg(QStringLiteral(QX50_SEND))});
        const qint64 tmuxPid = tmux(server, {"display-message", "-p", "-t", "tlf", "#{pid}"}).trimmed().toLongLong();
        auto stop = qScopeGuard([&] {
            if (tmuxPid > 0)
                ::kill(static_cast<pid_t>(tmuxPid), SIGTERM);
        });
        QVERIFY(tmuxPid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(tmux(server, {"capture-pane", "-p", "-t", "tlf"}).contains("Phone message"), kBound);
        tmux(server, {"send-keys", "-t", "tlf", "Enter"});
        QTRY_VERIFY_WITH_TIMEOUT(tmux(server, {"capture-pane", "-p", "-t", "tlf"}).contains("SSB"), kBound);

        // Timed from before the key, so the hold, which begins after it, cannot have
        // run out before the clock says so: a bound that holds however slow the run.
        QElapsedTimer sinceF1;
        sinceF1.start();
        tmux(server, {"send-keys", "-t", "tlf", "F1"});
        QCOMPARE(unit.arriving(2, kBound), QByteArray("1T"));

        // The keyer hears PTT on, then PTT off no sooner than play_vk's hold is over:
        // the message's length, or the table's seconds for F1.
        QByteArray keyed;
        qint64 offAt = -1;
        auto readKeyer = [&] {
            while (keyer.hasPendingDatagrams()) {
                const QByteArray datagram = keyer.receiveDatagram().data();
                if (datagram
                    == "\x1b"
                       "a0")
                    offAt = sinceF1.elapsed();
                keyed += datagram + ' ';
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT((readKeyer(),
                                  keyed.contains("\x1b"
                                                 "a0")),
                                 kBound);
        const qsizetype on = keyed.indexOf("\x1b"
                                           "a1");
        QVERIFY2(on >= 0
                     && on < keyed.indexOf("\x1b"
                                           "a0"),
                 keyed.constData());
        const qint64 holdMs = lengthMs > 0 ? lengthMs : kF1TableHoldMs;
        QVERIFY2(offAt >= holdMs, qPrintable(QString::number(offAt)));
        QTRY_VERIFY_WITH_TIMEOUT(!holding(option), kBound); // and play_vk's qx50-send has ended
        QCOMPARE(unit.received(), QByteArray()); // the hold ran out: no stop was sent
        QCOMPARE(f.desktop.events, QStringList());
    }
};

QTEST_MAIN(TlfTest)
#include "tst_tlf.moc"
