// qx50-sim, the simulated unit, answering the serial component on its pseudo-terminal.
#include "serial/SerialComm.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_sim.moc"
