// qx50-send's command line: what each form hands the panel, and what is refused.
#include "SendOptions.h"
#include "contract/CommandTable.h"

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
        QTest::addRow("play memory 9") << QStringList {"--play", "9"} << QStringList {"9", "T"} << -1 << 0;
        QTest::addRow("play a full-width digit") << QStringList {"--play", "\uFF13"} << QStringList() << -1 << 0;
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

    // The commands in a caller's words are read from the table and say what they always said.
    void commandsInWords()
    {
        QCOMPARE(CommandTable::commandsInWords(), QStringLiteral("M R P T S (either case) or a memory digit 0 to 9"));
        QCOMPARE(CommandTable::notACommand(QStringLiteral("x")),
                 QStringLiteral("\"x\" is not a command: M, R, P, T, S or a digit 0 to 9"));
    }

    // The messages calls go alone; --wait goes with --play alone.
    void messageForms_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("taken"); // what the options ask for; empty: refused
        QTest::addRow("list") << QStringList {"--messages"} << "list";
        QTest::addRow("describe") << QStringList {"--describe"} << "describe";
        QTest::addRow("describe and play") << QStringList {"--describe", "--play", "1"} << "";
        QTest::addRow("set") << QStringList {"--port", "2", "--set", "Contest"} << "set Contest";
        QTest::addRow("name") << QStringList {"--name", "5", "CQ contest"} << "name 5 CQ contest";
        QTest::addRow("play and wait") << QStringList {"--play", "5", "--wait"} << "wait 5";
        QTest::addRow("new set") << QStringList {"--new-set", "Contest"} << "new Contest";
        QTest::addRow("length") << QStringList {"--length", "3", "4.1"} << "length 3 4.1";
        QTest::addRow("length not known") << QStringList {"--length", "3", "0"} << "length 3 0";
        QTest::addRow("length not known, as listed") << QStringList {"--length", "3", "-"} << "length 3 0";
        QTest::addRow("length negative") << QStringList {"--length", "3", "-1"} << "";
        QTest::addRow("length exponent") << QStringList {"--length", "3", "1e2"} << "";
        QTest::addRow("length without seconds") << QStringList {"--length", "3"} << "";
        QTest::addRow("new set without name") << QStringList {"--new-set"} << "";
        QTest::addRow("new set and length") << QStringList {"--new-set", "A", "--length", "1", "2"} << "";
        QTest::addRow("name a letter") << QStringList {"--name", "T", "CQ"} << "";
        QTest::addRow("name without text") << QStringList {"--name", "5"} << "";
        QTest::addRow("set without name") << QStringList {"--set"} << "";
        QTest::addRow("list and set") << QStringList {"--messages", "--set", "A"} << "";
        QTest::addRow("list and play") << QStringList {"--messages", "--play", "1"} << "";
        QTest::addRow("wait without play") << QStringList {"--wait"} << "";
        QTest::addRow("wait and hold") << QStringList {"--play", "1", "--wait", "--hold", "2"} << "";
    }
    void messageForms()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, taken);
        const SendOptions::Parsed parsed = SendOptions::parse(args);
        QCOMPARE(parsed.options.has_value(), !taken.isEmpty());
        if (!parsed.options)
            return;
        const SendOptions &o = *parsed.options;
        const QString asked = o.listMessages ? QStringLiteral("list")
            : o.describeSet                  ? QStringLiteral("describe")
            : o.setName                      ? QStringLiteral("set ") + *o.setName
            : o.newSet                       ? QStringLiteral("new ") + *o.newSet
            : o.memoryLength ? QStringLiteral("length %1 %2").arg(o.memoryLength->first).arg(o.memoryLength->second)
            : o.nameMemory ? QStringLiteral("name %1 %2").arg(o.nameMemory->first).arg(o.nameMemory->second)
            : o.wait       ? QStringLiteral("wait %1").arg(*o.playMemory)
                           : QString();
        QCOMPARE(asked, taken);
    }
};

QTEST_MAIN(SendOptionsTest)
#include "tst_sendoptions.moc"
