// The settings file: its one record, byte for byte, and what happens when it cannot
// be written.
#include "serial/SettingsRecord.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"

#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// Files of this process can grow no more while it lives, and the signal for that is
// ignored, so a write fails with an error as it would on a full disk.
class FileSizeLimit {
public:
    FileSizeLimit()
    {
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit none = m_previous;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous {};
    void (*m_previousHandler)(int) = SIG_DFL;
};

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT

private slots:
    void theRecordFormat()
    {
        QCOMPARE(SettingsRecord::build(3, QStringLiteral("9600,n,8,1")), QByteArray("COM3:9600,N,8,1"));
        QCOMPARE(SettingsRecord::build(12, QStringLiteral("19200,e,7,1.5")), QByteArray("COM2:19200,E,7,1.5"));

        QCOMPARE(SettingsRecord::portNumberOf("COM4:9600,N,8,1"), 4);
        QCOMPARE(SettingsRecord::portNumberOf("XYZ9?anything"), 9); // positions 1-3 and 5 are never examined
        QCOMPARE(SettingsRecord::portNumberOf("COMx:9600,N,8,1"), 0);
        QCOMPARE(SettingsRecord::portNumberOf("COM"), 0);
        QCOMPARE(SettingsRecord::portNumberOf(""), 0);
        QCOMPARE(SettingsRecord::settingsTextOf("COM4:9600,N,8,1\r\n"), QStringLiteral("9600,N,8,1\r\n"));
        QCOMPARE(SettingsRecord::settingsTextOf("COM4:"), QString());
        QCOMPARE(SettingsRecord::settingsTextOf("COM4"), QString());
        QCOMPARE(SettingsRecord::settingsTextOf("COM4:\xE9"), QString(QChar(0xE9)));
    }

    void aSaveReplacesTheWholeFile()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[3] = unit.devicePath();
        f.writeSettingsFile("COM1:115200,N,8,1.5 and an old tail");
        f.form->menuCom(3)->trigger(); // no start-up: the component keeps its defaults
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM3:9600,N,8,1"));
        QCOMPARE(f.settingsFileBytes().size(), 15);
    }

    void restoredSettingsStayInForceWhenThePortFails()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.writeSettingsFile("COM2:19200,e,7,2");
        f.form->Form_Load();
        QCOMPARE(f.desktop.prompts(), QStringList {"Select a Free Com Port"});
        QCOMPARE(f.form->Comm1.settings(), QStringLiteral("19200,e,7,2"));

        f.form->menuCom(1)->trigger(); // the next good choice saves them again
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM1:19200,E,7,2"));
    }

    void rejectedSettingsLeaveTheDefaultsToBeSaved()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[2] = unit.devicePath();
        f.writeSettingsFile("COM2:9600,N,8,1\n");
        f.form->Form_Load();
        QCOMPARE(f.desktop.events, QStringList({"beep", "box: Select a Free Com Port"}));
        QCOMPARE(f.form->Comm1.settings(), QStringLiteral("9600,n,8,1"));

        f.form->menuCom(2)->trigger();
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM2:9600,N,8,1"));
    }

    void aFailedSaveIsReportedOnceAndThePortStaysUsable_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::addRow("a directory in its place") << "directory"
                                                  << "directory";
        QTest::addRow("no room for the record") << "full"
                                                << "too large";
    }
    void aFailedSaveIsReportedOnceAndThePortStaysUsable()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        const QString name = QString::fromLatin1(FormFixture::kSettingsFile);
        const QByteArray before("COM2:19200,E,7,2");
        if (obstacle == QLatin1String("directory")) {
            QVERIFY(QDir().mkdir(name));
            f.form->menuCom(1)->trigger();
        } else {
            f.form->menuCom(1)->trigger(); // the port's lock file needs room too
            f.desktop.clear();
            f.writeSettingsFile(before);
            const FileSizeLimit full; // as a full disk would refuse the bytes
            f.form->SaveComSettings();
        }

        QCOMPARE(f.desktop.events, QStringList {"box: Failed to save com settings"}); // no beep
        QCOMPARE(f.desktop.boxes.at(0).style, 0);
        const QString detail = f.desktop.boxes.at(0).detail;
        QVERIFY2(detail.contains(QDir(f.cwd.path()).filePath(name)), qPrintable(detail));
        QVERIFY2(detail.contains(reason, Qt::CaseInsensitive), qPrintable(detail));
        if (obstacle == QLatin1String("full"))
            QCOMPARE(f.settingsFileBytes(), before); // the old record survives whole
        else
            QVERIFY(QFileInfo(name).isDir());
        QStringList left = QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeAll(QStringLiteral("options.conf")); // the panel's own choices, kept beside ports.conf
        QCOMPARE(left, QStringList {name});

        QVERIFY(f.form->Comm1.portOpen());
        QCOMPARE(f.checkedComItems(), QList<int> {1});
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        f.form->Command4_Click();
        QCOMPARE(unit.received(2), QByteArray("PT"));
        if (obstacle == QLatin1String("directory")) {
            f.form->menuCom(1)->trigger(); // and the same failure again, the same way
            QCOMPARE(f.desktop.prompts(), QStringList(2, QStringLiteral("Failed to save com settings")));
        }
    }

    // The new file takes the name's place: a link standing there is replaced, and
    // whatever it points at is neither written nor created.
    void aLinkInThePlaceIsReplacedNeverWrittenThrough_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addRow("a link to another file") << "victim.txt";
        QTest::addRow("a dangling link") << "nowhere.txt";
    }
    void aLinkInThePlaceIsReplacedNeverWrittenThrough()
    {
        QFETCH(QString, target);
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        const QString name = QString::fromLatin1(FormFixture::kSettingsFile);
        QFile victim(QStringLiteral("victim.txt"));
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("keep me");
        victim.close();
        QVERIFY(QFile::link(target, name));

        f.form->menuCom(1)->trigger();
        QCOMPARE(f.desktop.events, QStringList());
        QVERIFY(!QFileInfo(name).isSymLink());
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM1:9600,N,8,1"));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("keep me"));
        QVERIFY(!QFile::exists(QStringLiteral("nowhere.txt")));
        QCOMPARE(unit.received(1), QByteArray("P"));
    }

    void closingDeletesOnlyTheSettingsFile()
    {
        FormFixture f;
        f.writeSettingsFile("COM1:9600,N,8,1");
        f.form->menuCloseComPort_Click(); // runs even with no port open
        QVERIFY(!f.settingsFilePresent());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Com Port is Closed"));
        QCOMPARE(f.desktop.events, QStringList());
        f.form->menuCloseComPort_Click(); // and again, with no file
        QCOMPARE(f.desktop.events, QStringList());
    }
};

QTEST_MAIN(SettingsFileTest)
#include "tst_settingsfile.moc"
