// Each failure box keeps its fixed text and says why under it, from a real condition:
// a missing device, one this user may not open, one another program holds, a
// settings file saved with a line end, a missing guide. The reason is also logged.
#include "serial/DeviceProbe.h"
#include "support/FormFixture.h"
#include "support/LauncherStart.h"
#include "support/PtyUnit.h"
#include "ui/QtDesktop.h"

#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program itself, started as another would be, with COM1 on the given device.
// Stopped by its PID when the test ends.
class ProgramRun {
public:
    ProgramRun(const QString &com1, const QStringList &runAs = {})
    {
        QFile settings(cwd.filePath(QStringLiteral("orma-qx50-voice-mem.ini")));
        if (settings.open(QIODevice::WriteOnly))
            settings.write("COM1:9600,N,8,1");
        settings.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QX50_COM1"), com1);
        for (int port = 2; port <= 4; ++port)
            env.insert(QStringLiteral("QX50_COM%1").arg(port), QStringLiteral("/nonexistent/qx50-com%1").arg(port));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), cwd.path());
        process.setProcessEnvironment(env);
        if (runAs.isEmpty()) {
            process.setWorkingDirectory(cwd.path());
            process.start(QStringLiteral(QX50_EXECUTABLE), {});
        } else {
            process.setWorkingDirectory(QStringLiteral("/"));
            process.start(runAs.first(), runAs.mid(1) << QStringLiteral(QX50_EXECUTABLE));
        }
    }
    ~ProgramRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // What it has written to standard error, once `text` shows up there (five seconds at most).
    QString errorsOnce(const QString &text)
    {
        (void)QTest::qWaitFor(
            [&] {
                errors += QString::fromLocal8Bit(process.readAllStandardError());
                return errors.contains(text) || process.state() == QProcess::NotRunning;
            },
            5000);
        return errors;
    }

    QTemporaryDir cwd;
    QProcess process;
    QString errors;
};

// Another program holding a device with a lock on it and nothing else: flock(1),
// which becomes the command it runs, so one PID holds the lock and is stopped.
class LockHolder {
public:
    explicit LockHolder(const QString &device)
    {
        process.start(QStringLiteral("flock"),
                      {QStringLiteral("--nonblock"), QStringLiteral("--no-fork"), device, QStringLiteral("sleep"),
                       QStringLiteral("60")});
        process.waitForStarted();
    }
    ~LockHolder()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QProcess process;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the real desktop's message box with OK once it shows, keeping its detail.
QString answerBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return QStringLiteral("<no box>");
    const QString detail = box->informativeText();
    box->accept();
    return detail;
}

} // namespace

class FailureDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void theScanSaysWhyAnItemIsGreyOnceAndNothingWhenAllIsWell()
    {
        FormFixture f;
        PtyUnit com1;
        PtyUnit com2;
        f.ports[1] = com1.devicePath();
        f.ports[2] = com2.devicePath();
        f.ports[3] = com2.devicePath() + QStringLiteral("-gone");
        f.ports[4] = com1.devicePath();
        QTest::failOnWarning(QRegularExpression(QStringLiteral("greyed out")));
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral("^Com3 is greyed out: COM3 \\(.*-gone\\): there is no such device")));
        f.form->ScanComPorts();
        QVERIFY(!f.form->menuCom(3)->isEnabled());
        QVERIFY(f.form->menuCom(3)->toolTip().contains(QLatin1String("there is no such device")));
        QVERIFY(f.form->findChild<QMenu *>(QStringLiteral("menu_mainCom"))->toolTipsVisible());
        for (int port : {1, 2, 4}) {
            QVERIFY(f.form->menuCom(port)->isEnabled());
            QVERIFY(!f.form->menuCom(port)->toolTip().contains(QLatin1String("COM")));
        }
        QCOMPARE(f.desktop.events, QStringList());
    }

    void permissionDeniedNamesTheGroupAndHowToJoin_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("reason");
        QTest::addRow("group may open it")
            << 0660
            << "permission denied: the device belongs to the group dialout, and this user "
               "is not in it. To join it: sudo adduser $USER dialout, then log in again.";
        QTest::addRow("owner only") << 0600 << "permission denied: only its owner, root, may read and write it";
    }
    void permissionDeniedNamesTheGroupAndHowToJoin()
    {
        QFETCH(int, mode);
        QFETCH(QString, reason);
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        const struct group *dialout = ::getgrnam("dialout");
        if (::geteuid() != 0 || setpriv.isEmpty() || !dialout)
            QSKIP("needs root, setpriv and a dialout group: the device is opened as the user nobody");
        PtyUnit unit;
        const QByteArray device = unit.devicePath().toLocal8Bit();
        QCOMPARE(::chown(device.constData(), 0, dialout->gr_gid), 0);
        QCOMPARE(::chmod(device.constData(), static_cast<mode_t>(mode)), 0);

        // As nobody, the start-up scan greys Com1 and logs why.
        ProgramRun run(unit.devicePath(),
                       {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups")});
        const QString logged
            = QStringLiteral("qx50.failure: Com1 is greyed out: COM1 (%1): %2").arg(unit.devicePath(), reason);
        const QString errors = run.errorsOnce(logged);
        QVERIFY2(errors.contains(logged), qPrintable(errors));
        QCOMPARE(errors.count(QStringLiteral("Com1 is greyed out")), 1);
        QCOMPARE(unit.received(), QByteArray());
    }

    void aHeldDeviceNamesItsHolder()
    {
        PtyUnit unit;
        FormFixture f;
        f.ports[1] = unit.devicePath();
        f.form->menuCom(1)->setEnabled(true);
        {
            // Another copy of this program, with its lock file, lock and exclusive open.
            ProgramRun other(unit.devicePath());
            QCOMPARE(unit.received(1), QByteArray("P"));
            const QString holder = QStringLiteral("orma-qx50-voice-mem (PID %1)").arg(other.process.processId());
            QCOMPARE(probeDevice(unit.devicePath()).summary, QStringLiteral("present, in use by ") + holder);
            f.form->SelectComPort(1);
            QCOMPARE(f.desktop.prompts(), QStringList {"The Com Port is not available"});
            QCOMPARE(f.desktop.boxes.at(0).detail,
                     QStringLiteral("COM1 (%1): the port is in use by another program: %2; close that program, "
                                    "or choose another port in Com \u2192 Port devices\u2026")
                         .arg(unit.devicePath(), holder));
        }
        QVERIFY(unit.received(1).isEmpty());
        {
            // A program that only locks the device.
            LockHolder other(unit.devicePath());
            const QString holder = QStringLiteral("sleep (PID %1)").arg(other.process.processId());
            // flock takes the lock, then becomes sleep: the name settles once it has.
            QTRY_COMPARE(probeDevice(unit.devicePath()).summary, QStringLiteral("present, in use by ") + holder);
            f.desktop.clear();
            f.form->SelectComPort(1);
            QCOMPARE(f.desktop.boxes.size(), 1);
            QVERIFY2(f.desktop.boxes.at(0).detail.endsWith(QStringLiteral("in use by another program: ") + holder
                                                           + QStringLiteral("; close that program, or choose another "
                                                                            "port in Com \u2192 Port devices\u2026")),
                     qPrintable(f.desktop.boxes.at(0).detail));
            QVERIFY(!f.form->Comm1.portOpen());
        }
        // Another descriptor alone is no holder: it is neither refused nor named.
        PortHolder descriptorOnly(unit.devicePath());
        QCOMPARE(probeDevice(unit.devicePath()).finding, DeviceProbe::Finding::Free);
    }

    // The lock's taker handed the device to a program and ended: that program, which
    // holds the lock, is named, not another that merely has the device open. Each is
    // named by its command line, however long the name.
    void theProgramHoldingTheLockIsNamed()
    {
        PtyUnit unit;
        const QString device = unit.devicePath();
        const auto start = [&](QProcess &process, const QString &script, const QString &name) {
            process.start(QStringLiteral("bash"), {QStringLiteral("-c"), script.arg(device, name)});
            QVERIFY(process.waitForStarted());
            QTRY_VERIFY(readFile(QStringLiteral("/proc/%1/cmdline").arg(process.processId()))
                            .startsWith(name.toLocal8Bit() + '\0'));
        };
        QProcess bystander, holder;
        const auto stop = qScopeGuard([&] {
            for (QProcess *p : {&bystander, &holder}) {
                p->kill();
                p->waitForFinished(5000);
            }
        });
        start(bystander, QStringLiteral("exec 3<>'%1'; exec -a %2 sleep 60"),
              QStringLiteral("a-bystander-with-the-device-open"));
        start(holder, QStringLiteral("exec 3<>'%1'; flock --nonblock 3 || exit 1; exec -a %2 sleep 60"),
              QStringLiteral("the-program-holding-the-lock"));
        QCOMPARE(deviceHolder(device), QStringLiteral("the-program-holding-the-lock (PID %1)").arg(holder.processId()));
        QCOMPARE(probeDevice(device).summary,
                 QStringLiteral("present, in use by the-program-holding-the-lock (PID %1)").arg(holder.processId()));

        holder.kill();
        holder.waitForFinished(5000);
        QCOMPARE(deviceHolder(device),
                 QStringLiteral("a-bystander-with-the-device-open (PID %1)").arg(bystander.processId()));
    }

    void aRefusedSettingsFileSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        QTest::addRow("CR LF after the settings")
            << QByteArray("COM1:9600,N,8,1\r\n")
            << "\"9600,N,8,1<CR><LF>\" ends with a line end, and no line end is allowed";
        QTest::addRow("control character")
            << QByteArray("COM1:9600,\x01,8,1") << "\"9600,<0x01>,8,1\" is not a serial setting";
        QTest::addRow("nothing after the port") << QByteArray("COM2:") << "the settings text is empty";
        // A text of anything at all is shown by its first 60 characters, then "…".
        const QString sixty(60, u'9');
        QTest::addRow("60 characters, shown whole")
            << "COM1:" + QByteArray(60, '9') << "\"" + sixty + "\" is not a serial setting";
        QTest::addRow("61 characters, cut")
            << "COM1:" + QByteArray(61, '9') << "\"" + sixty + "…\" is not a serial setting";
        QTest::addRow("a spelled-out control character is not cut")
            << "COM1:9" + QByteArray(20, '\x01') << "\"9" + QString("<0x01>").repeated(9) + "…\" is not";
        QByteArray anything;
        for (int i = 0; i < 300; ++i)
            anything += static_cast<char>((i * 151 + 7) % 256);
        QTest::addRow("300 bytes of anything") << "COM1:" + anything << "…\" is not a serial setting";
    }
    void aRefusedSettingsFileSaysWhy()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        FormFixture f;
        FormFixture::writeSettingsFile(file);
        f.form->Form_Load();
        QCOMPARE(f.desktop.events, QStringList({"beep", "box: Select a Free Com Port"}));
        const QString detail = f.desktop.boxes.at(0).detail;
        const QString path = QDir(f.cwd.path()).filePath(QString::fromLatin1(FormFixture::kSettingsFile));
        const QString inFile = QStringLiteral("The settings file %1: ").arg(path);
        QVERIFY2(detail.startsWith(inFile), qPrintable(detail));
        QVERIFY2(detail.contains(reason), qPrintable(detail));
        QVERIFY2(detail.size() - inFile.size() <= 200, qPrintable(detail)); // 60 characters of the text at most
        QCOMPARE(f.settingsFileBytes(), file); // read, never changed
    }

    void aSavedPortThatWillNotOpenSaysWhy()
    {
        FormFixture f;
        FormFixture::writeSettingsFile("COM3:9600,N,8,1");
        f.form->Form_Load();
        QCOMPARE(f.desktop.prompts(), QStringList {"Select a Free Com Port"});
        QVERIFY2(f.desktop.boxes.at(0).detail.startsWith(
                     QStringLiteral("COM3 (/nonexistent/ttyQX3): there is no such device")),
                 qPrintable(f.desktop.boxes.at(0).detail));
    }

    void theGuideSaysWhatWasLookedFor_data()
    {
        QTest::addColumn<QString>("guide"); // what lies where the guide should be
        QTest::addColumn<bool>("viewerAccepts");
        QTest::addColumn<QString>("reason");
        QTest::addRow("missing") << "" << true << "There is no guide at %1.";
        QTest::addRow("no viewer") << "FILE" << false
                                   << "The guide is at %1, but this desktop has no program to show HTML documents";
    }
    void theGuideSaysWhatWasLookedFor()
    {
        QFETCH(QString, guide);
        QFETCH(bool, viewerAccepts);
        QFETCH(QString, reason);
        FormFixture f;
        QTemporaryDir exeDir;
        const QString path = exeDir.filePath(QStringLiteral("guide.htm"));
        if (guide == QLatin1String("FILE")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        f.desktop.directory = exeDir.path();
        f.desktop.viewerAccepts = viewerAccepts;
        f.form->menuGuide->trigger();
        QCOMPARE(f.desktop.prompts(), QStringList {"Help file not found!"});
        QCOMPARE(f.desktop.boxes.at(0).style, 48);
        QVERIFY2(f.desktop.boxes.at(0).detail.startsWith(reason.arg(path)), qPrintable(f.desktop.boxes.at(0).detail));
    }

    void theRealDesktopShowsTheDetailUnderTheTextAndLogsItOnce()
    {
        QtDesktop desktop;
        QString shown;
        QTimer::singleShot(0, [&] { shown = answerBox(); });
        QTest::failOnWarning(QRegularExpression(QStringLiteral("Free Com Port|Com Port is not open")));
        QTest::ignoreMessage(QtWarningMsg, "Select a Free Com Port -- COM1 (/dev/x): <gone> & back");
        desktop.messageBox(QStringLiteral("Select a Free Com Port"), Desktop::Plain, {},
                           QStringLiteral("COM1 (/dev/x): <gone> & back"));
        QTextDocument drawn; // the informative text, as the box draws it
        drawn.setHtml(shown);
        QVERIFY2(Qt::mightBeRichText(shown), qPrintable(shown));
        QCOMPARE(drawn.toPlainText(), QStringLiteral("COM1 (/dev/x): <gone> & back"));

        QTimer::singleShot(0, [&] { shown = answerBox(); });
        desktop.messageBox(QStringLiteral("Com Port is not open!"), Desktop::Warning, {},
                           {}); // no detail, nothing logged
        QCOMPARE(shown, QString());
    }
};

QTEST_MAIN(FailureDetailsTest)
#include "tst_failuredetails.moc"
