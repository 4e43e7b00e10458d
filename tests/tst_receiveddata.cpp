// The received-data panel: the newest 188 characters, unaltered, and showing and
// hiding the panel.
#include "serial/ReceivedText.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

namespace {

QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace

class ReceivedDataTest : public QObject {
    Q_OBJECT

private slots:
    void keepsTheNewest188Characters()
    {
        QString kept;
        for (int i = 0; i < 150; ++i)
            kept += QChar(u'a' + i % 26);
        QString arriving;
        for (int i = 0; i < 50; ++i)
            arriving += QChar(u'A' + i % 26);
        const QString all = kept + arriving;
        QCOMPARE(keepNewest(kept, arriving), all.mid(12)); // characters 13 to 200
        QCOMPARE(keepNewest(kept, arriving).size(), 188);

        const QString big(300, u'x');
        QCOMPARE(keepNewest(QStringLiteral("old"), big + QStringLiteral("end")).right(3), QStringLiteral("end"));
        QCOMPARE(keepNewest(QStringLiteral("old"), big).size(), 188);
        QCOMPARE(keepNewest(QStringLiteral("old"), QString()), QStringLiteral("old"));
        QCOMPARE(keepNewest(QString(), QString::fromLatin1("\r\n\0", 3)).size(), 3); // control characters count
    }

    void whatTheUnitSendsAppearsUnaltered()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);

        const QByteArray sent = QByteArray("PLAY 3\r\n<b>x</b>\x00\xFF\xE9", 19);
        unit.send(sent);
        QTRY_COMPARE(f.form->TextBox->caption(), latin1(sent));
        QCOMPARE(f.form->TextBox->textFormat(), Qt::PlainText);

        // One read far over the limit leaves only its newest 188 characters.
        QByteArray flood;
        for (int i = 0; i < 300; ++i)
            flood += static_cast<char>('0' + i % 10);
        flood += "END";
        unit.send(flood);
        QTRY_COMPARE(f.form->TextBox->caption(), latin1(flood.right(188)));
    }

    void theTextSurvivesClosingReselectingAndHiding()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[2] = unit.devicePath();
        f.form->Form_Load();
        f.form->menuCom(2)->trigger();
        unit.send("STOP\r\n");
        QTRY_COMPARE(f.form->TextBox->caption(), QStringLiteral("STOP\r\n"));

        f.form->menuCloseComPort->trigger();
        f.form->Timer1_Timer(); // a tick with the port closed changes nothing
        QCOMPARE(f.form->TextBox->caption(), QStringLiteral("STOP\r\n"));

        f.form->menuCom(2)->trigger();
        unit.send("SLOT 5\r\n"); // arrives while the panel is hidden
        QTRY_COMPARE(f.form->TextBox->caption(), QStringLiteral("STOP\r\nSLOT 5\r\n"));
        f.form->menuShowSerialComRxData->trigger();
        QVERIFY(f.form->TextBox->isVisible() || !f.form->isVisible());
        QCOMPARE(f.form->TextBox->text(), QStringLiteral("STOP\nSLOT 5\n")); // line breaks start lines
    }

    void theMenuAndTheCloseBoxShowAndHideThePanel()
    {
        FormFixture f;
        f.form->loadAndShow();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const QPoint topLeft = f.form->pos();
        QWidget *area = f.form->controlsArea();
        auto panelInside = [&] { return area->rect().contains(f.form->Command6->geometry().center()); };
        QVERIFY(!panelInside());

        f.form->menuShowSerialComRxData->trigger();
        QVERIFY(f.form->menuShowSerialComRxData->isChecked());
        QVERIFY(f.form->TextBox->isVisible());
        QCOMPARE(area->height(), 436);
        QCOMPARE(f.form->outerHeight(), Form1::kDesignHeight);
        QVERIFY(panelInside());
        QVERIFY(area->rect().contains(f.form->TextBox->geometry()));
        QCOMPARE(f.form->pos(), topLeft); // it grows at the bottom

        f.form->menuShowSerialComRxData->trigger();
        QVERIFY(!f.form->menuShowSerialComRxData->isChecked());
        QVERIFY(!f.form->TextBox->isVisible());
        QCOMPARE(area->height(), 205);
        QCOMPARE(f.form->pos(), topLeft);

        f.form->menuShowSerialComRxData->trigger();
        QTest::mouseClick(f.form->Command6, Qt::LeftButton);
        QVERIFY(!f.form->menuShowSerialComRxData->isChecked());
        QVERIFY(!f.form->TextBox->isVisible());
        QCOMPARE(area->height(), 205);
        QVERIFY(!panelInside());

        f.form->menuShowSerialComRxData->trigger(); // and the menu shows it again
        QVERIFY(f.form->menuShowSerialComRxData->isChecked());
        QCOMPARE(area->height(), 436);
    }
};

QTEST_MAIN(ReceivedDataTest)
#include "tst_receiveddata.moc"
