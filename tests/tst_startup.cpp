// Start-up from each state of the settings file, the window's place and height,
// and the two ways out.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "ui/QtDesktop.h"
#include "ui/VbColor.h"

#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Where Qt keeps the lock file of an open device, found while the device is open.
QString qtLockFileOf(const QString &device)
{
    const QString name = lockFileName(device);
    for (const char *directory : {"/var/lock", "/run/lock", "/tmp"}) {
        const QString path = QDir(QString::fromLatin1(directory)).filePath(name);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

private slots:
    void withoutASettingsFileNothingIsOpenedOrSaid()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.form->Form_Load();

        QCOMPARE(f.desktop.events, QStringList());
        QVERIFY(!f.form->Comm1.portOpen());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Com Port Closed"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QVERIFY(!f.form->menuCloseComPort->isEnabled());
        QCOMPARE(f.checkedComItems(), QList<int>());
        QCOMPARE(unit.received(), QByteArray()); // the scan opened COM1 but sent nothing
        QVERIFY(!f.settingsFilePresent());
    }

    void theSavedPortIsReopenedAndPlaySent()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[3] = unit.devicePath();
        f.writeSettingsFile("COM3:19200,N,8,2");
        f.form->Form_Load();

        QCOMPARE(f.desktop.events, QStringList());
        QVERIFY(f.form->Comm1.portOpen());
        QCOMPARE(f.form->Comm1.commPort(), 3);
        QCOMPARE(f.form->Comm1.settings(), QStringLiteral("19200,N,8,2"));
        QCOMPARE(unit.received(1), QByteArray("P"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kButtonText);
        QCOMPARE(f.checkedComItems(), QList<int> {3});
        QVERIFY(f.form->menuCloseComPort->isEnabled());
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM3:19200,N,8,2")); // start-up never writes it
    }

    void aSettingsFileThatCannotBeUsed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("holdPort");
        QTest::addColumn<QStringList>("events");
        const QStringList warned {"beep", "box: Select a Free Com Port"};
        QTest::addRow("busy port") << QByteArray("COM1:9600,N,8,1") << true << warned;
        QTest::addRow("missing device") << QByteArray("COM2:9600,N,8,1") << false << warned;
        QTest::addRow("empty file") << QByteArray() << false << warned;
        QTest::addRow("only COM1:") << QByteArray("COM1:") << false << warned;
        QTest::addRow("only COM1") << QByteArray("COM1") << false << warned;
        QTest::addRow("editor's line end") << QByteArray("COM1:9600,N,8,1\r\n") << false << warned;
        QTest::addRow("bad settings") << QByteArray("COM1:fast") << false << warned;
        QTest::addRow("far too large") << QByteArray("COM1:9600,N,8,1") + QByteArray(70000, ' ') << false << warned;
        QTest::addRow("letter as port digit") << QByteArray("COMx:9600,N,8,1") << false << QStringList();
        QTest::addRow("port digit 0") << QByteArray("COM0:9600,N,8,1") << false << QStringList();
        QTest::addRow("binary junk") << QByteArray("\xFF\x00\x01\x02\x80", 5) << false << warned;
    }
    void aSettingsFileThatCannotBeUsed()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, holdPort);
        QFETCH(QStringList, events);

        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.writeSettingsFile(content);
        std::unique_ptr<PortHolder> other;
        if (holdPort)
            other = std::make_unique<PortHolder>(unit.devicePath());

        f.form->Form_Load();
        QCOMPARE(f.desktop.events, events);
        QVERIFY(!f.form->Comm1.portOpen());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Com Port Closed"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QCOMPARE(f.checkedComItems(), QList<int>());
        QVERIFY(!f.form->menuCloseComPort->isEnabled());
        QCOMPARE(unit.received(), QByteArray());
        QCOMPARE(f.settingsFileBytes(), content); // left exactly as it was
    }

    void aPortBeyondTheMenuStaysOpenWithNothingMarked()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[7] = unit.devicePath();
        f.writeSettingsFile("COM7:9600,N,8,1");
        f.form->Form_Load();

        QCOMPARE(f.desktop.events, QStringList());
        QVERIFY(f.form->Comm1.portOpen());
        QCOMPARE(f.checkedComItems(), QList<int>());
        QVERIFY(f.form->menuCloseComPort->isEnabled());
        QCOMPARE(unit.received(1), QByteArray("P"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
    }

    void theSettingsFileIsLookedForInTheWorkingDirectoryOnly()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        QTemporaryDir exeDir;
        f.desktop.directory = exeDir.path();
        f.desktop.baseName = QStringLiteral("qx50-panel");
        QFile beside(exeDir.filePath(QStringLiteral("qx50-panel.ini")));
        QVERIFY(beside.open(QIODevice::WriteOnly));
        beside.write("COM1:9600,N,8,1");
        beside.close();

        f.form->Form_Load();
        QCOMPARE(f.form->IniFile, QStringLiteral("qx50-panel.ini"));
        QVERIFY(!f.form->Comm1.portOpen());

        QVERIFY(QFile::copy(beside.fileName(), QStringLiteral("qx50-panel.ini")));
        f.restart(); // the next run finds it in its working directory
        f.form->Form_Load();
        QVERIFY(f.form->Comm1.portOpen());
    }

    void theWindowStartsCentredAndShort()
    {
        FormFixture f;
        f.desktop.screen = QSize(1280, 1024);
        const QSize design = f.form->frameGeometry().size();
        f.form->loadAndShow();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));

        QCOMPARE(f.form->outerHeight(), Form1::kShortHeight);
        QCOMPARE(f.form->controlsArea()->height(), 205);
        QCOMPARE(f.form->x(), (1280 - design.width()) / 2);
        QCOMPARE(f.form->y(), (1024 - design.height()) / 2); // centred on the design height
        QCOMPARE(f.form->height(), f.form->menuBar()->height() + 205);

        // Stop and the status line are inside; Line2 and the panel are not.
        const int bottom = f.form->controlsArea()->height();
        QVERIFY(f.form->Command5->geometry().bottom() < bottom);
        QVERIFY(f.form->Status->geometry().bottom() < bottom);
        QVERIFY(f.form->Line2->y() >= bottom);
        QVERIFY(f.form->Command6->y() >= bottom);
        QVERIFY(!f.form->Command6->isVisibleTo(f.form.get()) || f.form->Command6->focusPolicy() == Qt::NoFocus);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.form->Command3));
    }

    void startUpMessagesComeBeforeTheWindow()
    {
        FormFixture f;
        f.writeSettingsFile("COM2:9600,N,8,1");
        bool windowVisible = true;
        f.desktop.whileBoxShown = [&](const RecordingDesktop::Box &) { windowVisible = f.form->isVisible(); };
        f.form->loadAndShow();
        QCOMPARE(f.desktop.prompts(), QStringList {"Select a Free Com Port"});
        QVERIFY(!windowVisible);
        QVERIFY(f.form->isVisible());
    }

    void closingTheWindowReleasesThePortAndKeepsTheFile()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.writeSettingsFile("COM1:9600,N,8,1");
        f.form->loadAndShow();
        QVERIFY(f.form->Comm1.portOpen());
        QVERIFY(!PortHolder(unit.devicePath()).holding());

        QVERIFY(f.form->close());
        QVERIFY(!f.form->Comm1.portOpen());
        QVERIFY(PortHolder(unit.devicePath()).holding());
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM1:9600,N,8,1"));
        QCOMPARE(f.desktop.endings, QList<int>());

        FormFixture closed; // closing with no port open touches nothing
        closed.form->Form_Load();
        QVERIFY(closed.form->close());
        QVERIFY(!closed.settingsFilePresent());
    }

    void exitEndsAtOnceWithoutTheUnloadStep()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.writeSettingsFile("COM1:9600,N,8,1");
        f.form->loadAndShow();
        f.desktop.clear();

        f.form->Exit->trigger();
        QCOMPARE(f.desktop.events, QStringList {"end: 0"}); // no prompt
        QVERIFY(f.form->Comm1.portOpen()); // the system releases it as the process ends
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM1:9600,N,8,1"));
    }

    // The real desktop's ending, in a child process of its own: the Exit item gives
    // the port back before the process ends, so no lock file stays behind, and still
    // leaves the settings file alone.
    void exitGivesThePortBackBeforeTheProcessEnds()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);
        const QString lockFile = qtLockFileOf(unit.devicePath());
        if (lockFile.isEmpty())
            QSKIP("Qt keeps no lock file for devices on this system");
        f.form->Comm1.setPortOpen(false);
        QVERIFY(!QFile::exists(lockFile));
        QFile settings(QtDesktop().executableBaseName() + QStringLiteral(".ini")); // this test's own name
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("COM1:9600,N,8,1");
        settings.close();

        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            QtDesktop desktop;
            Form1 form(desktop, PortDevices {[&](int) { return unit.devicePath(); }});
            form.Form_Load();
            if (!form.Comm1.portOpen())
                ::_exit(3);
            if (!QFile::exists(lockFile))
                ::_exit(5);
            form.Exit->trigger();
            ::_exit(4); // Exit came back
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(unit.received(1), QByteArray("P"));
        QVERIFY2(!QFile::exists(lockFile), qPrintable(lockFile));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), QByteArray("COM1:9600,N,8,1"));
    }
};

QTEST_MAIN(StartUpTest)
#include "tst_startup.moc"
