// The program's command line: --help and --version answer without a window or a
// display; every other argument leaves the window to start as before.
#include "app/CommandLine.h"

#include <QProcess>
#include <QTest>

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void whatEachArgumentDoes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answerStarts"); // empty: the window starts
        QTest::addRow("none") << QStringList {} << "";
        QTest::addRow("help") << QStringList {"--help"} << "Usage: orma-qx50-voice-mem";
        QTest::addRow("version") << QStringList {"--version"} << "orma-qx50-voice-mem 1.0.0\n";
        QTest::addRow("after another") << QStringList {"-style", "fusion", "--version"}
                                       << "orma-qx50-voice-mem 1.0.0\n";
        QTest::addRow("first one wins") << QStringList {"--version", "--help"} << "orma-qx50-voice-mem 1.0.0\n";
        QTest::addRow("unknown") << QStringList {"--bogus"} << "";
        QTest::addRow("short") << QStringList {"-h"} << "";
        QTest::addRow("help as a value") << QStringList {"--help=all"} << "";
        QTest::addRow("port number") << QStringList {"COM1"} << "";
    }
    void whatEachArgumentDoes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answerStarts);
        const auto answer = answerCommandLine(QStringList {"/opt/qx50/orma-qx50-voice-mem"} + arguments, "/opt/qx50");
        QCOMPARE(answer.has_value(), !answerStarts.isEmpty());
        if (answer) {
            QVERIFY2(answer->text.startsWith(answerStarts), qPrintable(answer->text));
            QCOMPARE(answer->exitCode, 0);
        }
    }

    void theUsageSaysWhereThingsAre()
    {
        const QString text = answerCommandLine({"x", "--help"}, "/opt/qx50")->text;
        for (const char *part :
             {"voice-memory unit of the ORMA QX50", "QX50_COM1", "XDG_CONFIG_HOME", "orma-qx50-voice-mem.ini",
              "ports.conf", "/opt/qx50/guide.htm", "man orma-qx50-voice-mem"})
            QVERIFY2(text.contains(QLatin1String(part)), part);
        for (const QString &line : text.split(QLatin1Char('\n')))
            QVERIFY2(line.size() <= 80, qPrintable(line));
    }

    // The real program, with a platform that cannot exist: a window would abort it.
    void theProgramAnswersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("first");
        QTest::addRow("help") << "--help"
                              << "Usage: orma-qx50-voice-mem [--help | --version]";
        QTest::addRow("version") << "--version"
                                 << "orma-qx50-voice-mem 1.0.0";
    }
    void theProgramAnswersWithoutADisplay()
    {
        QFETCH(QString, argument);
        QFETCH(QString, first);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
        environment.remove(QStringLiteral("DISPLAY"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QX50_EXECUTABLE), {argument});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        QCOMPARE(out.section(QLatin1Char('\n'), 0, 0), first);
        QCOMPARE(program.readAllStandardError(), QByteArray());
        if (argument == QLatin1String("--help"))
            QVERIFY2(
                out.contains(QFileInfo(QStringLiteral(QX50_EXECUTABLE)).absolutePath() + QStringLiteral("/guide.htm")),
                qPrintable(out));
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
