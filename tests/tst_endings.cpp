// How the real program ends and what it loads: every ending signal gives the port
// back as closing the window does, a start with local ports loads no network
// libraries, a network line whose module cannot be loaded says why, and the module
// comes only from beside the program. The program runs as from a launcher with no
// display and no session bus, whatever terminal the suite is started from.
#include "support/PtyUnit.h"
#include "support/Ser2net.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QString kSettingsFile = QStringLiteral("orma-qx50-voice-mem.ini");

// Qt's lock file for a device.
QString lockFileOf(const QString &device)
{
    return QStringLiteral("/var/lock/") + lockFileName(device);
}

// Whether the terminal is in exclusive mode: a second opening fails for anyone but
// root, and the kernel tells root so when asked.
bool openedExclusively(const QString &device)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive = 0;
    const bool set = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    ::close(fd);
    return set;
}

// The files the process has mapped, each by its full path.
QStringList mappedPaths(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList paths;
    if (maps.open(QIODevice::ReadOnly))
        for (const QByteArray &line : maps.readAll().split('\n'))
            if (const qsizetype slash = line.indexOf('/'); slash > 0)
                paths << QString::fromLocal8Bit(line.mid(slash));
    paths.removeDuplicates();
    return paths;
}

QStringList mappedFiles(qint64 pid)
{
    QStringList files;
    for (const QString &path : mappedPaths(pid))
        files << QFileInfo(path).fileName();
    return files;
}

const QString kModule = QStringLiteral("orma-qx50-networkline.so");

// The module as built, beside the built program.
QString builtModule()
{
    return QFileInfo(QStringLiteral(QX50_EXECUTABLE)).absoluteDir().filePath(kModule);
}

struct Panel {
    QTemporaryDir cwd;
    QProcess process;
    QHash<QString, QString> extraEnvironment;

    void start(const QString &program, const QString &com1, const QByteArray &settings = {})
    {
        if (!settings.isEmpty()) {
            QFile file(cwd.filePath(kSettingsFile));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(settings);
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QX50_COM1"), com1);
        for (int port = 2; port <= 4; ++port) // the machine's own ports stay untouched
            env.insert(QStringLiteral("QX50_COM%1").arg(port),
                       QStringLiteral("/nonexistent/qx50-endings-%1").arg(port));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), cwd.filePath(QStringLiteral("config")));
        // A desktop terminal's display would let the bus library start a session bus
        // through X; here the bus is one that is not there, and the window offscreen.
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + cwd.filePath(QStringLiteral("no-session-bus")));
        for (auto it = extraEnvironment.cbegin(); it != extraEnvironment.cend(); ++it)
            env.insert(it.key(), it.value());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(cwd.path());
        process.start(program, {});
        QVERIFY(process.waitForStarted());
    }
    ~Panel()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

} // namespace

