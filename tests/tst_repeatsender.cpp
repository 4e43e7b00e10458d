// qx50-send --repeat's exit status tells whether every transmission went out: a
// repeat cut short by a lost line or a stop is no success, and says how many did.
#include "support/BusClient.h"
#include "support/BusPanel.h"
#include "panel/RepeatTransmit.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTest>

class RepeatSenderTest : public QObject {
    Q_OBJECT

private slots:
    void theExitSaysHowManyWentOut_data()
    {
        QTest::addColumn<QString>("times");
        QTest::addColumn<QString>("cut"); // what ends it after the first transmission
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::addRow("every one went out") << "1"
                                            << "" << 0 << "";
        QTest::addRow("line lost") << "3"
                                   << "line lost" << 4
                                   << "qx50-send: the repeat ended early: 1 of 3 transmissions went out\n";
        QTest::addRow("stopped") << "3"
                                 << "StopRepeat" << 4
                                 << "qx50-send: the repeat ended early: 1 of 3 transmissions went out\n";
    }
    void theExitSaysHowManyWentOut()
    {
        QFETCH(QString, times);
        QFETCH(QString, cut);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        BusPanel p;
        p.f.openPort(2);
        QProcess sender;
        auto reap = qScopeGuard([&] {
            sender.kill();
            sender.waitForFinished(5000);
        });
        sender.start(QStringLiteral(QX50_SEND),
                     {QStringLiteral("--repeat"), QStringLiteral("3"), QStringLiteral("--every"), QStringLiteral("2"),
                      QStringLiteral("--times"), times});
        QCOMPARE(p.unit.arriving(2, 10000), QByteArray("3T"));
        if (cut == QLatin1String("line lost"))
            p.unit.hangUp();
        else if (cut == QLatin1String("StopRepeat"))
            QCOMPARE(busclient::call(busclient::kInterface, QStringLiteral("StopRepeat")).type(),
                     QDBusMessage::ReplyMessage);
        QTRY_VERIFY_WITH_TIMEOUT(sender.state() == QProcess::NotRunning, 15000);
        QCOMPARE(sender.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromLocal8Bit(sender.readAllStandardError()), said);
        QCOMPARE(sender.exitCode(), exitCode);
    }
};

QTEST_MAIN(RepeatSenderTest)
#include "tst_repeatsender.moc"
