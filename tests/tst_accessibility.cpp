// What a screen reader is given: the lines it hears as the unit sends them, and the
// texts and states of the window's controls.
#include "support/FormFixture.h"
#include "ui/ArrivingLines.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QTest>


class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreHeardOnceAsTheyArrive_data()
    {
        QTest::addColumn<QStringList>("arriving"); // one entry per tick
        QTest::addColumn<QList<QStringList>>("heard");

        QTest::addRow("whole lines") << QStringList{"TX 3\r\n", "STOP\r\nSLOT 5\r\n"}
                                     << QList<QStringList>{{"TX 3"}, {"STOP", "SLOT 5"}};
        QTest::addRow("a line over two ticks") << QStringList{"PLA", "Y 3\r\n"}
                                               << QList<QStringList>{{}, {"PLAY 3"}};
        QTest::addRow("a quiet tick gives what has come, the rest follows")
            << QStringList{"REC ", "", "", "MIC 3\r\n"} << QList<QStringList>{{}, {"REC "}, {}, {"MIC 3"}};
        QTest::addRow("CR LF split between ticks is one line end")
            << QStringList{"A\r", "\nB\n", "\r\n\r\n"} << QList<QStringList>{{"A"}, {"B"}, {}};
        QTest::addRow("bare CR and bare LF end lines") << QStringList{"A\rB\nC\n\rD\r"}
                                                       << QList<QStringList>{{"A", "B", "C", "D"}};
        QTest::addRow("blank lines are not heard") << QStringList{"  \r\n\t\r\n", ""}
                                                   << QList<QStringList>{{}, {}};
        QTest::addRow("control characters as symbols")
            << QStringList{QString::fromLatin1("A\0B\x07\r\n", 6)} << QList<QStringList>{{QStringLiteral("A\u2400B\u2407")}};
        QTest::addRow("a line with no end is cut at 188")
            << QStringList{QString(400, u'x')} << QList<QStringList>{{QString(188, u'x'), QString(188, u'x')}};
    }

    void linesAreHeardOnceAsTheyArrive()
    {
        QFETCH(QStringList, arriving);
        QFETCH(QList<QStringList>, heard);
        ArrivingLines lines;
        for (qsizetype tick = 0; tick < arriving.size(); ++tick)
            QCOMPARE(lines.take(arriving.at(tick)), heard.at(tick));
    }

    // What the AT-SPI test cannot see on Qt 6.4: the text interface's bounds and the
    // characters it hands out, and the check items' checkable state.
    void textsAndCheckItemsAreSafeToRead()
    {
        FormFixture f;
        Form1 &form = *f.form;
        form.Status->setCaption(QStringLiteral("Transmit"));
        QAccessibleTextInterface *status = QAccessible::queryAccessibleInterface(form.Status)->textInterface();
        QVERIFY(status);
        QCOMPARE(status->text(2, 4), QStringLiteral("an"));
        QCOMPARE(status->text(-5, 99), QStringLiteral("Transmit"));
        QCOMPARE(status->text(6, 2), QString());

        form.TextBox->setCaption(QString::fromLatin1("TX 3\r\n\0", 7));
        QAccessibleTextInterface *panel = QAccessible::queryAccessibleInterface(form.TextBox)->textInterface();
        QCOMPARE(panel->text(0, -1), QStringLiteral("TX 3\n\u2400")); // as drawn: no NUL goes over D-Bus

        QAccessibleInterface *options = QAccessible::queryAccessibleInterface(form.findChild<QMenu *>("menuOptions"));
        QAccessibleInterface *panelItem = options->child(1);
        QCOMPARE(panelItem->object(), form.menuShowSerialComRxData);
        QVERIFY(panelItem->state().checkable);
        QVERIFY(!panelItem->state().checked);
        panelItem->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(panelItem->state().checked); // through the item's own handler: the panel is shown
        QVERIFY(!form.TextBox->isHidden());
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
