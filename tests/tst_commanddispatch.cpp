// The fifteen buttons: the exact byte on the line, the status line, and the warning
// when no port is open.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "panel/UntrappedFailure.h"
#include "ui/VbColor.h"

#include <QPushButton>
#include <QTest>

namespace {

constexpr quint32 kButtonText = VbColor::kButtonText;
constexpr quint32 kRed = VbColor::kRed;

QPushButton *button(Form1 &form, const QString &name)
{
    return form.findChild<QPushButton *>(name);
}

} // namespace

class CommandDispatchTest : public QObject {
    Q_OBJECT

private slots:
    void everyButtonWarnsAndSendsNothingWhileClosed()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.form->Status->setCaption(QStringLiteral("Transmit"));
        f.form->Status->setForeColor(kRed);

        const QStringList names {"Command1", "Command2", "Command3", "Command4", "Command5",
                                 "Number0",  "Number1",  "Number2",  "Number3",  "Number4",
                                 "Number5",  "Number6",  "Number7",  "Number8",  "Number9"};
        for (const QString &name : names) {
            f.desktop.clear();
            QTest::mouseClick(button(*f.form, name), Qt::LeftButton);
            QCOMPARE(f.desktop.events, QStringList({"beep", "box: Com Port is not open!"}));
            QCOMPARE(f.desktop.boxes.at(0).style, 0);
            QCOMPARE(f.desktop.boxes.at(0).title, QStringLiteral("orma-qx50-voice-mem"));
            QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
            QCOMPARE(f.form->Status->foreColor(), kRed);
        }
        QCOMPARE(unit.received(), QByteArray());
    }

    void eachButtonSendsItsOneByte_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("byte");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<quint32>("color");
        // Before each click the status reads "before" in red.
        QTest::addRow("MIC record") << "Command1" << QByteArray("M") << "MIC record" << kButtonText;
        QTest::addRow("RX record") << "Command2" << QByteArray("R") << "RX record" << kButtonText;
        QTest::addRow("Play") << "Command3" << QByteArray("P") << "Play" << kButtonText;
        QTest::addRow("Transmit") << "Command4" << QByteArray("T") << "Transmit" << kRed;
        QTest::addRow("Stop") << "Command5" << QByteArray("S") << "before" << kRed;
        for (int digit = 0; digit <= 9; ++digit)
            QTest::addRow("%d", digit) << QStringLiteral("Number%1").arg(digit) << QByteArray::number(digit) << "before"
                                       << kRed;
    }
    void eachButtonSendsItsOneByte()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, byte);
        QFETCH(QString, caption);
        QFETCH(quint32, color);

        FormFixture f;
        PtyUnit unit;
        f.ports[2] = unit.devicePath();
        f.openPort(2);
        f.form->Status->setCaption(QStringLiteral("before"));
        f.form->Status->setForeColor(kRed);

        QTest::mouseClick(button(*f.form, name), Qt::LeftButton);
        QCOMPARE(unit.received(1), byte); // exactly one byte: no CR, no LF
        QCOMPARE(f.form->Status->caption(), caption);
        QCOMPARE(f.form->Status->foreColor(), color);
        QCOMPARE(f.desktop.events, QStringList());
    }

    void sequencesGoOutInClickOrderAndRepeat()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);

        f.form->Command4_Click();
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(f.form->Status->foreColor(), kRed);
        f.form->Command5_Click(); // Stop keeps the last function on show
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(f.form->Status->foreColor(), kRed);
        f.form->Command3_Click();
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        QCOMPARE(f.form->Status->foreColor(), kButtonText);
        for (int i = 0; i < 3; ++i)
            f.form->Command1_Click();
        f.form->Number0_Click();
        f.form->Number9_Click();
        QCOMPARE(unit.received(8), QByteArray("TSPMMM09"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("MIC record"));
    }

    void aByteThatCannotGoOutIsNeverShownAsSent()
    {
        FormFixture f;
        auto unit = std::make_unique<PtyUnit>();
        f.ports[1] = unit->devicePath();
        f.openPort(1);
        f.form->Status->setCaption(QStringLiteral("Play"));
        unit->hangUp(); // the click comes before the component has noticed

        QTest::mouseClick(f.form->Command4, Qt::LeftButton);
        QVERIFY(f.form->Status->caption() != QStringLiteral("Transmit"));
        QVERIFY(!f.form->Comm1.portOpen());
        QTRY_COMPARE(f.desktop.prompts(), QStringList {"The Com Port is not available"});
        QCOMPARE(f.desktop.endings, QList<int>()); // the program goes on
    }

    void anUnexpectedFailureIsNamedAndEndsTheProgram()
    {
        RecordingDesktop desktop;
        bool after = false;
        runTrapped(desktop, [&] {
            throw std::runtime_error("the window could not be drawn");
            after = true;
        });
        QVERIFY(!after);
        QCOMPARE(desktop.boxes.size(), 1);
        QVERIFY(desktop.boxes.at(0).prompt.contains(QStringLiteral("the window could not be drawn")));
        QCOMPARE(desktop.boxes.at(0).style, 16);
        QCOMPARE(desktop.endings, QList<int> {1});

        desktop.clear();
        runTrapped(desktop, [] { throw 42; });
        QCOMPARE(desktop.endings, QList<int> {1});
    }
};

QTEST_MAIN(CommandDispatchTest)
#include "tst_commanddispatch.moc"
