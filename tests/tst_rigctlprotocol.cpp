// The rigctld protocol as read and answered by qx50-rigctld, without sockets.
#include "RigctlProtocol.h"

#include <QTest>

using namespace rigctl;

class RigctlProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void commandsAndTheirAnswers_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("memory"); // -1: none
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("okAnswer");
        QTest::addRow("long form") << QByteArray("\\send_voice_mem 2") << 2 << QByteArray("send_voice_mem")
                                   << QByteArray("RPRT 0\n");
        QTest::addRow("short form") << QByteArray("\x94 5") << 5 << QByteArray("send_voice_mem")
                                    << QByteArray("RPRT 0\n");
        QTest::addRow("CR LF client") << QByteArray("\\send_voice_mem 4\r") << 4 << QByteArray("send_voice_mem")
                                      << QByteArray("RPRT 0\n");
        QTest::addRow("extended +") << QByteArray("+\\send_voice_mem 3") << 3 << QByteArray("send_voice_mem")
                                    << QByteArray("send_voice_mem: 3\nRPRT 0\n");
        QTest::addRow("extended |") << QByteArray("|\\send_voice_mem 3") << 3 << QByteArray("send_voice_mem")
                                    << QByteArray("send_voice_mem: 3|RPRT 0\n");
        QTest::addRow("stop, extended") << QByteArray("+\\stop_voice_mem") << -1 << QByteArray("stop_voice_mem")
                                        << QByteArray("stop_voice_mem:\nRPRT 0\n");
        QTest::addRow("two digits") << QByteArray("\\send_voice_mem 10") << -1 << QByteArray("send_voice_mem")
                                    << QByteArray("RPRT 0\n");
        QTest::addRow("no memory") << QByteArray("\\send_voice_mem") << -1 << QByteArray("send_voice_mem")
                                   << QByteArray("RPRT 0\n");
        QTest::addRow("short quit") << QByteArray("q") << -1 << QByteArray("quit") << QByteArray("RPRT 0\n");
        QTest::addRow("short other") << QByteArray("F 14074000") << -1 << QByteArray("F") << QByteArray("RPRT 0\n");
    }
    void commandsAndTheirAnswers()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, memory);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, okAnswer);
        const auto command = parseLine(line);
        QVERIFY(command);
        QCOMPARE(command->name, name);
        QCOMPARE(voiceMemory(*command).value_or(-1), memory);
        QCOMPARE(report(*command, Ok), okAnswer);
    }

    void blankLinesAreNoCommand() { QVERIFY(!parseLine(" \r")); }

    void linesSplitWhereverTheBytesBreak()
    {
        LineReader reader;
        reader.feed("\\send_voi");
        QVERIFY(!reader.next());
        reader.feed("ce_mem 1\nf\n\\stop");
        QCOMPARE(reader.next()->raw, QByteArray("\\send_voice_mem 1\n"));
        QCOMPARE(reader.next()->text, QByteArray("f"));
        QVERIFY(!reader.next());
    }

    // A line with no end in sight is refused once and its tail never read as a command.
    void anOverlongLineIsRefusedOnce()
    {
        LineReader reader;
        reader.feed(QByteArray(LineReader::kMaxLine + 1, 'x'));
        QVERIFY(reader.next()->overlong);
        reader.feed(QByteArray(3 * LineReader::kMaxLine, 'y'));
        QVERIFY(!reader.next());
        reader.feed("yyy\\send_voice_mem 1\nf\n");
        QCOMPARE(reader.next()->text, QByteArray("f"));
    }
};

QTEST_MAIN(RigctlProtocolTest)
#include "tst_rigctlprotocol.moc"
