// Single-key commands, previewed before the focused control, and the key going on
// to that control afterwards.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "ui/KeyboardCommands.h"
#include "ui/VbColor.h"

#include <QAction>
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
            QCOMPARE(keyCommand(c.unicode()), std::optional<char>(static_cast<char>(c.toUpper().unicode())));
        for (char d = '0'; d <= '9'; ++d)
            QCOMPARE(keyCommand(d), std::optional<char>(d));
        for (int code : {int('a'), int('x'), int('X'), int(' '), int('\r'), 27, 0, int('/'), int(':'), 0xD3, 0xFF})
            QVERIFY2(!keyCommand(code).has_value(), qPrintable(QString::number(code)));
    }

    void withThePortClosedEveryCharacterKeyWarns()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.form->Status->setCaption(QStringLiteral("Play"));

        QTest::keyClick(f.form->Command3, 'm');
        QCOMPARE(f.desktop.events, QStringList({"beep", "box: Com Port is not open!"}));

        f.form->menuKeyboardCommands->trigger(); // off: a non-command still warns
        f.desktop.clear();
        QTest::keyClick(f.form.get(), 'x');
        typeText(f.form.get(), QStringLiteral("€"));
        QCOMPARE(f.desktop.beeps(), 2);
        QCOMPARE(f.desktop.prompts(), QStringList({"Com Port is not open!", "Com Port is not open!"}));

        f.desktop.clear(); // keys that give no character, Tab and Alt combinations are not previewed
        QTest::keyClick(f.form.get(), Qt::Key_Left);
        QTest::keyClick(f.form.get(), Qt::Key_F5);
        QTest::keyClick(f.form.get(), Qt::Key_Shift);
        QTest::keyClick(f.form->Command3, Qt::Key_Tab);
        QTest::keyClick(f.form.get(), 'm', Qt::AltModifier);
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
        QCOMPARE(unit.received(1), QByteArray("5"));                 // then the button pressed
        QTest::keyClick(QApplication::focusWidget(), '8');
        QCOMPARE(unit.received(1), QByteArray("8"));
    }
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
