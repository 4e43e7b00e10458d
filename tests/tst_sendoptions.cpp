// qx50-send's command line: what each form hands the panel, and what is refused.
#include "SendOptions.h"

#include <QTest>

class SendOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void forms_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("commands"); // empty: refused
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("port");
        QTest::addRow("a command as typed") << QStringList {"t"} << QStringList {"t"} << -1 << 0;
        QTest::addRow("play") << QStringList {"--play", "3"} << QStringList {"3", "T"} << -1 << 0;
        QTest::addRow("play, hold, port")
            << QStringList {"--port", "2", "--play", "0", "--hold", "2.5"} << QStringList {"0", "T"} << 2500 << 2;
        QTest::addRow("longest hold") << QStringList {"--play", "1", "--hold", "600"} << QStringList {"1", "T"}
                                      << 600000 << 0;
        QTest::addRow("hold past 600") << QStringList {"--play", "1", "--hold", "600.001"} << QStringList() << -1 << 0;
        QTest::addRow("hold exponent") << QStringList {"--play", "1", "--hold", "1e2"} << QStringList() << -1 << 0;
        QTest::addRow("hold negative") << QStringList {"--play", "1", "--hold", "-1"} << QStringList() << -1 << 0;
        QTest::addRow("hold nan") << QStringList {"--play", "1", "--hold", "nan"} << QStringList() << -1 << 0;
        QTest::addRow("hold missing") << QStringList {"--play", "1", "--hold"} << QStringList() << -1 << 0;
        QTest::addRow("play a letter") << QStringList {"--play", "T"} << QStringList() << -1 << 0;
        QTest::addRow("play and command") << QStringList {"--play", "1", "T"} << QStringList() << -1 << 0;
        QTest::addRow("two commands") << QStringList {"T", "S"} << QStringList() << -1 << 0;
        QTest::addRow("not a command") << QStringList {"x"} << QStringList() << -1 << 0;
        QTest::addRow("two characters") << QStringList {"TT"} << QStringList() << -1 << 0;
        QTest::addRow("nothing") << QStringList() << QStringList() << -1 << 0;
        QTest::addRow("port 0") << QStringList {"--port", "0", "T"} << QStringList() << -1 << 0;
        QTest::addRow("unknown option") << QStringList {"--loud", "T"} << QStringList() << -1 << 0;
    }
    void forms()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, commands);
        QFETCH(int, holdMs);
        QFETCH(int, port);
        const SendOptions::Parsed parsed = SendOptions::parse(args);
        QCOMPARE(parsed.options.has_value(), !commands.isEmpty());
        QCOMPARE(parsed.error.isEmpty(), !commands.isEmpty());
        if (!parsed.options)
            return;
        QCOMPARE(parsed.options->commands, commands);
        QCOMPARE(parsed.options->hold ? int(parsed.options->hold->count()) : -1, holdMs);
        QCOMPARE(parsed.options->port, port);
    }
};

QTEST_MAIN(SendOptionsTest)
#include "tst_sendoptions.moc"
