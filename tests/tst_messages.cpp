// The memories' names and lengths in the window: the messages file as a person may
// write it (and spoil it), the dialog, the digits' descriptions, the line under the
// status, and the lengths the panel times and counts down on a pseudo-terminal.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "panel/MessagesFile.h"
#include "ui/MessageNamesDialog.h"
#include "ui/HearingInWindow.h"
#include "ui/MessagesInWindow.h"
#include "ui/RepeatDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

constexpr int kBound = 10000;

QLabel *lineUnderStatus(Form1 &form)
{
    return form.controlsArea()->findChild<QLabel *>(QStringLiteral("RepeatLine"));
}

// Runs `work` on the dialog the next menu choice opens, then closes it with OK.
void onDialog(const std::function<void(MessageNamesDialog &)> &work)
{
    QTimer::singleShot(0, [work] {
        auto *dialog = qobject_cast<MessageNamesDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        work(*dialog);
        dialog->accept();
    });
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class MessagesTest : public QObject {
    Q_OBJECT

private slots:
    // Each line is taken or refused on its own, with its number and reason.
    void fileLinesTakenOrRefused_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("refusal"); // empty: taken
        QTest::addRow("name and length") << QByteArray("5 2.8 CQ contest") << QString();
        QTest::addRow("length not known") << QByteArray("7 - QRZ") << QString();
        QTest::addRow("length only") << QByteArray("1 4") << QString();
        QTest::addRow("24 characters") << QByteArray("2 1 \xc3\xa4"
                                                     "bcdefghijklmnopqrstuvwx")
                                       << QString();
        QTest::addRow("25 characters") << QByteArray("2 1 abcdefghijklmnopqrstuvwxy") << QString("longer than 24");
        QTest::addRow("markup") << QByteArray("3 1 <b>CQ</b>") << QString("control character or < >");
        QTest::addRow("escape") << QByteArray("3 1 \x1b[31mCQ") << QString("control character");
        QTest::addRow("bidi override") << QByteArray("3 1 CQ\xe2\x80\xae"
                                                     "ZRQ")
                                       << QString("control character");
        QTest::addRow("zero length") << QByteArray("4 0 CQ") << QString("the length is");
        QTest::addRow("past 120 s") << QByteArray("4 120.001 CQ") << QString("the length is");
        QTest::addRow("exponent") << QByteArray("4 1e2 CQ") << QString("the length is");
        QTest::addRow("negative") << QByteArray("4 -1 CQ") << QString("the length is");
        QTest::addRow("not UTF-8") << QByteArray("4 1 \xff\xfe") << QString("not UTF-8");
        QTest::addRow("not a memory") << QByteArray("12 1 CQ") << QString("not a set, a slot");
        QTest::addRow("overlong line") << QByteArray("4 1 ") + QByteArray(300, 'x') << QString("longer than 200");
    }
    void fileLinesTakenOrRefused()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, refusal);
        const auto read = MessagesFile::parse("active Contest\n[Contest]\n" + line + "\n9 1 after\n");
        QCOMPARE(read.sets.sets[0].memories[9].name, QStringLiteral("after")); // the next line is read still
        if (refusal.isEmpty()) {
            QCOMPARE(read.refused, QStringList());
            QCOMPARE(MessagesFile::parse(MessagesFile::format(read.sets)).sets, read.sets);
        } else {
            QCOMPARE(read.refused.size(), 1);
            QVERIFY2(read.refused[0].startsWith(QLatin1String("line 3: ")) && read.refused[0].contains(refusal),
                     qPrintable(read.refused[0]));
        }
    }

    // A spoiled file: every bad line refused, the good ones kept, the file kept aside
    // before the panel's first rewrite, and the refusals shown as plain text.
    void spoiledFileIsShownNotObeyed()
    {
        FormFixture f;
        const QString file = f.cwd.path() + QStringLiteral("/messages.conf");
        const QByteArray spoiled = "active Gone\n[Contest]\n5 2.8 CQ contest\n6 1 <img src=x>\n5 1 twice\n"
                                   "[<b>x</b>]\n7 1 orphan\n";
        writeFile(file, spoiled);
        f.restart();
        const MessageBook &book = f.form->model().messages();
        QCOMPARE(book.refusedLines(),
                 (QStringList {"line 4: the name holds a control character or < >",
                               "line 5: memory 5 is given twice in this set",
                               "line 6: the name holds a control character or < >", "line 7: a slot outside any set",
                               "line 1: there is no set Gone"}));
        QCOMPARE(book.name(5), QStringLiteral("CQ contest"));
        onDialog([](MessageNamesDialog &dialog) {
            auto *refused = dialog.findChild<QLabel *>(QStringLiteral("MessagesFileRefused"));
            QVERIFY(refused);
            QCOMPARE(refused->textFormat(), Qt::PlainText);
            QVERIFY(refused->text().contains(QLatin1String("line 4: the name holds")));
            dialog.nameEdit(6)->setText(QStringLiteral("QRZ"));
        });
        f.form->findChild<QAction *>(QStringLiteral("menuMessageNames"))->trigger();
        QFile aside(file + QStringLiteral(".refused"));
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), spoiled);
        QCOMPARE(lineUnderStatus(*f.form)->textFormat(), Qt::PlainText);
        QCOMPARE(f.desktop.events, QStringList());
    }

    // A name given in the dialog reaches the file, the next run, the digit's tooltip
    // and description, and the line under the status; sets come and go.
    void namesRoundTripThroughDialogAndFile()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        QAction *item = f.form->findChild<QAction *>(QStringLiteral("menuMessageNames"));
        QVERIFY(item);
        const QList<QAction *> options = f.form->findChild<QMenu *>(QStringLiteral("menuOptions"))->actions();
        // Options ends with Message Names, then the hearing choices, Sounds and Speech.
        QCOMPARE(options.mid(options.size() - 3, 1), QList<QAction *> {item});
        QCOMPARE(options.last()->text(), HearingInWindow::kSpeechCaption);
        QCOMPARE(item->text(), MessagesInWindow::kItemCaption);

        onDialog([](MessageNamesDialog &dialog) {
            dialog.setNameEdit()->setText(QStringLiteral("Default"));
            dialog.newSet(); // refused: there is one
            QVERIFY(dialog.problem().contains(QLatin1String("already")));
            dialog.setNameEdit()->setText(QStringLiteral("Contest"));
            dialog.newSet();
            dialog.nameEdit(5)->setText(QStringLiteral("CQ contest"));
            dialog.lengthEdit(5)->setValue(2.8);
            dialog.setNameEdit()->setText(QStringLiteral("Rag chew"));
            dialog.newSet();
            dialog.nameEdit(1)->setText(QStringLiteral("CQ"));
            dialog.setNameEdit()->setText(QStringLiteral("Chat"));
            dialog.renameSet();
            dialog.setChooser()->setCurrentIndex(dialog.setChooser()->findText(QStringLiteral("Default")));
            dialog.deleteSet();
            dialog.setChooser()->setCurrentIndex(dialog.setChooser()->findText(QStringLiteral("Contest")));
            QCOMPARE(dialog.nameEdit(5)->text(), QStringLiteral("CQ contest"));
        });
        item->trigger();
        f.restart(); // the next run reads the file
        const MessageBook &book = f.form->model().messages();
        QCOMPARE(book.setNames(), (QStringList {"Contest", "Chat"}));
        QCOMPARE(book.activeSet(), QStringLiteral("Contest"));
        QCOMPARE(book.lengthMs(5), 2800);
        QCOMPARE(f.form->Number[5]->toolTip(), QStringLiteral("CQ contest, 2.8 s"));
        QCOMPARE(f.form->Number[5]->accessibleDescription(), QStringLiteral("CQ contest, 2.8 s"));
        QCOMPARE(f.form->Number[1]->toolTip(), QString());

        // A name the rule refuses keeps the dialog open with the reason.
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<MessageNamesDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->nameEdit(3)->setText(QStringLiteral("CQ<script>"));
            dialog->accept();
            QVERIFY(dialog->isVisible());
            QVERIFY(dialog->problem().startsWith(QLatin1String("Memory 3:")));
            dialog->reject();
        });
        f.form->findChild<QAction *>(QStringLiteral("menuMessageNames"))->trigger();
        QCOMPARE(f.form->model().messages().name(3), QString());

        f.openPort(1);
        QTest::mouseClick(f.form->Number[5], Qt::LeftButton);
        QCOMPARE(unit.received(1), QByteArray("5"));
        QCOMPARE(lineUnderStatus(*f.form)->text(), QStringLiteral("5: CQ contest"));
        QVERIFY(lineUnderStatus(*f.form)->isVisibleTo(f.form.get()));
    }

    // A recording through the panel is timed from M or R to the command that ends
    // it; a lost line stores nothing. The panel's time is the test's, within 50 ms.
    void recordingThroughThePanelStoresItsLength_data()
    {
        QTest::addColumn<char>("record");
        QTest::addColumn<char>("end"); // 0: the line is lost
        QTest::addRow("MIC record, Stop") << 'M' << 'S';
        QTest::addRow("RX record, Play") << 'R' << 'P';
        QTest::addRow("line lost") << 'M' << '\0';
    }
    void recordingThroughThePanelStoresItsLength()
    {
        QFETCH(char, record);
        QFETCH(char, end);
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);
        MessageBook &book = f.form->model().messages();
        f.form->Form_KeyPress('4');
        QElapsedTimer clock;
        f.form->Form_KeyPress(record);
        clock.start();
        QVERIFY(QTest::qWaitFor([&] { return clock.elapsed() >= 1200; }, kBound));
        if (!end) {
            unit.hangUp();
            QTRY_VERIFY_WITH_TIMEOUT(!f.form->Comm1.portOpen(), kBound);
            QCOMPARE(book.lengthMs(4), 0);
            return;
        }
        f.form->Form_KeyPress(end);
        const qint64 measured = clock.elapsed();
        QVERIFY2(std::abs(book.lengthMs(4) - measured) <= 50,
                 qPrintable(QStringLiteral("%1 ms stored, %2 ms measured").arg(book.lengthMs(4)).arg(measured)));
        QCOMPARE(unit.received(3), QByteArray("4") + record + end);
    }

    // A message of known length counts down under the status and ends at its length,
    // or early on another command.
    void playingCountsDownAndEnds()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);
        MessageBook &book = f.form->model().messages();
        QCOMPARE(book.setName(2, QStringLiteral("QRZ")), QString());
        QCOMPARE(book.setLength(2, 1500), QString());
        const Transmission &transmission = f.form->model().transmission();
        QSignalSpy ended(&transmission, &Transmission::messageEnded);
        QElapsedTimer played;
        f.form->Form_KeyPress('2');
        f.form->Form_KeyPress('t');
        played.start();
        QCOMPARE(transmission.playing(), 2);
        QCOMPARE(lineUnderStatus(*f.form)->text(), QStringLiteral("TX 2: 2 s"));
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, kBound);
        QVERIFY(played.elapsed() >= 1500);
        QCOMPARE(lineUnderStatus(*f.form)->text(), QStringLiteral("2: QRZ"));

        f.form->Form_KeyPress('p'); // memory 2 still chosen
        QCOMPARE(lineUnderStatus(*f.form)->text(), QStringLiteral("Play 2: 2 s"));
        f.form->Form_KeyPress('s');
        QCOMPARE(ended.size(), 2);
        QCOMPARE(transmission.playing(), -1);
        QCOMPARE(unit.received(4), QByteArray("2TPS"));
    }

    // The repeat dialog offers the gap for a memory of known length only; with it the
    // repeat keeps the message's length and the gap from one start to the next.
    void repeatDialogOffersTheGap()
    {
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);
        QCOMPARE(f.form->model().messages().setLength(3, 1000), QString());
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<RepeatDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto *memory = dialog->findChild<QSpinBox *>(QStringLiteral("memory"));
            auto *byGap = dialog->findChild<QCheckBox *>(QStringLiteral("byGap"));
            memory->setValue(4);
            QVERIFY(!byGap->isEnabled());
            memory->setValue(3);
            QVERIFY(byGap->isEnabled());
            byGap->setChecked(true);
            QVERIFY(!dialog->findChild<QDoubleSpinBox *>(QStringLiteral("seconds"))->isEnabled());
            dialog->findChild<QDoubleSpinBox *>(QStringLiteral("gap"))->setValue(2);
            dialog->accept();
        });
        f.form->menuRepeatTransmit->trigger();
        QCOMPARE(unit.arriving(2, kBound), QByteArray("3T"));
        QVERIFY(f.form->repeat->repeating());
        QCOMPARE(f.form->repeat->gap(), 2.0);
        QCOMPARE(f.form->repeat->seconds(), 3.0); // start to start: the length and the gap
        f.form->repeat->stop(RepeatTransmit::Stop::Asked);
        QCOMPARE(unit.arriving(1, kBound), QByteArray("S"));
    }
};

QTEST_MAIN(MessagesTest)
#include "tst_messages.moc"
