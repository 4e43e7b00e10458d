// The program's command line: --help and --version answer without a window or a
// display; every other argument leaves the window to start as before. Without a
// display the window does not start, and the program says why.
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"

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

    void whenThereIsNoDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment"); // NAME=value
        QTest::addColumn<bool>("refused");
        QTest::addRow("nothing set") << QStringList {} << QStringList {} << true;
        QTest::addRow("an X display") << QStringList {} << QStringList {"DISPLAY=:0"} << false;
        QTest::addRow("a Wayland display") << QStringList {} << QStringList {"WAYLAND_DISPLAY=wayland-0"} << false;
        QTest::addRow("X chosen") << QStringList {} << QStringList {"QT_QPA_PLATFORM=xcb"} << true;
        QTest::addRow("Wayland, then X") << QStringList {} << QStringList {"QT_QPA_PLATFORM=wayland-egl;xcb"} << true;
        QTest::addRow("offscreen") << QStringList {} << QStringList {"QT_QPA_PLATFORM=offscreen"} << false;
        QTest::addRow("X, then offscreen") << QStringList {} << QStringList {"QT_QPA_PLATFORM=xcb;offscreen"} << false;
        QTest::addRow("options") << QStringList {} << QStringList {"QT_QPA_PLATFORM=offscreen:fontengine=freetype"}
                                 << false;
        QTest::addRow("-platform") << QStringList {"-platform", "offscreen"} << QStringList {} << false;
        QTest::addRow("--platform over the variable")
            << QStringList {"--platform", "xcb"} << QStringList {"QT_QPA_PLATFORM=offscreen"} << true;
        QTest::addRow("-platform without a name") << QStringList {"-platform"} << QStringList {} << true;
    }
    void whenThereIsNoDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(bool, refused);
        const QString why
            = DisplayCheck::whyNoDisplay(QStringList {"orma-qx50-voice-mem"} + arguments, [&](const char *name) {
                  const QString prefix = QString::fromLatin1(name) + u'=';
                  for (const QString &entry : environment)
                      if (entry.startsWith(prefix))
                          return entry.mid(prefix.size());
                  return QString();
              });
        QCOMPARE(why.isEmpty(), !refused);
    }

    // The real program from a console: one line and exit status 1, before Qt can abort it.
    void theProgramSaysItHasNoDisplay()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QX50_EXECUTABLE), {});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(program.readAllStandardError(),
                 QByteArray("orma-qx50-voice-mem: no display: run it inside a desktop session "
                            "(DISPLAY or WAYLAND_DISPLAY is not set)\n"));
        QCOMPARE(program.readAllStandardOutput(), QByteArray());
    }
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
