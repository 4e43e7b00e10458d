// The settings file: its one record, byte for byte, and what happens when it cannot
// be written.
#include "serial/SettingsRecord.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"

#include <QTest>

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
        QCOMPARE(f.desktop.prompts(), QStringList{"Select a Free Com Port"});
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
        QTest::addColumn<QString>("inTheWay");
        QTest::addRow("a directory") << "directory";
        QTest::addRow("a link to another file") << "link";
        QTest::addRow("a dangling link") << "dangling";
    }
    void aFailedSaveIsReportedOnceAndThePortStaysUsable()
    {
        QFETCH(QString, inTheWay);
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        const QString name = QString::fromLatin1(FormFixture::kSettingsFile);
        QFile victim(QStringLiteral("victim.txt"));
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("keep me");
        victim.close();
        if (inTheWay == QLatin1String("directory"))
            QVERIFY(QDir().mkdir(name));
        else if (inTheWay == QLatin1String("link"))
            QVERIFY(QFile::link(QStringLiteral("victim.txt"), name));
        else
            QVERIFY(QFile::link(QStringLiteral("nowhere.txt"), name));

        f.form->menuCom(1)->trigger();
        QCOMPARE(f.desktop.events, QStringList{"box: Failed to save com settings"}); // no beep
        QCOMPARE(f.desktop.boxes.at(0).style, 0);
        QVERIFY(f.form->Comm1.portOpen());
        QCOMPARE(f.checkedComItems(), QList<int>{1});
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        f.form->Command4_Click();
        QCOMPARE(unit.received(2), QByteArray("PT"));

        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("keep me"));
        QVERIFY(!QFile::exists(QStringLiteral("nowhere.txt")));
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