class EndingsTest : public QObject {
    Q_OBJECT

private slots:
    void eachEndingSignalGivesThePortBack_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addRow("SIGTERM") << SIGTERM;
        QTest::addRow("SIGINT") << SIGINT;
        QTest::addRow("SIGHUP") << SIGHUP;
    }

    void eachEndingSignalGivesThePortBack()
    {
        QFETCH(int, signal);
        PtyUnit unit;
        Panel panel;
        const QByteArray settings = "COM1:9600,N,8,1";
        panel.start(QStringLiteral(QX50_EXECUTABLE), unit.devicePath(), settings);
        QCOMPARE(unit.received(1), QByteArray("P")); // the saved port is open
        const QString lockFile = lockFileOf(unit.devicePath());
        QVERIFY(QFile::exists(lockFile));
        QVERIFY(openedExclusively(unit.devicePath()));

        ::kill(static_cast<pid_t>(panel.process.processId()), signal);
        QVERIFY(panel.process.waitForFinished(10000));
        QCOMPARE(panel.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.process.exitCode(), 0);
        QVERIFY2(!QFile::exists(lockFile), qPrintable(lockFile));
        QVERIFY(!openedExclusively(unit.devicePath()));
        QFile file(panel.cwd.filePath(kSettingsFile));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), settings);
        QCOMPARE(unit.received(), QByteArray()); // nothing more was sent
    }

    // The network libraries come with the first network port, not before.
    void aStartWithLocalPortsLoadsNoNetworkLibrary()
    {
        PtyUnit unit;
        Panel panel;
        panel.start(QStringLiteral(QX50_EXECUTABLE), unit.devicePath(), "COM1:9600,N,8,1");
        QCOMPARE(unit.received(1), QByteArray("P"));
        const QStringList mapped = mappedFiles(panel.process.processId());
        QVERIFY(mapped.filter(QStringLiteral("libQt6Widgets")).size() == 1);
        for (const char *library : {"libQt6Network", "libtelnet", "libkrb5", "libgssapi", "orma-qx50-networkline"})
            QVERIFY2(mapped.filter(QString::fromLatin1(library)).isEmpty(), library);
    }

    // A module that is there but cannot be loaded greys the port out with the reason.
    void aBrokenNetworkModuleIsAReasonNotACrash()
    {
        QTemporaryDir installed;
        const QString program = installed.filePath(QStringLiteral("orma-qx50-voice-mem"));
        QVERIFY(QFile::copy(QStringLiteral(QX50_EXECUTABLE), program));
        QFile module(installed.filePath(QStringLiteral("orma-qx50-networkline.so")));
        QVERIFY(module.open(QIODevice::WriteOnly));
        module.write("not a shared object\n");
        module.close();

        Panel panel;
        panel.start(program, QStringLiteral("rfc2217://127.0.0.1:9"));
        const QString expected
            = QStringLiteral("Com1 is greyed out: COM1 (rfc2217://127.0.0.1:9): network ports cannot be "
                             "used: the module %1 cannot be loaded")
                  .arg(module.fileName());
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += panel.process.readAllStandardError()).contains(expected.toUtf8())
                                     || panel.process.state() == QProcess::NotRunning,
                                 10000);
        QVERIFY2(errors.contains("reinstall orma-qx50-voice-mem"), errors.constData());
        QCOMPARE(panel.process.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(panel.process.processId()), SIGTERM);
        QVERIFY(panel.process.waitForFinished(10000));
        QCOMPARE(panel.process.exitCode(), 0);
    }

    // The module is looked for beside the program as the kernel resolves it: a link
    // to the built program finds the built module, and a copy of the program without
    // its module loads none, though one lies in its working directory, in a folder of
    // the library path and in the build tree.
    void theModuleComesOnlyFromBesideTheProgram_data()
    {
        QTest::addColumn<bool>("copied"); // else a link to the built program
        QTest::addRow("a copy without its module") << true;
        QTest::addRow("a link to the built program") << false;
    }
    void theModuleComesOnlyFromBesideTheProgram()
    {
        QFETCH(bool, copied);
        QTemporaryDir elsewhere;
        const QString program = elsewhere.filePath(QStringLiteral("bin/orma-qx50-voice-mem"));
        QVERIFY(QDir(elsewhere.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(copied ? QFile::copy(QStringLiteral(QX50_EXECUTABLE), program)
                       : QFile::link(QStringLiteral(QX50_EXECUTABLE), program));
        QVERIFY(QDir(elsewhere.path()).mkpath(QStringLiteral("lib")));
        QVERIFY(QFile::copy(builtModule(), elsewhere.filePath(QStringLiteral("lib/")) + kModule));

        Panel panel;
        QVERIFY(QFile::copy(builtModule(), panel.cwd.filePath(kModule)));
        panel.extraEnvironment.insert(QStringLiteral("LD_LIBRARY_PATH"), elsewhere.filePath(QStringLiteral("lib")));
        const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(freeLoopbackPort());
        panel.start(program, address);
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += panel.process.readAllStandardError()).contains("Com1 is greyed out")
                                     || panel.process.state() == QProcess::NotRunning,
                                 10000);
        QCOMPARE(panel.process.state(), QProcess::Running);
        const QStringList modules = mappedPaths(panel.process.processId()).filter(kModule);
        if (copied) {
            QVERIFY2(modules.isEmpty(), qPrintable(modules.join(QLatin1Char(' '))));
            const QString missing
                = QStringLiteral("the module %1 is missing").arg(QFileInfo(program).absoluteDir().filePath(kModule));
            QVERIFY2(errors.contains(missing.toUtf8()), errors.constData());
        } else {
            QCOMPARE(modules, QStringList {QFileInfo(builtModule()).canonicalFilePath()});
        }
        ::kill(static_cast<pid_t>(panel.process.processId()), SIGTERM);
        QVERIFY(panel.process.waitForFinished(10000));
        QCOMPARE(panel.process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(EndingsTest)
#include "tst_endings.moc"
