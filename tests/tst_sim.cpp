// qx50-sim, the simulated unit, answering the serial component on its pseudo-terminal.
#include "serial/SerialComm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

struct Simulator {
    QProcess process;
    QString device;

    explicit Simulator(const QStringList &args)
    {
        process.start(QStringLiteral(QX50_SIM), args);
        if (process.waitForReadyRead(5000))
            device = QString::fromLocal8Bit(process.readLine().trimmed());
    }
    ~Simulator()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// Processor time the process has used, in clock ticks.
long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong(); // utime, stime
}

// Lets the time go by with events flowing.
void letPass(int ms)
{
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(clock.hasExpired(ms), ms + 5000);
}

QString readUntil(SerialComm &comm, const QString &ending)
{
    QString got;
    (void)QTest::qWaitFor([&] { return (got += comm.input()).endsWith(ending); }, 5000); // the caller compares
    return got;
}

} // namespace

class SimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void answersEachCommandWithALine()
    {
        Simulator sim({});
        QVERIFY(sim.device.startsWith(QStringLiteral("/dev/")));
        SerialComm comm([&](int) { return sim.device; });
        comm.setPortOpen(true);
        for (const char *c : {"3", "M", "R", "P", "T", "S", "x"})
            comm.setOutput(QString::fromLatin1(c));
        QCOMPARE(readUntil(comm, QStringLiteral("? 78\r\n")),
                 QStringLiteral("SLOT 3\r\nREC MIC 3\r\nREC RX 3\r\nPLAY 3\r\nTX 3\r\nSTOP\r\n? 78\r\n"));

        // The unit stays on the line when the panel closes and comes back.
        comm.setPortOpen(false);
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("P"));
        QCOMPARE(readUntil(comm, QStringLiteral("\r\n")), QStringLiteral("PLAY 3\r\n"));
    }

    void quietAnswersNothingAndChatterTalksUnasked()
    {
        Simulator quiet({QStringLiteral("--quiet"), QStringLiteral("--chatter"), QStringLiteral("50")});
        Simulator chatty({QStringLiteral("--chatter"), QStringLiteral("50")});
        SerialComm silent([&](int) { return quiet.device; });
        SerialComm talking([&](int) { return chatty.device; });
        silent.setPortOpen(true);
        talking.setPortOpen(true);
        silent.setOutput(QStringLiteral("P"));

        // By the time the chatty unit has said three lines, the quiet one had as long.
        QString said;
        QTRY_VERIFY_WITH_TIMEOUT((said += talking.input()).count(QStringLiteral("\r\n")) >= 3, 5000);
        QVERIFY(said.startsWith(QStringLiteral("STATUS IDLE SLOT 0\r\n")));
        QCOMPARE(silent.input(), QString());
    }

    void theLinkLastsAsLongAsTheSimulator()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("com1"));
        {
            Simulator sim({QStringLiteral("--link"), link});
            QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device);
            SerialComm comm([&](int) { return link; });
            comm.setPortOpen(true);
            comm.setOutput(QStringLiteral("7"));
            QCOMPARE(readUntil(comm, QStringLiteral("\r\n")), QStringLiteral("SLOT 7\r\n"));
        }
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }

    void explainsItselfAndRefusesNonsense()
    {
        QProcess help;
        help.start(QStringLiteral(QX50_SIM), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(5000));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.readAllStandardOutput().contains("not the unit's documented protocol"));

        QProcess bad;
        bad.start(QStringLiteral(QX50_SIM), {QStringLiteral("--chatter"), QStringLiteral("-1")});
        QVERIFY(bad.waitForFinished(5000));
        QCOMPARE(bad.exitCode(), 2);
    }

    void refusesUnsafeOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString rate = QStringLiteral("--chatter takes a rate above 0 and up to 1000");
        for (const char *hz : {"0", "-0.5", "nan", "inf", "1000.001", "5x", ""})
            QTest::addRow("chatter %s", hz) << QStringList {"--chatter", hz} << rate;
        for (const char *port : {"-1", "65536", "http"})
            QTest::addRow("listen %s", port) << QStringList {"--listen", port} << "--listen takes a port number";
        QTest::addRow("link and listen") << QStringList {"--listen", "0", "--link", "/tmp/x"}
                                         << "with --listen there is none";
        QTest::addRow("no negotiation alone") << QStringList {"--no-negotiation"} << "goes with --listen";
    }

    void refusesUnsafeOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QProcess sim;
        sim.start(QStringLiteral(QX50_SIM), args);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
        const QString said = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(said.contains(message), qPrintable(said));
    }

    // The slowest rate is one line in months: the simulator waits, it does not spin.
    void aTinyChatterRateIsAcceptedAndIdles()
    {
        Simulator sim({QStringLiteral("--chatter"), QStringLiteral("1e-7")});
        QVERIFY(!sim.device.isEmpty());
        const long before = cpuTicks(sim.process.processId());
        letPass(1000);
        const long used = cpuTicks(sim.process.processId()) - before;
        QVERIFY2(before >= 0 && used < 20, qPrintable(QString::number(used)));

        SerialComm comm([&](int) { return sim.device; });
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("4"));
        QCOMPARE(readUntil(comm, QStringLiteral("\r\n")), QStringLiteral("SLOT 4\r\n"));
    }

    void linkReplacesOnlyWhatItMade_data()
    {
        QTest::addColumn<QString>("existing"); // what is at the path beforehand
        QTest::addColumn<bool>("replaced");
        QTest::addRow("nothing") << "" << true;
        QTest::addRow("a link an earlier run left") << "link:/dev/pts/999" << true;
        QTest::addRow("a regular file") << "file" << false;
        QTest::addRow("a folder") << "folder" << false;
        QTest::addRow("a link to a file") << "link:target" << false;
    }

    void linkReplacesOnlyWhatItMade()
    {
        QFETCH(QString, existing);
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("com1"));
        const QString target = dir.filePath(QStringLiteral("target"));
        QFile(target).open(QIODevice::WriteOnly);
        if (existing == u"file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("the operator's notes");
        } else if (existing == u"folder") {
            QVERIFY(QDir().mkdir(path));
        } else if (existing.startsWith(u"link:")) {
            const QString to = existing.mid(5) == u"target" ? target : existing.mid(5);
            QVERIFY(QFile::link(to, path));
        }

        QProcess sim;
        sim.start(QStringLiteral(QX50_SIM), {QStringLiteral("--link"), path});
        if (replaced) {
            QVERIFY(sim.waitForReadyRead(5000));
            const QString device = QString::fromLocal8Bit(sim.readLine().trimmed());
            QCOMPARE(QFileInfo(path).symLinkTarget(), device);
            sim.terminate();
            QVERIFY(sim.waitForFinished(5000));
            QVERIFY(!QFileInfo(path).isSymLink());
            return;
        }
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(sim.exitCode() != 0);
        QVERIFY(sim.readAllStandardError().contains("is not a link this simulator made"));
        if (existing == u"file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("the operator's notes"));
        } else if (existing == u"folder") {
            QVERIFY(QFileInfo(path).isDir());
        } else {
            QCOMPARE(QFileInfo(path).symLinkTarget(), target);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 2);
    }

    // Held up by SIGSTOP for 150 periods, it goes on at its pace instead of making up
    // the missed lines in one burst.
    void chatterSkipsThePeriodsAPauseMissed()
    {
        Simulator sim({QStringLiteral("--chatter"), QStringLiteral("100")});
        SerialComm comm([&](int) { return sim.device; });
        comm.setPortOpen(true);
        QString said;
        QTRY_VERIFY_WITH_TIMEOUT((said += comm.input()).count(QStringLiteral("\r\n")) >= 2, 5000);

        const pid_t pid = static_cast<pid_t>(sim.process.processId());
        ::kill(pid, SIGSTOP);
        letPass(1500);
        said = comm.input(); // anything on its way before the stop
        ::kill(pid, SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT((said += comm.input()).contains(QStringLiteral("\r\n")), 5000);
        letPass(200);
        said += comm.input();
        // About 20 lines at its pace; a burst would be well over a hundred.
        QVERIFY2(said.count(QStringLiteral("\r\n")) < 80,
                 qPrintable(QString::number(said.count(QStringLiteral("\r\n")))));
    }
};

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_sim.moc"
