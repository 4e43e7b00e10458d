// The Com menu: the start-up scan, choosing a port, a port that fails, and closing.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "ui/VbColor.h"

#include <QTest>

class PortSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void theScanGreysOutPortsThatCannotOpenForTheWholeRun()
    {
        FormFixture f;
        PtyUnit com1;
        PtyUnit com2;
        f.ports[1] = com1.devicePath();
        f.ports[2] = com2.devicePath();
        f.form->menuCom(1)->setChecked(true); // the scan never touches check marks
        {
            PortHolder other(com2.devicePath());
            f.form->ScanComPorts();
        }
        QVERIFY(f.form->menuCom(1)->isEnabled());
        QVERIFY(!f.form->menuCom(2)->isEnabled()); // busy
        QVERIFY(!f.form->menuCom(3)->isEnabled()); // missing
        QVERIFY(!f.form->menuCom(4)->isEnabled());
        QCOMPARE(f.checkedComItems(), QList<int> {1});
        QVERIFY(!f.form->Comm1.portOpen());
        QCOMPARE(f.form->Comm1.commPort(), 4);
        QCOMPARE(f.desktop.events, QStringList());
        QCOMPARE(com1.received() + com2.received(), QByteArray());

        // COM2 is free again, but its item stays grey for the rest of the run.
        f.form->menuCom(1)->trigger();
        f.form->menuCloseComPort->trigger();
        QVERIFY(!f.form->menuCom(2)->isEnabled());
    }

    void choosingAPortOpensItSendsPlayAndSavesTheChoice()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[3] = unit.devicePath();
        f.form->Form_Load();
        f.form->menuCom(3)->trigger();

        QVERIFY(f.form->Comm1.portOpen());
        QCOMPARE(f.checkedComItems(), QList<int> {3});
        QVERIFY(f.form->menuCloseComPort->isEnabled());
        QCOMPARE(unit.received(1), QByteArray("P"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kButtonText);
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM3:9600,N,8,1"));
        QCOMPARE(f.desktop.events, QStringList());

        // Choosing it again closes, reopens, sends "P" again and rewrites the same record.
        f.form->Command4_Click();
        f.form->menuCom(3)->trigger();
        QCOMPARE(unit.received(2), QByteArray("TP"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        QCOMPARE(f.checkedComItems(), QList<int> {3});
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM3:9600,N,8,1"));
    }

    void aPortThatFailsLeavesNothingOpenAndNothingMarked()
    {
        FormFixture f;
        PtyUnit com1;
        PtyUnit com3;
        f.ports[1] = com1.devicePath();
        f.ports[3] = com3.devicePath();
        f.form->Form_Load();
        f.form->menuCom(1)->trigger();
        f.form->Command4_Click();
        QCOMPARE(com1.received(2), QByteArray("PT"));
        f.desktop.clear();

        PortHolder other(com3.devicePath()); // taken since the scan
        f.form->menuCom(3)->trigger();
        QCOMPARE(f.desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        QCOMPARE(f.desktop.boxes.at(0).style, 0);
        QVERIFY(!f.form->Comm1.portOpen());
        QVERIFY(PortHolder(com1.devicePath()).holding()); // COM1 was really closed
        QCOMPARE(f.checkedComItems(), QList<int>());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QVERIFY(f.form->menuCloseComPort->isEnabled());
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM1:9600,N,8,1")); // untouched

        // "Close Com port" still works after it and deletes the file.
        f.desktop.clear();
        f.form->menuCloseComPort->trigger();
        QCOMPARE(f.desktop.events, QStringList());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Com Port is Closed"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QVERIFY(!f.settingsFilePresent());
        QVERIFY(!f.form->menuCloseComPort->isEnabled());
    }

    void closingThePortFromTheMenu()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[2] = unit.devicePath();
        f.form->Form_Load();
        f.form->menuCom(2)->trigger();
        QVERIFY(f.settingsFilePresent());
        f.desktop.clear();

        f.form->menuCloseComPort->trigger();
        QVERIFY(!f.form->Comm1.portOpen());
        QVERIFY(!f.form->menuCloseComPort->isEnabled());
        QCOMPARE(f.checkedComItems(), QList<int>());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Com Port is Closed"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QVERIFY(!f.settingsFilePresent());
        QCOMPARE(f.desktop.events, QStringList());

        f.form->Command3_Click(); // the commands now say the port is not open
        QCOMPARE(f.desktop.prompts(), QStringList {"Com Port is not open!"});
        QCOMPARE(unit.received(1), QByteArray("P"));

        f.restart(); // and the next start opens nothing and says nothing
        f.desktop.clear();
        f.form->Form_Load();
        QVERIFY(!f.form->Comm1.portOpen());
        QCOMPARE(f.desktop.events, QStringList());
    }

    void onlyTheOpenPortIsEverMarked()
    {
        FormFixture f;
        PtyUnit com1;
        PtyUnit com4;
        f.ports[1] = com1.devicePath();
        f.ports[4] = com4.devicePath();
        f.form->Form_Load();
        f.form->menuCom(1)->trigger();
        f.form->menuCom(4)->trigger();
        QCOMPARE(f.checkedComItems(), QList<int> {4});
        QVERIFY(PortHolder(com1.devicePath()).holding());
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM4:9600,N,8,1"));
    }
};

QTEST_MAIN(PortSelectionTest)
#include "tst_portselection.moc"
