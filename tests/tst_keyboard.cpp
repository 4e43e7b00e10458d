// Single-key commands, previewed before the focused control, and the key going on
// to that control afterwards.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "contract/CommandTable.h"
#include "ui/VbColor.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

void typeText(QWidget *target, const QString &text)
{
    QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, text, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, target, Qt::Key_unknown, text, Qt::NoModifier);
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void theKeyTable()
    {
        const QString letters = QStringLiteral("MmRrPpTtSs");
        for (QChar c : letters)
            QCOMPARE(CommandTable::commandForKey(c.unicode()),
                     std::optional<char>(static_cast<char>(c.toUpper().unicode())));
        for (char d = '0'; d <= '9'; ++d)
            QCOMPARE(CommandTable::commandForKey(d), std::optional<char>(d));
        for (int code : {int('a'), int('x'), int('X'), int(' '), int('\r'), 27, 0, int('/'), int(':'), 0xD3, 0xFF})
            QVERIFY2(!CommandTable::commandForKey(code).has_value(), qPrintable(QString::number(code)));
    }

    void withThePortClosedEveryCharacterKeyWarns()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.form->Status->setCaption(QStringLiteral("Play"));

        QTest::keyClick(f.form->Command3, 'm'); // the box opens once the key has passed
        QTRY_COMPARE(f.desktop.events, QStringList({"beep", "box: Com Port is not open!"}));

        f.form->menuKeyboardCommands->trigger(); // off: a non-command still warns
        f.desktop.clear();
        QTest::keyClick(f.form.get(), 'x');
        QTRY_COMPARE(f.desktop.beeps(), 1);
        typeText(f.form.get(), QStringLiteral("€"));
        QTRY_COMPARE(f.desktop.beeps(), 2);
        QCOMPARE(f.desktop.prompts(), QStringList({"Com Port is not open!", "Com Port is not open!"}));

        f.desktop.clear(); // keys that give no character, Tab and Alt combinations are not previewed
        QTest::keyClick(f.form.get(), Qt::Key_Left);
        QTest::keyClick(f.form.get(), Qt::Key_F5);
        QTest::keyClick(f.form.get(), Qt::Key_Shift);
        QTest::keyClick(f.form->Command3, Qt::Key_Tab);
        QTest::keyClick(f.form.get(), 'm', Qt::AltModifier);
        QCoreApplication::processEvents();
        QCOMPARE(f.desktop.events, QStringList());
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));
        QCOMPARE(unit.received(), QByteArray());
    }

    void commandKeysSendWhatTheButtonsSend()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);

        QTest::keyClick(f.form->Command3, 'm'); // a letter the focused button ignores: still once
        QTest::keyClick(f.form.get(), 'M');
        QCOMPARE(unit.received(2), QByteArray("MM"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("MIC record"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kButtonText);

        QTest::keyClick(f.form->Number[7], 't');
        QCOMPARE(unit.received(1), QByteArray("T"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(f.form->Status->foreColor(), VbColor::kRed);
        QTest::keyClicks(f.form.get(), QStringLiteral("s5rRpP09"));
        QCOMPARE(unit.received(8), QByteArray("S5RRPP09"));
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Play"));

        QTest::keyClicks(f.form.get(), QStringLiteral("ax:"));
        QTest::keyClick(f.form.get(), Qt::Key_Return);
        QTest::keyClick(f.form.get(), Qt::Key_Escape);
        typeText(f.form.get(), QStringLiteral("€"));
        QCOMPARE(unit.received(), QByteArray());
        QCOMPARE(f.desktop.events, QStringList()); // no beep with the port open
    }

    void theSwitchTurnsCommandsOffAndOn()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);

        f.form->menuKeyboardCommands->trigger();
        QVERIFY(!f.form->menuKeyboardCommands->isChecked());
        QTest::keyClick(f.form.get(), 'm');
        QCOMPARE(unit.received(), QByteArray());
        QCOMPARE(f.desktop.events, QStringList());

        f.form->menuKeyboardCommands->trigger();
        QVERIFY(f.form->menuKeyboardCommands->isChecked());
        QTest::keyClick(f.form.get(), 'm');
        QCOMPARE(unit.received(1), QByteArray("M"));
    }

    void theKeyGoesOnToTheFocusedButton()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.form->Number[5]->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.form->Number[5]));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space); // previewed: no command
        QCOMPARE(unit.received(1), QByteArray("5")); // then the button pressed
        QTest::keyClick(QApplication::focusWidget(), '8');
        QCOMPARE(unit.received(1), QByteArray("8"));
    }

    // A real box takes the keyboard while it is open, as this stand-in does, so a key's
    // release lands on it.
    void spaceOnAFocusedButtonWithThePortClosedWarnsOnce()
    {
        FormFixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        QPushButton *play = f.form->Command3;
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(play));
        f.desktop.whileBoxShown = [&](const RecordingDesktop::Box &) {
            QWidget box;
            box.show();
            box.activateWindow();
            QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == &box; }));
            QTest::keyRelease(&box, Qt::Key_Space); // the release goes to the box
        };

        for (int press = 1; press <= 2; ++press) {
            QTest::keyPress(play, Qt::Key_Space);
            QTRY_COMPARE(f.desktop.boxes.size(), press);
            f.form->activateWindow();
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(play));
            QVERIFY2(!play->isDown(), "the button stayed down under the box");
        }
        QCoreApplication::processEvents();
        QCOMPARE(f.desktop.prompts(), QStringList({"Com Port is not open!", "Com Port is not open!"}));
        QCOMPARE(f.desktop.beeps(), 2);

        // Without a box taking the keyboard (the release reaches the button): still one box.
        f.desktop.whileBoxShown = nullptr;
        f.desktop.clear();
        QTest::keyClick(play, Qt::Key_Space);
        QTRY_COMPARE(f.desktop.boxes.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(f.desktop.boxes.size(), 1);
    }

    void keysTheMenusTakeAreNotCommands_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<bool>("byMouse");
        QTest::addRow("port closed, Alt+O") << false << false;
        QTest::addRow("port open, Alt+O") << true << false;
        QTest::addRow("port closed, clicked") << false << true;
        QTest::addRow("port open, clicked") << true << true;
    }

    // Only the keys that walk or open the menus are theirs: once Escape has closed a
    // menu, the menu bar still holds the keyboard, but command keys are commands.
    void keysTheMenusTakeAreNotCommands()
    {
        QFETCH(bool, portOpen);
        QFETCH(bool, byMouse);
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        if (portOpen)
            f.openPort(1);
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        auto *options = f.form->findChild<QMenu *>("menuOptions");
        QMenuBar *bar = f.form->menuBar();

        if (byMouse)
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(options->menuAction()).center());
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier); // Alt+O opens Options
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget *>(options));
        QTest::keyClick(options, Qt::Key_Escape); // closes the menu
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(bar));
        // A menu title's access key and the keys that walk the bar stay the menus'.
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, 'o');
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget *>(options));
        QTest::keyClick(options, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCoreApplication::processEvents();
        QCOMPARE(f.desktop.events, QStringList());
        QCOMPARE(unit.received(), QByteArray());

        // Any other character key is previewed, as on the buttons.
        QTest::keyClick(bar, 't');
        if (portOpen) {
            QCOMPARE(unit.received(1), QByteArray("T"));
            QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
            QCOMPARE(f.desktop.events, QStringList());
        } else {
            QTRY_COMPARE(f.desktop.prompts(), QStringList({"Com Port is not open!"}));
            QCOMPARE(f.desktop.beeps(), 1);
        }

        // A second Escape gives the keyboard back to the buttons; keys are commands there.
        f.desktop.clear();
        f.form->activateWindow();
        f.form->Command3->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.form->Command3));
        QTest::keyClick(QApplication::focusWidget(), 's');
        if (portOpen)
            QCOMPARE(unit.received(1), QByteArray("S"));
        else
            QTRY_COMPARE(f.desktop.prompts(), QStringList({"Com Port is not open!"}));
    }
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
