// The rigctld protocol as read and answered by qx50-rigctld, without sockets.
#include "HttpGuard.h"
#include "RigctlProtocol.h"
#include "UpstreamAnswer.h"

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
        QTest::addRow("a function, not a memory")
            << QByteArray("\\send_voice_mem T") << -1 << QByteArray("send_voice_mem") << QByteArray("RPRT 0\n");
        QTest::addRow("memory 0") << QByteArray("\\send_voice_mem 0") << 0 << QByteArray("send_voice_mem")
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
    // A browser's request is known by its request line or its Host or Origin header,
    // wherever the bytes break; a rigctld client's lines never look like either.
    void webRequestsAreToldFromCommands_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("web");
        QTest::addRow("POST") << QByteArray("POST / HTTP/1.1\r\n") << true;
        QTest::addRow("GET, long target") << QByteArray("GET /" + QByteArray(5000, 'a') + " HTTP/1.0\n") << true;
        QTest::addRow("Host, any case") << QByteArray("\\chk_vfo\nhOsT: x\n") << true;
        QTest::addRow("Origin, line still open") << QByteArray("Origin:") << true;
        QTest::addRow("commands") << QByteArray("\\send_voice_mem 1\nf\nF 14074000\n+\\dump_state\nq\n") << false;
        QTest::addRow("no version") << QByteArray("POST /\n") << false;
        QTest::addRow("lower-case method") << QByteArray("post / HTTP/1.1\n") << false;
        QTest::addRow("HTTP in an argument") << QByteArray("\\set_conf x HTTP/1.1\n") << false;
    }
    void webRequestsAreToldFromCommands()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, web);
        for (qsizetype split = 0; split <= bytes.size(); split += 1 + bytes.size() / 16) {
            HttpGuard guard;
            guard.feed(bytes.left(split));
            QCOMPARE(guard.feed(bytes.mid(split)), web);
        }
    }

    // Where an upstream rigctld's answer to each command ends, as Hamlib 4.5 answers.
    void upstreamAnswersEndWhereHamlibEndsThem_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        QTest::addRow("frequency") << QByteArray("f") << QByteArray("145000000\n");
        QTest::addRow("mode, two lines") << QByteArray("\\get_mode") << QByteArray("FM\n15000\n");
        QTest::addRow("a query refused") << QByteArray("t") << QByteArray("RPRT -11\n");
        QTest::addRow("a setting") << QByteArray("F 7074000") << QByteArray("RPRT 0\n");
        QTest::addRow("unknown, up to RPRT") << QByteArray("\\get_clock") << QByteArray("0000-00-00T00:00\nRPRT 0\n");
        QTest::addRow("dump_state") << QByteArray("\\dump_state") << QByteArray("1\n1\n0\nvfo_ops=0x0\ndone\n");
        QTest::addRow("rig info") << QByteArray("\\get_rig_info") << QByteArray("VFO=Main\nRig=Dummy\n\n");
        QTest::addRow("extended +") << QByteArray("+f") << QByteArray("get_freq:\nFrequency: 7074000\nRPRT 0\n");
        QTest::addRow("extended |") << QByteArray("|m") << QByteArray("get_mode:|Mode: FM|Passband: 15000|RPRT 0\n");
        QTest::addRow("extended chk_vfo") << QByteArray("+\\chk_vfo") << QByteArray("ChkVFO: 0\n");
    }
    void upstreamAnswersEndWhereHamlibEndsThem()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        const QByteArray next = "RPRT 0\n"; // the next answer's bytes in the same read
        for (qsizetype split = 0; split <= answer.size(); ++split) {
            UpstreamAnswer frame(*parseLine(line));
            const QByteArray stream = answer + next;
            qsizetype taken = frame.take(stream.left(split));
            QVERIFY(!frame.complete() || split == answer.size());
            taken += frame.take(stream, split);
            QVERIFY(frame.complete());
            QCOMPARE(taken, answer.size());
        }
    }
};

QTEST_MAIN(RigctlProtocolTest)
#include "tst_rigctlprotocol.moc"
