// The window as the operator first sees it: names, captions, layout, tab order,
// focus, menus, colours and the labels' plain text.
#include "support/FormFixture.h"
#include "ui/HearingInWindow.h"
#include "ui/VbColor.h"
#include "ui/VisibleText.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

QStringList itemNames(const QMenu *menu)
{
    QStringList names;
    for (const QAction *action : menu->actions())
        names << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return names;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsCarryTheirNamesAndCaptions()
    {
        FormFixture f;
        Form1 &form = *f.form;
        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
        QCOMPARE(form.windowTitle(), QStringLiteral("ORMA QX50 Voice Memory"));
        const QList<std::pair<QString, QString>> buttons {{"Command1", "MIC record"}, {"Command2", "RX record"},
                                                          {"Command3", "Play"},       {"Command4", "Transmit"},
                                                          {"Command5", "Stop"},       {"Command6", "x"}};
        for (const auto &[name, caption] : buttons) {
            auto *b = form.findChild<QPushButton *>(name);
            QVERIFY2(b, qPrintable(name));
            QCOMPARE(b->text(), caption);
        }
        for (int digit = 0; digit <= 9; ++digit) {
            auto *b = form.findChild<QPushButton *>(QStringLiteral("Number%1").arg(digit));
            QVERIFY(b);
            QCOMPARE(b->text(), QString::number(digit));
            QCOMPARE(b, form.Number[static_cast<size_t>(digit)]);
        }
        QCOMPARE(form.findChild<QGroupBox *>("Frame3")->title(), QStringLiteral("Function"));
        QCOMPARE(form.findChild<QGroupBox *>("Frame2")->title(), QStringLiteral("Memory"));
        QCOMPARE(form.findChild<Label *>("Label1")->caption(), QStringLiteral("Serial com RX data"));
        QVERIFY(form.findChild<QFrame *>("Line1"));
        QVERIFY(form.findChild<QFrame *>("Line2"));
        QVERIFY(form.findChild<QTimer *>("Timer1") || form.Timer1.objectName() == QLatin1String("Timer1"));
        QCOMPARE(form.Status->caption(), QStringLiteral("MIC record"));
        QCOMPARE(form.Status->foreColor(), VbColor::kButtonText);
        QVERIFY(form.Status->font().bold());
        QVERIFY(form.Status->alignment() & Qt::AlignHCenter);
        QVERIFY(form.Command6->font().bold());
        QCOMPARE(form.TextBox->caption(), QString());
        QVERIFY(form.TextBox->isHidden());
        QCOMPARE(form.TextBox->textFormat(), Qt::PlainText);
        QVERIFY(form.Timer1.isActive());
        QCOMPARE(form.Timer1.interval(), 100);
        QVERIFY(form.windowIcon().availableSizes().contains(QSize(32, 32)));
    }

    void layoutFollowsTheDesign()
    {
        FormFixture f;
        Form1 &form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.controlsArea()->size(), QSize(268, 436));
        QCOMPARE(form.minimumSize(), form.maximumSize()); // never resizable

        // The keypad: 7-8-9, 4-5-6, 1-2-3, then 0 under 2.
        auto at = [&](int digit) { return form.Number[static_cast<size_t>(digit)]->geometry().topLeft(); };
        for (int row : {7, 4, 1}) {
            QCOMPARE(at(row).y(), at(row + 1).y());
            QCOMPARE(at(row + 1).y(), at(row + 2).y());
            QVERIFY(at(row).x() < at(row + 1).x() && at(row + 1).x() < at(row + 2).x());
        }
        QVERIFY(at(7).y() < at(4).y() && at(4).y() < at(1).y() && at(1).y() < at(0).y());
        QCOMPARE(at(0).x(), at(2).x());

        // Stop stands on its own under the Memory frame; the panel lies below Line2.
        QCOMPARE(form.Command5->parentWidget(), form.controlsArea());
        QCOMPARE(form.Command5->geometry().center().x(), form.Frame2->geometry().center().x());
        QVERIFY(form.Command5->geometry().top() > form.Frame2->geometry().bottom());
        QCOMPARE(form.Line2->y(), 208);
        QCOMPARE(form.Command6->y(), form.Label1->y());
        QVERIFY(form.Command6->x() > form.Label1->geometry().right());
        QVERIFY(form.TextBox->geometry().bottom() < 436);
        QVERIFY(form.Status->geometry().right() < form.Command5->x());
    }

    void tabGoesThroughTheButtonsInDesignOrderFromPlay()
    {
        FormFixture f;
        Form1 &form = *f.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(form.Command3));

        const QStringList expected {"Play", "1", "0", "2",          "3",         "4",        "5",    "6",
                                    "7",    "8", "9", "MIC record", "RX record", "Transmit", "Stop", "Play"};
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            auto *focused = qobject_cast<QPushButton *>(QApplication::focusWidget());
            QVERIFY(focused);
            visited << focused->text();
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(visited, expected); // "x" is left to the mouse
    }

    void menusStartInTheirDesignState()
    {
        FormFixture f;
        Form1 &form = *f.form;
        QStringList tops;
        QStringList accessKeys;
        for (const QAction *a : form.menuBar()->actions()) {
            tops << QString(a->text()).remove(u'&'); // as shown; the access key is underlined
            accessKeys << QKeySequence::mnemonic(a->text()).toString();
        }
        QCOMPARE(tops, QStringList({"Files", "Options", "Com", "Help"}));
        QCOMPARE(accessKeys, QStringList({"Alt+F", "Alt+O", "Alt+C", "Alt+H"}));
        QCOMPARE(itemNames(form.findChild<QMenu *>("Files")), QStringList({"Exit"}));
        QCOMPARE(itemNames(form.findChild<QMenu *>("menuOptions")),
                 QStringList({"Keyboard Commands", "Show Serial Com RX data", "-", "Repeat Transmit\u2026",
                              "Speak Received Data", "Reopen Lost Port", "Message Names\u2026", "Sounds", "Speech"}));
        QCOMPARE(itemNames(form.findChild<QMenu *>("menu_mainCom")),
                 QStringList({"Com1", "Com2", "Com3", "Com4", "-", "Close Com port", "-", "Port devices\u2026"}));
        QCOMPARE(itemNames(form.findChild<QMenu *>("Help")), QStringList({"Guide", "-", "About"}));

        QVERIFY(form.menuKeyboardCommands->isChecked());
        QVERIFY(!form.menuShowSerialComRxData->isChecked());
        QCOMPARE(form.menuReopenLostPort->isChecked(), form.Comm1.reopenLostPort());
        QVERIFY(PanelPreferences().reopenLostPort()); // on until the operator turns it off
        QVERIFY(form.menuSpeakReceivedData->isChecked());
        QVERIFY(!form.menuCloseComPort->isEnabled());
        for (int index = 1; index <= 4; ++index) {
            QVERIFY(form.menuCom(index)->isEnabled());
            QVERIFY(!form.menuCom(index)->isChecked());
            QCOMPARE(form.menuCom(index)->property("Index").toInt(), index);
            QCOMPARE(form.menuCom(index)->text(), QStringLiteral("Com%1").arg(index));
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, form.menuCom(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, form.menuCom(5));
        // No item has a shortcut; the one key of the window's own is F12, which reads the set.
        for (const QAction *a : form.findChildren<QAction *>())
            QVERIFY2(a->shortcut().isEmpty() || a == form.findChild<HearingInWindow *>()->readSetKey(),
                     qPrintable(a->text()));
    }

    void colourValuesMapOntoThePalette()
    {
        QCOMPARE(VbColor::toColor(0x000000FF), QColor(255, 0, 0));
        QCOMPARE(VbColor::toColor(0x00FF0000), QColor(0, 0, 255));
        QCOMPARE(VbColor::toColor(0x00123456), QColor(0x56, 0x34, 0x12));
        const QPalette palette = QGuiApplication::palette();
        QCOMPARE(VbColor::toColor(0x80000012), palette.color(QPalette::ButtonText));
        QCOMPARE(VbColor::toColor(0x80000005), palette.color(QPalette::Base));

        Label label;
        label.setForeColor(VbColor::kRed);
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(label.foreColor(), VbColor::kRed);
    }

    void labelsKeepTheirTextAndShowEveryCharacter()
    {
        Label label;
        const QString received = QStringLiteral("<b>x</b>\r\nA") + QChar(0) + QChar(7) + QChar(0x7F) + QChar(0x85)
            + QChar(0xFF) + QStringLiteral("\rB\nC");
        label.setCaption(received);
        QCOMPARE(label.caption(), received); // kept unaltered
        QCOMPARE(label.text(), QStringLiteral("<b>x</b>\nA\u2400\u2407\u2421\uFFFD\u00FF\nB\nC"));
        QCOMPARE(label.textFormat(), Qt::PlainText);
        QCOMPARE(visibleText(QStringLiteral("a\tb")), QStringLiteral("a\tb"));
        QCOMPARE(visibleText(QStringLiteral("\r\r\n")), QStringLiteral("\n\n"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
