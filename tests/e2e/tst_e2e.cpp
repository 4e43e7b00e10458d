// The real executable as an operator uses it, on an X display this test starts
// itself (Xvfb), driven with xdotool and photographed with ImageMagick's import.
#include "support/PtyUnit.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
constexpr int kEndWithinMs = 15000; // from the close box to the program's end, under load

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// An X server of the test's own; stopped with the test.
class XServer {
public:
    // Xvfb picks a display number that is free and tells it on its standard output,
    // so sessions and other programs on this machine never meet on one display.
    XServer()
    {
        m_server.start(tool("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight)});
        QByteArray told;
        m_ready = QTest::qWaitFor(
                      [&] {
                          told += m_server.readAllStandardOutput();
                          return told.endsWith('\n') || m_server.state() == QProcess::NotRunning;
                      },
                      15000)
            && !told.trimmed().isEmpty();
        m_display = QStringLiteral(":") + QString::fromLatin1(told.trimmed());
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + m_display.mid(1);
        m_ready = m_ready && QTest::qWaitFor([&] { return QFile::exists(socket); }, 15000);
    }
    ~XServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    bool ready() const { return m_ready && m_server.state() == QProcess::Running; }
    QString display() const { return m_display; }

    // Runs an X client to its end and gives back what it printed.
    QString run(const QString &program, const QStringList &args, int timeoutMs = 15000) const
    {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        client.setProcessEnvironment(env);
        client.start(program, args);
        if (!client.waitForFinished(timeoutMs))
            client.kill();
        return QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed();
    }
    QString xdotool(const QStringList &args) const { return run(tool("xdotool"), args); }
    // WM_DELETE_WINDOW, as a window manager's close box sends it; xclose's exit status.
    int close(const QString &window) const
    {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        client.setProcessEnvironment(env);
        client.start(QStringLiteral(QX50_XCLOSE), {window});
        return client.waitForFinished(15000) && client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    }

    QStringList visibleWindows(qint64 pid) const
    {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                        QString::number(pid)})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QRect geometryOf(const QString &window) const
    {
        QRect r;
        for (const QString &line : xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
                                       .split(QLatin1Char('\n'))) {
            const QString value = line.section(QLatin1Char('='), 1);
            if (line.startsWith(QLatin1String("X=")))
                r.moveLeft(value.toInt());
            else if (line.startsWith(QLatin1String("Y=")))
                r.moveTop(value.toInt());
            else if (line.startsWith(QLatin1String("WIDTH=")))
                r.setWidth(value.toInt());
            else if (line.startsWith(QLatin1String("HEIGHT=")))
                r.setHeight(value.toInt());
        }
        return r;
    }
    void click(const QString &window, int x, int y) const
    {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                 QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    }

private:
    QString m_display;
    QProcess m_server;
    bool m_ready = false;
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void anOperatorSession()
    {
        for (const char *name : {"Xvfb", "xdotool", "import", "identify"})
            QVERIFY2(
                !tool(name).isEmpty(),
                qPrintable(QStringLiteral("%1 is missing: run make test, which installs it").arg(QLatin1String(name))));
        XServer x;
        QVERIFY2(x.ready(), "Xvfb did not start");

        QTemporaryDir cwd;
        const QString iniPath = cwd.filePath(QStringLiteral("orma-qx50-voice-mem.ini"));
        QFile ini(iniPath);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("COM1:9600,N,8,1");
        ini.close();
        PtyUnit unit;
        QByteArray got;
        auto waitForBytes = [&](const QByteArray &expected) {
            return QTest::qWaitFor([&] { return (got += unit.received()) == expected; }, 15000);
        };

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), x.display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QX50_COM1"), unit.devicePath());
        for (int n = 2; n <= 4; ++n)
            env.insert(QStringLiteral("QX50_COM%1").arg(n), QStringLiteral("/nonexistent/qx50-com%1").arg(n));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(cwd.path());
        program.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        auto stopProgram = qScopeGuard([&] {
            if (program.state() != QProcess::NotRunning) {
                program.kill();
                program.waitForFinished(5000);
            }
        });

        // Start-up reopens the saved port and sends "P".
        QVERIFY2(waitForBytes("P"), got.constData());
        got.clear();
        const QString window
            = x.xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("^ORMA QX50 Voice Memory$")})
                  .section(QLatin1Char('\n'), 0, 0);
        QVERIFY(!window.isEmpty());

        // The window at its start-up size and place: the controls, without the panel.
        const QRect frame = x.geometryOf(window);
        QCOMPARE(frame.width(), 268);
        const int menuBar = frame.height() - 205;
        QVERIFY2(menuBar >= 15 && menuBar <= 40, qPrintable(QString::number(frame.height())));
        QCOMPARE(frame.x(), (kScreenWidth - 268) / 2);
        QCOMPARE(frame.y(), (kScreenHeight - (menuBar + 436)) / 2);
        const QString shot = cwd.filePath(QStringLiteral("start-up.png"));
        x.run(tool("import"), {QStringLiteral("-window"), window, shot});
        QCOMPARE(x.run(tool("identify"), {QStringLiteral("-format"), QStringLiteral("%w %h"), shot}),
                 QStringLiteral("268 %1").arg(frame.height()));

        // A click on Transmit sends "T"; typing 5 sends "5".
        x.click(window, 20 + 16 + 36, menuBar + 4 + 116 + 12);
        QVERIFY2(waitForBytes("T"), got.constData());
        got.clear();
        x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        x.xdotool({QStringLiteral("key"), QStringLiteral("5")});
        QVERIFY2(waitForBytes("5"), got.constData());
        got.clear();

        // Com, then "Close Com port" (second from the bottom, above "Port devices…").
        auto chooseFromMenu = [&](int titleX, bool closeItem) {
            const QStringList before = x.visibleWindows(program.processId());
            x.click(window, titleX, menuBar / 2);
            QString popup;
            const bool opened = QTest::qWaitFor(
                [&] {
                    for (const QString &w : x.visibleWindows(program.processId()))
                        if (!before.contains(w))
                            popup = w;
                    return !popup.isEmpty();
                },
                10000);
            if (!opened)
                return false;
            const QRect menu = x.geometryOf(popup);
            if (closeItem) // Up from no item goes to the last, then past the separator
                x.xdotool(
                    {QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Return")});
            else
                x.click(popup, menu.width() / 2, 10);
            return QTest::qWaitFor([&] { return !x.visibleWindows(program.processId()).contains(popup); }, 10000);
        };
        const int comTitle = 118;
        QVERIFY(chooseFromMenu(comTitle, true));
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(iniPath); }, 10000));

        // A command now shows one box, with the application's title, and sends nothing.
        x.click(window, 20 + 16 + 36, menuBar + 4 + 84 + 12); // Play
        QString boxes;
        QVERIFY(QTest::qWaitFor(
            [&] {
                boxes = x.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                   QStringLiteral("^orma-qx50-voice-mem$")});
                return !boxes.isEmpty();
            },
            10000));
        QCOMPARE(boxes.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 1);
        QCOMPARE(got + unit.received(), QByteArray());
        x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), boxes.trimmed()});
        x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY(
            QTest::qWaitFor([&] { return !x.visibleWindows(program.processId()).contains(boxes.trimmed()); }, 10000));

        // Com1 again: "P", and the choice saved.
        QVERIFY(chooseFromMenu(comTitle, false));
        QVERIFY2(waitForBytes("P"), got.constData());
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(iniPath); }, 10000));
        QVERIFY(!PortHolder(unit.devicePath()).holding());

        // Closing the window releases the port and leaves the settings file as it was.
        // One close, as one click on the close box: it must end the program.
        QCOMPARE(x.close(window), 0);
        const bool ended = program.waitForFinished(kEndWithinMs);
        if (!ended) {
            x.run(tool("import"),
                  {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("/tmp/e2e-fail.png")});
            qWarning() << "windows:" << x.visibleWindows(program.processId()) << "main" << window
                       << program.readAllStandardError();
            QFAIL("the program did not end when its window was closed");
        }
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY(PortHolder(unit.devicePath()).holding());
        QFile saved(iniPath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("COM1:9600,N,8,1"));
    }

    // Started as from the desktop menu, with no QX50_COM variable: COM2 is given a
    // device in "Port devices…" with keys alone, then chosen, and "P" arrives there.
    void assigningAPortFromTheWindow()
    {
        XServer x;
        QVERIFY2(x.ready(), "Xvfb did not start");
        QTemporaryDir scratch;
        PtyUnit com1;
        PtyUnit com2;
        // COM1 on a pty and the others on nothing, so the Com menu starts the same everywhere.
        const QString portsFile = scratch.filePath(QStringLiteral("config/orma-qx50-voice-mem/ports.conf"));
        QVERIFY(QDir().mkpath(QFileInfo(portsFile).path()));
        QFile ports(portsFile);
        QVERIFY(ports.open(QIODevice::WriteOnly));
        ports.write("[ports]\nCOM1=" + com1.devicePath().toLocal8Bit()
                    + "\nCOM2=/nonexistent/qx50-com2\nCOM3=/nonexistent/qx50-com3\nCOM4=/nonexistent/qx50-com4\n");
        ports.close();

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (int n = 1; n <= 9; ++n)
            env.remove(QStringLiteral("QX50_COM%1").arg(n));
        env.insert(QStringLiteral("DISPLAY"), x.display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(scratch.path());
        program.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        auto stopProgram = qScopeGuard([&] {
            if (program.state() != QProcess::NotRunning) {
                program.kill();
                program.waitForFinished(5000);
            }
        });
        const QString window
            = x.xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("^ORMA QX50 Voice Memory$")})
                  .section(QLatin1Char('\n'), 0, 0);
        QVERIFY(!window.isEmpty());

        auto key = [&](const QStringList &keys) { x.xdotool(QStringList {QStringLiteral("key")} + keys); };
        // Alt to the menu bar, right to Com, down into it: Com1 is its first item.
        auto openComMenu = [&] {
            x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
            const QStringList before = x.visibleWindows(program.processId());
            key({QStringLiteral("alt")});
            key({QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Down")});
            return QTest::qWaitFor([&] { return x.visibleWindows(program.processId()).size() > before.size(); }, 10000);
        };

        QVERIFY(openComMenu());
        key({QStringLiteral("Up"), QStringLiteral("Return")}); // from Com1 round to "Port devices…"
        const QString dialog
            = x.xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QStringLiteral("^Port devices$")})
                  .section(QLatin1Char('\n'), 0, 0);
        QVERIFY(!dialog.isEmpty());
        x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
        key({QStringLiteral("Tab"), QStringLiteral("ctrl+a")}); // from COM1's row to COM2's
        x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), com2.devicePath()});
        key({QStringLiteral("Return")});
        QVERIFY(QTest::qWaitFor([&] { return !x.visibleWindows(program.processId()).contains(dialog); }, 10000));
        QVERIFY(QTest::qWaitFor(
            [&] {
                QFile saved(portsFile);
                return saved.open(QIODevice::ReadOnly)
                    && saved.readAll().contains("COM2=" + com2.devicePath().toLocal8Bit());
            },
            10000));
        QCOMPARE(com2.received(), QByteArray()); // probed only

        QVERIFY(openComMenu());
        key({QStringLiteral("Down"), QStringLiteral("Return")}); // Com2, enabled now
        QByteArray got;
        QVERIFY2(QTest::qWaitFor([&] { return (got += com2.received()) == "P"; }, 15000), got.constData());
        QCOMPARE(com1.received(), QByteArray());
        QVERIFY(QTest::qWaitFor(
            [&] { return QFile::exists(scratch.filePath(QStringLiteral("orma-qx50-voice-mem.ini"))); }, 10000));

        QCOMPARE(x.close(window), 0);
        QVERIFY2(program.waitForFinished(kEndWithinMs), "the program did not end when its window was closed");
        QFile settings(scratch.filePath(QStringLiteral("orma-qx50-voice-mem.ini")));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), QByteArray("COM2:9600,N,8,1"));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_e2e.moc"
