// The memories' names and lengths in the window: the messages file as a person may
// write it (and spoil it), the dialog, the digits' descriptions, the line under the
// status, and the lengths the panel times and counts down on a pseudo-terminal.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "panel/MessageBook.h"
#include "panel/MessagesFile.h"
#include "ui/Accessibility.h"
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
#include <QLockFile>
#include <QMenu>
#include <QMessageBox>
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

// Answers the question the next step asks with the button of `role`; gives its words.
std::shared_ptr<QString> answerNextQuestion(QMessageBox::ButtonRole role)
{
    auto asked = std::make_shared<QString>();
    QTimer::singleShot(0, [asked, role] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        *asked = box->text();
        for (QAbstractButton *button : box->buttons())
            if (box->buttonRole(button) == role)
                return button->click();
        QFAIL("no such button");
    });
    return asked;
}

using DialogStep = std::function<void(MessageNamesDialog &)>;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

Q_DECLARE_METATYPE(DialogStep)

// "Within a second" as the operator sees it; the sanitizers' build runs about three
// times slower, and the bound grows with it.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kWithinASecondMs = 3000;
#else
constexpr qint64 kWithinASecondMs = 1000;
#endif

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
        QTest::addRow("zero length") << QByteArray("4 0 CQ") << QString("0 s is no length; write - when not known");
        QTest::addRow("past 120 s") << QByteArray("4 120.001 CQ") << QString("120.001 s is longer than 120 s");
        QTest::addRow("150 s") << QByteArray("4 150 CQ") << QString("150 s is longer than 120 s, in \"4 150 CQ\"");
        QTest::addRow("four decimals") << QByteArray("4 1.2345 CQ") << QString("1.2345 s has more than 3 decimals");
        QTest::addRow("exponent")
            << QByteArray("4 1e2 CQ") << QString("1e2 is no length; a length is seconds, at most 120, or not known (-)");
        QTest::addRow("negative") << QByteArray("4 -1 CQ") << QString("-1 is no length");
        QTest::addRow("not UTF-8") << QByteArray("4 1 \xff\xfe") << QString("not UTF-8");
        QTest::addRow("not a memory") << QByteArray("12 1 CQ") << QString("not a set, a slot");
        QTest::addRow("overlong line") << QByteArray("4 1 ") + QByteArray(300, 'x')
                                       << QString("longer than 200 characters, in \"4 1 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\"");
        QTest::addRow("override quoted harmless") << QByteArray("3 1 CQ\xe2\x80\xae\"ZRQ")
                                                  << QString("in \"3 1 CQ\ufffd'ZRQ\"");
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

    // A set's line refused for any reason closes the set before it, so the slots that
    // follow are refused as outside any set instead of landing there.
    void refusedSetLineClosesTheSet_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addRow("overlong") << '[' + QByteArray(210, 'x') + ']';
        QTest::addRow("not UTF-8") << QByteArray("[Con\xfftest]");
        QTest::addRow("no bracket") << QByteArray("[Contest");
        QTest::addRow("markup") << QByteArray("[<b>x</b>]");
    }
    void refusedSetLineClosesTheSet()
    {
        QFETCH(QByteArray, line);
        const auto read = MessagesFile::parse("[Everyday]\n3 1 CQ\n" + line + "\n3 12 CQ contest\n");
        QCOMPARE(read.sets.sets.size(), 1);
        QCOMPARE(read.sets.sets[0].memories[3], (MessageSlot {QStringLiteral("CQ"), 1000}));
        QCOMPARE(read.refused.size(), 2);
        QVERIFY2(read.refused[1].startsWith(QLatin1String("line 4: a slot outside any set, in \"3 12")),
                 qPrintable(read.refused[1]));
    }

    // A spoiled file: every bad line refused, the good ones kept, the refusals shown as
    // plain text, and every line the panel did not take still in the file after it
    // wrote its own.
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
                 (QStringList {"line 4: the name holds a control character or < >, in \"6 1 <img src=x>\"",
                               "line 5: memory 5 is given twice in this set, in \"5 1 twice\"",
                               "line 6: the name holds a control character or < >, in \"[<b>x</b>]\"",
                               "line 7: a slot outside any set, in \"7 1 orphan\"", "line 1: there is no set Gone"}));
        QCOMPARE(book.name(5), QStringLiteral("CQ contest"));
        onDialog([](MessageNamesDialog &dialog) {
            auto *refused = dialog.findChild<QLabel *>(QStringLiteral("MessagesFileRefused"));
            QVERIFY(refused);
            QCOMPARE(refused->textFormat(), Qt::PlainText);
            QVERIFY(refused->text().contains(QLatin1String("line 4: the name holds")));
            dialog.nameEdit(6)->setText(QStringLiteral("QRZ"));
        });
        f.form->findChild<QAction *>(QStringLiteral("menuMessageNames"))->trigger();
        QCOMPARE(book.name(6), QStringLiteral("QRZ"));
        QCOMPARE(fileBytes(file),
                 "active Gone\n[Contest]\n5 2.8 CQ contest\n6 - QRZ\n6 1 <img src=x>\n5 1 twice\n"
                 "[<b>x</b>]\n7 1 orphan\n");
        QVERIFY(!QFile::exists(file + QStringLiteral(".refused"))); // nothing was dropped
        QCOMPARE(lineUnderStatus(*f.form)->textFormat(), Qt::PlainText);
        QCOMPARE(f.desktop.events, QStringList());
    }

    // Refused lines a change drops (with the set they stood in) are added, dated, to
    // the refused file, run after run: none is lost.
    void droppedRefusedLinesAreKeptRunAfterRun()
    {
        FormFixture f;
        const QString file = f.cwd.path() + QStringLiteral("/messages.conf");
        for (const QByteArray &refused : {QByteArray("4 1 <first>"), QByteArray("4 1 <second>")}) {
            writeFile(file, "[Everyday]\n[Old]\n" + refused + "\n");
            f.restart();
            QCOMPARE(f.form->model().messages().refusedLines().size(), 1);
            QCOMPARE(f.form->model().messages().deleteSet(QStringLiteral("Old")), QString());
            QCOMPARE(fileBytes(file), QByteArray("[Everyday]\n"));
        }
        const QByteArray aside = fileBytes(file + QStringLiteral(".refused"));
        QVERIFY2(aside.contains("4 1 <first>") && aside.contains("4 1 <second>") && aside.count("as it was on 20") == 2,
                 aside.constData());
    }

    // The file is shared: two panels on one folder and a person's editor each change
    // it as it is now, under its lock, and each panel reads what the others wrote. A person's comments and lines the panel does not know stay.
    void changesMadeElsewhereAreKept()
    {
        FormFixture f;
        const QString file = f.cwd.path() + QStringLiteral("/messages.conf");
        MessageBook first(file);
        MessageBook second(file);
        QCOMPARE(first.setName(5, QStringLiteral("CQ")), QString());
        QCOMPARE(second.setName(3, QStringLiteral("QRZ")), QString());
        QTRY_COMPARE_WITH_TIMEOUT(first.name(3), QStringLiteral("QRZ"), kBound);
        QCOMPARE(second.name(5), QStringLiteral("CQ"));

        writeFile(file, fileBytes(file) + "# my contest set\n[Contest]\n1 - TEST\nfuture option\n");
        QTRY_COMPARE_WITH_TIMEOUT(first.setNames(), (QStringList {"Default", "Contest"}), kBound);
        QCOMPARE(second.setLength(5, 2500), QString());
        const QByteArray kept = fileBytes(file);
        QVERIFY2(kept.contains("\n# my contest set\n[Contest]\n1 - TEST\nfuture option\n") && kept.contains("5 2.5 CQ\n"),
                 kept.constData());

        QLockFile other(file + QStringLiteral(".lock"));
        QVERIFY(other.lock());
        QVERIFY(first.setName(7, QStringLiteral("QRZ?")).contains(QLatin1String("locked")));
        QCOMPARE(fileBytes(file), kept);
    }

    // OK in Message Names writes back what the operator changed there and nothing else:
    // a name given on the bus or by another panel while it was open stays.
    void dialogWritesBackOnlyWhatWasChanged()
    {
        FormFixture f;
        MessageBook &book = f.form->model().messages();
        MessageBook otherPanel(book.file());
        QCOMPARE(book.setName(5, QStringLiteral("CQ")), QString());
        QCOMPARE(book.addSet(QStringLiteral("Contest")), QString());
        onDialog([&](MessageNamesDialog &dialog) {
            QCOMPARE(book.setName(7, QStringLiteral("QRZ?")), QString()); // as the bus would
            QCOMPARE(otherPanel.setName(8, QStringLiteral("73")), QString());
            dialog.nameEdit(5)->setText(QStringLiteral("CQ contest"));
            dialog.setNameEdit()->setText(QStringLiteral("Test"));
            dialog.renameSet();
        });
        f.form->findChild<QAction *>(QStringLiteral("menuMessageNames"))->trigger();
        QCOMPARE(book.setNames(), (QStringList {"Default", "Test"}));
        QCOMPARE(book.activeSet(), QStringLiteral("Test"));
        QCOMPARE(book.name(5), QStringLiteral("CQ contest"));
        QCOMPARE(book.name(7), QStringLiteral("QRZ?"));
        QCOMPARE(book.name(8), QStringLiteral("73"));
        QTRY_COMPARE_WITH_TIMEOUT(otherPanel.name(5), QStringLiteral("CQ contest"), kBound);
        QCOMPARE(f.desktop.events, QStringList());
    }

    // Message Names with a screen reader: the set chosen and each action are said,
    // Delete asks first, a refusal is shown beside its field, is its description and
    // is said, all refusals come at once, and a name takes at most 24 characters.
    void dialogSaysWhatItDoes_data()
    {
        QTest::addColumn<DialogStep>("step");
        QTest::addColumn<QString>("heard"); // the last words said
        QTest::addColumn<int>("refusedField"); // 0 to 9 a memory, 10 the set name, -1 none
        QTest::addColumn<QString>("beside");
        auto typeSetName = [](const QString &name, void (MessageNamesDialog::*action)()) {
            return DialogStep([=](MessageNamesDialog &d) {
                d.setNameEdit()->setText(name);
                (d.*action)();
            });
        };
        QTest::addRow("set chosen") << DialogStep([](MessageNamesDialog &d) { d.setChooser()->setCurrentIndex(1); })
                                    << "Set Contest, 2 of 2" << -1 << QString();
        QTest::addRow("made") << typeSetName("Rag chew", &MessageNamesDialog::newSet) << "Set Rag chew made, and in use"
                              << -1 << QString();
        QTest::addRow("renamed") << typeSetName("Chat", &MessageNamesDialog::renameSet) << "Set Default renamed Chat"
                                 << -1 << QString();
        QTest::addRow("twice refused") << typeSetName("Contest", &MessageNamesDialog::newSet)
                                       << "there is a set Contest already" << 10 << "there is a set Contest already";
        QTest::addRow("26 characters typed") << DialogStep([](MessageNamesDialog &d) {
            QTest::keyClicks(d.nameEdit(4), QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
            QCOMPARE(d.nameEdit(4)->text(), QStringLiteral("abcdefghijklmnopqrstuvwx"));
        }) << "At most 24 characters" << -1 << QString();
        QTest::addRow("all refusals at once") << DialogStep([](MessageNamesDialog &d) {
            d.nameEdit(3)->setText(QStringLiteral("CQ<b>"));
            d.nameEdit(7)->setText(QStringLiteral("QRZ\x1b"));
            d.accept();
            QVERIFY(d.isVisible());
            QCOMPARE(d.problem(), QStringLiteral("Memory 3: the name holds a control character or < >\n"
                                                 "Memory 7: the name holds a control character or < >"));
        }) << "2 names refused.\nMemory 3: the name holds a control character or < >\n"
              "Memory 7: the name holds a control character or < >"
           << 7 << "the name holds a control character or < >";
        QTest::addRow("delete declined") << DialogStep([](MessageNamesDialog &d) {
            const auto asked = answerNextQuestion(QMessageBox::RejectRole);
            QVERIFY(!d.deleteSet());
            QCOMPARE(*asked, QStringLiteral("Delete the set Default? It holds 2 named memories."));
            QCOMPARE(d.setChooser()->count(), 2);
        }) << "Set Default kept" << -1 << QString();
        QTest::addRow("delete confirmed") << DialogStep([](MessageNamesDialog &d) {
            answerNextQuestion(QMessageBox::AcceptRole);
            QVERIFY(d.deleteSet());
            QCOMPARE(d.setChooser()->count(), 1);
        }) << "Set Default deleted; set Contest in use" << -1 << QString();
    }
    void dialogSaysWhatItDoes()
    {
        QFETCH(DialogStep, step);
        QFETCH(QString, heard);
        QFETCH(int, refusedField);
        QFETCH(QString, beside);
        MessageSets sets;
        sets.sets = {MessageSet {QStringLiteral("Default"), {}}, MessageSet {QStringLiteral("Contest"), {}}};
        sets.sets[0].memories[1].name = QStringLiteral("CQ");
        sets.sets[0].memories[2].name = QStringLiteral("QRZ");
        MessageNamesDialog dialog(sets, {});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.lengthEdit(0)->accessibleDescription(), QStringLiteral("a length is seconds, at most 120, or not known"));
        QSignalSpy said(&Announcements::instance(), &Announcements::said);
        step(dialog);
        QVERIFY(!said.isEmpty());
        QCOMPARE(said.last().at(1).toString(), heard);
        QLineEdit *field = refusedField == 10 ? dialog.setNameEdit()
            : refusedField >= 0              ? dialog.nameEdit(refusedField)
                                             : nullptr;
        if (field) {
            QCOMPARE(dialog.refusalBeside(field), beside);
            QCOMPARE(field->accessibleDescription(), beside);
            QVERIFY(field->hasFocus() || refusedField == 7); // the first refused field takes the focus
            QCOMPARE(QApplication::focusWidget()->property("selectedText").toString().isEmpty(), false);
            // shown whole: as tall as its wrapped words need at the width it was given
            const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
            const auto shown = std::find_if(labels.cbegin(), labels.cend(),
                                            [&](const QLabel *l) { return l->isVisible() && l->text() == beside; });
            QVERIFY(shown != labels.cend());
            QTRY_VERIFY((*shown)->height() >= (*shown)->heightForWidth((*shown)->width()));
        }
    }

    // A file full of refused lines opens the dialog at once with the first of them and
    // a count, instead of laying out every one, and a change to it keeps the panel
    // answering.
    void hostileFileOpensTheDialogAtOnce()
    {
        FormFixture f;
        QByteArray hostile;
        while (hostile.size() + 2 <= MessagesFile::kMaxFileBytes)
            hostile += "x\n";
        writeFile(f.cwd.path() + QStringLiteral("/messages.conf"), hostile);
        f.restart();
        QCOMPARE(f.form->model().messages().refusedLines().size(), hostile.size() / 2);
        QElapsedTimer clock;
        qint64 shownAfter = -1;
        onDialog([&](MessageNamesDialog &dialog) {
            shownAfter = clock.elapsed();
            const QString text = dialog.findChild<QLabel *>(QStringLiteral("MessagesFileRefused"))->text();
            QCOMPARE(text.count(u'\n'), MessageNamesDialog::kShownRefusedLines + 1);
            QVERIFY2(text.endsWith(QStringLiteral("\nand %1 more").arg(hostile.size() / 2 - 20)), qPrintable(text.right(40)));
        });
        clock.start();
        f.form->findChild<QAction *>(QStringLiteral("menuMessageNames"))->trigger();
        QVERIFY2(shownAfter >= 0 && shownAfter < kWithinASecondMs, qPrintable(QString::number(shownAfter)));
        // A change reads and edits the whole file while the bus waits, and is refused
        // when the file would grow too large to be read at the next start.
        clock.restart();
        const QString refused = f.form->model().messages().setName(1, QStringLiteral("CQ"));
        QVERIFY2(clock.elapsed() < kWithinASecondMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(refused.contains(QLatin1String("larger than 256 KiB")), qPrintable(refused));
        QCOMPARE(fileBytes(f.cwd.path() + QStringLiteral("/messages.conf")), hostile);
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
            answerNextQuestion(QMessageBox::AcceptRole);
            QVERIFY(dialog.deleteSet());
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
    // it, on the panel's clock (moved by hand here); a lost line, or one past the
    // longest message, stores nothing.
    void recordingThroughThePanelStoresItsLength_data()
    {
        QTest::addColumn<char>("record");
        QTest::addColumn<char>("end"); // 0: the line is lost
        QTest::addColumn<int>("ranMs");
        QTest::addColumn<int>("stored");
        QTest::addRow("MIC record, Stop") << 'M' << 'S' << 1234 << 1234;
        QTest::addRow("RX record, Play") << 'R' << 'P' << 120000 << 120000;
        QTest::addRow("past the longest") << 'M' << 'S' << 120001 << 0;
        QTest::addRow("line lost") << 'M' << '\0' << 1234 << 0;
    }
    void recordingThroughThePanelStoresItsLength()
    {
        QFETCH(char, record);
        QFETCH(char, end);
        QFETCH(int, ranMs);
        QFETCH(int, stored);
        FormFixture f;
        PtyUnit unit;
        f.ports[1] = unit.devicePath();
        f.openPort(1);
        qint64 now = 5000;
        f.form->model().messageClock().setClock([&now] { return now; });
        MessageBook &book = f.form->model().messages();
        f.form->Form_KeyPress('4');
        f.form->Form_KeyPress(record);
        now += ranMs;
        if (end) {
            f.form->Form_KeyPress(end);
            QCOMPARE(unit.received(3), QByteArray("4") + record + end);
        } else {
            unit.hangUp();
            QTRY_VERIFY_WITH_TIMEOUT(!f.form->Comm1.portOpen(), kBound);
        }
        QCOMPARE(book.lengthMs(4), stored);
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
        QElapsedTimer played; // from before the T, so the end cannot seem early
        f.form->Form_KeyPress('2');
        played.start();
        f.form->Form_KeyPress('t');
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
