// What a screen reader is given: the lines it hears as the unit sends them, and the
// texts and states of the window's controls.
#include "support/FormFixture.h"
#include "ui/ArrivingLines.h"
#include "contract/CommandTable.h"
#include "ui/SpeechPacer.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QTest>

using PacerEvent = std::tuple<qint64, QString, QString>;
using PacerEvents = QList<PacerEvent>;

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreHeardOnceAsTheyArrive_data()
    {
        QTest::addColumn<QStringList>("arriving"); // one entry per tick
        QTest::addColumn<QList<QStringList>>("heard");

        QTest::addRow("whole lines") << QStringList {"TX 3\r\n", "STOP\r\nSLOT 5\r\n"}
                                     << QList<QStringList> {{"TX 3"}, {"STOP", "SLOT 5"}};
        QTest::addRow("a line over two ticks") << QStringList {"PLA", "Y 3\r\n"} << QList<QStringList> {{}, {"PLAY 3"}};
        QTest::addRow("a quiet tick gives what has come, the rest follows")
            << QStringList {"REC ", "", "", "MIC 3\r\n"} << QList<QStringList> {{}, {"REC "}, {}, {"MIC 3"}};
        QTest::addRow("CR LF split between ticks is one line end")
            << QStringList {"A\r", "\nB\n", "\r\n\r\n"} << QList<QStringList> {{"A"}, {"B"}, {}};
        QTest::addRow("bare CR and bare LF end lines")
            << QStringList {"A\rB\nC\n\rD\r"} << QList<QStringList> {{"A", "B", "C", "D"}};
        QTest::addRow("blank lines are not heard") << QStringList {"  \r\n\t\r\n", ""} << QList<QStringList> {{}, {}};
        QTest::addRow("control characters as symbols") << QStringList {QString::fromLatin1("A\0B\x07\r\n", 6)}
                                                       << QList<QStringList> {{QStringLiteral("A\u2400B\u2407")}};
        QTest::addRow("a line with no end is cut at 188")
            << QStringList {QString(400, u'x')} << QList<QStringList> {{QString(188, u'x'), QString(188, u'x')}};
    }

    void linesAreHeardOnceAsTheyArrive()
    {
        QFETCH(QStringList, arriving);
        QFETCH(QList<QStringList>, heard);
        ArrivingLines lines;
        for (qsizetype tick = 0; tick < arriving.size(); ++tick)
            QCOMPARE(lines.take(arriving.at(tick)), heard.at(tick));
    }

    // Each event: a time in ms, "say:" words said at once, "line:" a received line, or
    // "tick"; and what the pacer hands out at that event ("" for nothing).
    void speechNeverFallsBehind_data()
    {
        QTest::addColumn<PacerEvents>("events");
        using E = PacerEvent;
        QTest::addRow("a line in a quiet moment is said at once") << QList<E> {{0, "line:PLAY 3", "PLAY 3"}};
        QTest::addRow("lines during speech are held; the newest is said once quiet has followed")
            << QList<E> {{0, "line:SLOT 1", "SLOT 1"}, // 0.78 s to say
                         {100, "line:SLOT 2", ""},     {900, "line:SLOT 3", ""}, {1700, "tick", ""},
                         {1790, "tick", "SLOT 3"},     {1800, "tick", ""}};
        QTest::addRow("a command's words are never held, and lines wait behind them")
            << QList<E> {{0, "line:SLOT 1", "SLOT 1"},
                         {100, "line:SLOT 2", ""},
                         {200, "say:Transmit", "Transmit"}, // queued after SLOT 1: quiet at 1.63 s
                         {1780, "tick", ""},
                         {2630, "tick", "SLOT 2"}};
        QTest::addRow("a long line is said up to the last whole word that fits")
            << QList<E> {{0, "line:REC MIC 3 OK AND MORE", "REC MIC 3"}};
        QTest::addRow("a long word is cut") << QList<E> {{0, "line:" + QString(40, u'x'), QString(10, u'x')}};
    }

    void speechNeverFallsBehind()
    {
        QFETCH(PacerEvents, events);
        SpeechPacer pacer;
        for (const auto &[now, event, expected] : events) {
            std::optional<QString> said;
            if (event.startsWith("say:")) {
                pacer.saidNow(event.mid(4), now);
                said = event.mid(4);
            } else if (event.startsWith("line:")) {
                said = pacer.lineArrived(event.mid(5), now);
            } else {
                said = pacer.tick(now);
            }
            QCOMPARE(said.value_or(QString()), expected);
            if (said)
                QVERIFY2(SpeechPacer::speakingTime(*said) <= SpeechPacer::kLongestLineSpeech
                             || event.startsWith("say:"),
                         qPrintable(*said));
        }
    }

    void commandsHaveShortWords_data()
    {
        QTest::addColumn<char>("command");
        QTest::addColumn<QString>("words");
        QTest::addRow("T") << 'T' << "Transmit";
        QTest::addRow("M") << 'M' << "MIC record";
        QTest::addRow("S") << 'S' << "Stop";
        QTest::addRow("5") << '5' << "Memory 5";
        QTest::addRow("0") << '0' << "Memory 0";
        QTest::addRow("not a command") << 'x' << QString();
    }

    void commandsHaveShortWords()
    {
        QFETCH(char, command);
        QFETCH(QString, words);
        const PanelCommand *sent = CommandTable::find(command);
        QCOMPARE(sent ? QString::fromLatin1(sent->spoken) : QString(), words);
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
