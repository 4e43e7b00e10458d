// An adapter pulled out while the port is open: the program closes the port, says
// so once, keeps the settings file, and reopens the port once the device is back.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "serial/LocalLine.h"
#include "ui/VbColor.h"

#include <QPushButton>
#include <QTest>

namespace {

// A window on COM1 chosen from the menu, as the operator would have it.
struct OpenLine {
    FormFixture f;
    std::unique_ptr<PtyUnit> unit = std::make_unique<PtyUnit>();

    OpenLine()
    {
        f.ports[1] = unit->devicePath();
        f.form->Form_Load();
        f.form->menuCom(1)->trigger();
        unit->received(1); // the "P" of the selection
        f.desktop.clear();
    }

    void verifyShownAsLost()
    {
        QTRY_COMPARE(f.desktop.events, QStringList({"beep", "box: The Com Port is not available"}));
        // The reason under the fixed text: the port, its device, and one cause for a
        // device that went away, whichever call met the failure first.
        QCOMPARE(f.desktop.boxes.at(0).detail,
                 QStringLiteral("COM1 (%1): %2").arg(f.ports[1], QLatin1String(LocalLine::kLineGoneWords)));
        QVERIFY(!f.form->Comm1.portOpen());
        QCOMPARE(f.checkedComItems(), QList<int>());
        QVERIFY(!f.form->menuCloseComPort->isEnabled());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Com Port Closed"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QCOMPARE(f.settingsFileBytes(), QByteArray("COM1:9600,N,8,1"));
        QCOMPARE(f.desktop.endings, QList<int>());
    }
};

} // namespace

class LostDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void whileIdle()
    {
        OpenLine line;
        line.unit->hangUp();
        line.verifyShownAsLost();

        // Ticks go on behind the box and after it; nothing more is said.
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            line.f.form->Timer1_Timer();
        }
        QCOMPARE(line.f.desktop.boxes.size(), 1);
        line.f.form->Command4_Click(); // the commands now see a closed port
        QCOMPARE(line.f.desktop.prompts().last(), QStringLiteral("Com Port is not open!"));
    }

    void whileDataIsArriving()
    {
        OpenLine line;
        line.unit->send("PLAY 1\r\n");
        QTRY_COMPARE(line.f.form->TextBox->caption(), QStringLiteral("PLAY 1\r\n"));
        line.unit->send("PLAY 2\r\n");
        line.unit->hangUp();
        line.verifyShownAsLost();
        QVERIFY(line.f.form->TextBox->caption().startsWith(QStringLiteral("PLAY 1\r\n")));
    }

    void inTheMiddleOfACommand()
    {
        OpenLine line;
        line.f.form->Command3_Click();
        QCOMPARE(line.f.form->Status->caption(), QStringLiteral("Play"));
        line.unit->hangUp();
        line.f.form->Command4_Click(); // before the component noticed
        QVERIFY(line.f.form->Status->caption() != QStringLiteral("Transmit"));
        line.verifyShownAsLost();
    }

    void ticksBehindTheBoxRaiseNoMoreBoxes()
    {
        OpenLine line;
        int boxesWhileShown = 0;
        line.f.desktop.whileBoxShown = [&](const RecordingDesktop::Box &) {
            // The operator reads the box while the timer and the line go on.
            for (int i = 0; i < 30; ++i) {
                QCoreApplication::processEvents();
                line.f.form->Timer1_Timer();
            }
            boxesWhileShown = static_cast<int>(line.f.desktop.boxes.size());
        };
        line.unit->hangUp();
        line.verifyShownAsLost();
        QCOMPARE(boxesWhileShown, 1);
    }

    // A unit that stops reading is not a lost line: the command that finds the output
    // queue full is not sent and not shown, the operator is told why, and the port
    // stays open for the commands that follow once the unit reads again.
    void aStalledUnitRefusesCommandsButKeepsThePort()
    {
        OpenLine line;
        line.f.form->Command1_Click();
        QCOMPARE(line.f.form->Status->caption(), QStringLiteral("MIC record"));
        qsizetype sent = 1;
        while (line.f.desktop.boxes.isEmpty() && sent < 4 * 1024 * 1024) {
            line.f.form->Number[7]->click();
            ++sent;
        }
        --sent; // the click that met the full queue
        QCOMPARE(line.f.desktop.events, QStringList({"beep", "box: The command was not sent"}));
        const QString detail = line.f.desktop.boxes.at(0).detail;
        QVERIFY2(detail.contains(line.unit->devicePath()) && detail.contains(QStringLiteral("\"7\" was not sent")),
                 qPrintable(detail));

        line.f.desktop.clear();
        line.f.form->Command4_Click(); // refused too: the status must not claim it
        QCOMPARE(line.f.desktop.prompts(), QStringList {"The command was not sent"});
        QCOMPARE(line.f.form->Status->caption(), QStringLiteral("MIC record"));
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
            line.f.form->Timer1_Timer();
        }
        QCOMPARE(line.f.desktop.boxes.size(), 1);
        QVERIFY(line.f.form->Comm1.portOpen());
        QCOMPARE(line.f.checkedComItems(), QList<int> {1});
        QVERIFY(line.f.form->menuCloseComPort->isEnabled());
        QCOMPARE(line.f.desktop.endings, QList<int>());

        QCOMPARE(line.unit->received(sent).size(), sent); // the unit reads again
        line.f.form->Command4_Click();
        QCOMPARE(line.unit->received(1), QByteArray("T"));
        QCOMPARE(line.f.form->Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(line.f.desktop.boxes.size(), 1);
    }

    void theSameItemReopensThePortWhenTheDeviceIsBack()
    {
        OpenLine line;
        line.unit->hangUp();
        line.verifyShownAsLost();

        line.unit = std::make_unique<PtyUnit>(); // plugged back in
        line.f.ports[1] = line.unit->devicePath();
        line.f.form->menuCom(1)->trigger();
        QVERIFY(line.f.form->Comm1.portOpen());
        QCOMPARE(line.f.checkedComItems(), QList<int> {1});
        QCOMPARE(line.unit->received(1), QByteArray("P"));

        line.f.restart(); // and so does the next start, from the file left in place
        line.f.form->Form_Load();
        QVERIFY(line.f.form->Comm1.portOpen());
    }
};

QTEST_MAIN(LostDeviceTest)
#include "tst_lostdevice.moc"
