// The received-data panel: the newest 188 characters, unaltered, and showing and
// hiding the panel.
#include "serial/ReceivedText.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "ui/TailLabel.h"

#include <QAction>
#include <QFontMetrics>
#include <QImage>
#include <QPushButton>
#include <QFontInfo>
#include <QTest>

namespace {

QString latin1(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

// Pixels inside the rectangle that differ from the panel's background: the glyph drawn there.
int inkIn(const QImage &image, const QRect &area, QRgb background)
{
    int ink = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            ink += image.pixel(x, y) != background;
    return ink;
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

    void theEndOfTheTextIsAlwaysInView_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<bool>("everyCharacterInView"); // or only the newest line

        QString lines;
        for (int i = 1; i <= 40; ++i)
            lines += QStringLiteral("SLOT %1\r\n").arg(i % 10);
        QTest::addRow("40 short lines") << keepNewest({}, lines + QStringLiteral("END")) << false;
        QTest::addRow("40 lines, LF only")
            << keepNewest({}, QString(lines).remove(u'\r') + QStringLiteral("END")) << false;
        QTest::addRow("188 characters, no space") << QString(188, u'W') << true;
        QTest::addRow("a long word after short lines")
            << keepNewest({}, QStringLiteral("A\r\nB\r\n") + QString(150, u'M')) << true;
        QString controls;
        for (char16_t c = 0; c < 0x20; ++c)
            if (c != u'\r' && c != u'\n' && c != u'\t')
                controls += QChar(c);
        QTest::addRow("control characters only") << controls.repeated(6) << true;
    }

    void theEndOfTheTextIsAlwaysInView()
    {
        QFETCH(QString, received);
        QFETCH(bool, everyCharacterInView);
        FormFixture f;
        f.form->show();
        f.form->menuShowSerialComRxData->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        auto *panel = qobject_cast<TailLabel *>(f.form->TextBox);
        QVERIFY(panel);
        panel->setCaption(received);

        const QString drawn = panel->text();
        const qsizetype last = drawn.size() - 1;
        const qsizetype lineStart = drawn.lastIndexOf(u'\n') + 1;
        for (qsizetype i = everyCharacterInView ? 0 : lineStart; i <= last; ++i) {
            if (drawn.at(i) == u'\n')
                continue; // a line break takes no room
            const QRectF glyph = panel->characterRect(i);
            QVERIFY2(!glyph.isEmpty(), qPrintable(QString::number(i)));
            QVERIFY2(QRectF(panel->rect()).contains(glyph),
                     qPrintable(QStringLiteral("character %1 at %2,%3 %4x%5 is outside the panel")
                                    .arg(i)
                                    .arg(glyph.x())
                                    .arg(glyph.y())
                                    .arg(glyph.width())
                                    .arg(glyph.height())));
        }

        // ... and drawn there: the newest character leaves ink inside its cell.
        const QImage image = panel->grab().toImage();
        const QRgb background = panel->palette().color(QPalette::Window).rgb();
        QVERIFY(inkIn(image, panel->characterRect(last).toAlignedRect(), background) > 0);
    }

    void controlCharactersHaveAFontToShowThem()
    {
        FormFixture f;
        const QFontMetrics metrics(f.form->TextBox->font());
        for (char32_t picture = 0x2400; picture <= 0x2421; ++picture)
            QVERIFY2(metrics.inFontUcs4(picture) || (picture > 0x241F && picture < 0x2421),
                     qPrintable(QStringLiteral("U+%1 has no glyph; is fonts-symbola installed?")
                                    .arg(quint32(picture), 4, 16, QLatin1Char('0'))));
    }

    // Letters and digits keep the window's font; Symbola only fills in the pictures.
    void thePanelKeepsTheWindowsFont()
    {
        FormFixture f;
        const QFont panel = f.form->TextBox->font();
        QCOMPARE(QFontInfo(panel).family(), QFontInfo(f.form->font()).family());
        QCOMPARE(panel.families().constLast(), QStringLiteral("Symbola"));
        QCOMPARE(panel.families().count(QStringLiteral("Symbola")), 1);
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
