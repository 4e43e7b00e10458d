// What an operator who listens rather than looks is given: the panel's own speech at
// each level, the key that reads the active set, and the choices kept in options.conf.
#include "support/FormFixture.h"
#include "ui/HearingInWindow.h"

#include "panel/SetDescription.h"

#include "contract/CommandTable.h"
#include "ui/SpeechVerbosity.h"

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QDir>
#include <QFile>
#include <QTest>

class HearingTest : public QObject {
    Q_OBJECT

private slots:
    // What the panel says on its own at each level; nothing (an empty list) is silence.
    void speechFollowsItsLevel_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("told"); // the words the panel has at Full
        QTest::addColumn<QStringList>("heard");
        const QString lost = QStringLiteral("COM1 lost: waiting for /dev/serial/by-id/usb-ORMA_QX50-if00-port0 to come back");
        QTest::addRow("Full, a lost port") << "Full" << "line" << lost << QStringList {lost};
        QTest::addRow("Brief, a lost port") << "Brief" << "line" << lost << QStringList {"COM1 lost"};
        QTest::addRow("Brief, a port back") << "Brief" << "line" << "COM1 back" << QStringList {"COM1 back"};
        QTest::addRow("Off, a lost port") << "Off" << "line" << lost << QStringList {};
        QTest::addRow("Full, a chosen memory") << "Full" << "5" << "Memory 5" << QStringList {"Memory 5, CQ contest"};
        QTest::addRow("Brief, a chosen memory") << "Brief" << "5" << "Memory 5" << QStringList {"5, CQ contest"};
        QTest::addRow("Brief, a function") << "Brief" << "T" << "Transmit" << QStringList {"Transmit"};
        QTest::addRow("Off, a function") << "Off" << "T" << "Transmit" << QStringList {};
        QTest::addRow("Full, a repeat's transmission") << "Full" << "repeat T" << "Transmit" << QStringList {"Transmit"};
        QTest::addRow("Brief, a repeat's transmission") << "Brief" << "repeat T" << "Transmit" << QStringList {};
        QTest::addRow("Brief, a status change") << "Brief" << "status" << "MIC record" << QStringList {"MIC record"};
        QTest::addRow("Off, a status change") << "Off" << "status" << "MIC record" << QStringList {};
        // A repeat of 10, one transmission every 10 s: its start, then its progress
        // at most every 30 s, then its end.
        const QString repeating = QStringLiteral("Repeating memory 5, 10 times, every 10 seconds.");
        QTest::addRow("Full, a repeat") << "Full" << "repeat" << repeating
                                        << QStringList {repeating, "Repeat finished."};
        QTest::addRow("Brief, a repeat")
            << "Brief" << "repeat" << repeating
            << QStringList {"Repeat 1 of 10", "Repeat 4 of 10", "Repeat 7 of 10", "Repeat 10 of 10", "Repeat finished."};
        QTest::addRow("Off, a repeat") << "Off" << "repeat" << repeating << QStringList {};
    }

    void speechFollowsItsLevel()
    {
        QFETCH(QString, level);
        QFETCH(QString, event);
        QFETCH(QString, told);
        QFETCH(QStringList, heard);
        SpeechVerbosity speech(*PanelPreferences::speechNamed(level));
        QStringList said;
        auto hear = [&](const std::optional<QString> &words) {
            if (words)
                said << *words;
        };
        if (event == QLatin1String("line")) {
            hear(speech.line(told));
        } else if (event == QLatin1String("status")) {
            hear(speech.status(told));
        } else if (event == QLatin1String("repeat")) {
            hear(speech.repeatStarted(told, 10, 0));
            for (int left = 8; left >= 0; --left) // the 2nd to the 10th, 10 s apart
                hear(speech.repeatProgressed(left, (9 - left) * 10000));
            hear(speech.repeatEnded(QStringLiteral("Repeat finished.")));
        } else {
            const char command = event.back().toLatin1();
            hear(speech.command(told, command, CommandTable::isMemory(command) ? QStringLiteral("CQ contest") : QString(),
                                event.startsWith(QLatin1String("repeat "))));
        }
        QCOMPARE(said, heard);
    }

    // Received lines at Brief only while nothing plays or transmits.
    void receivedLinesWaitForTheAir_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<bool>("messageGoesOn");
        QTest::addColumn<bool>("heard");
        QTest::addRow("Full, on the air") << "Full" << true << true;
        QTest::addRow("Brief, on the air") << "Brief" << true << false;
        QTest::addRow("Brief, quiet") << "Brief" << false << true;
        QTest::addRow("Off, quiet") << "Off" << false << false;
    }

    void receivedLinesWaitForTheAir()
    {
        QFETCH(QString, level);
        QFETCH(bool, messageGoesOn);
        QFETCH(bool, heard);
        QCOMPARE(SpeechVerbosity(*PanelPreferences::speechNamed(level)).receivedLines(messageGoesOn), heard);
    }

    // The window's key says what DescribeSet and qx50-send --describe say.
    void theKeyReadsTheSet()
    {
        FormFixture fixture;
        Form1 &form = *fixture.form;
        form.model().messages().setName(5, QStringLiteral("CQ contest"));
        form.model().messages().setLength(5, 2800);
        auto *hearing = form.findChild<HearingInWindow *>();
        QCOMPARE(hearing->readSetKey()->shortcut(), QKeySequence(Qt::Key_F12));
        QSignalSpy described(hearing, &HearingInWindow::setDescribed);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F12);
        QCOMPARE(described.value(0).value(0).toString(), describeActiveSet(form.model().messages()));
    }

    // The words of the read-set key, DescribeSet and qx50-send --describe, from the
    // messages file as a person wrote it.
    void theSetIsReadInKeypadOrder_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("words");
        QTest::addRow("named memories, top row first")
            << QByteArray("active Contest\n[Contest]\n5 2.8 CQ contest\n7 1.2 QRZ\n0 - Thanks\n3 4 \n")
            << "Contest set. 7, QRZ, 1.2 seconds. 5, CQ contest, 2.8 seconds. 0, Thanks.";
        QTest::addRow("the active set only")
            << QByteArray("active Field\n[Contest]\n5 2.8 CQ contest\n[Field]\n1 3 CQ field day\n")
            << "Field set. 1, CQ field day, 3.0 seconds.";
        QTest::addRow("no memory named") << QByteArray("active Empty\n[Empty]\n") << "Empty set. No memory is named.";
    }

    void theSetIsReadInKeypadOrder()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, words);
        QTemporaryDir folder;
        QFile messages(folder.filePath(QStringLiteral("messages.conf")));
        QVERIFY(messages.open(QIODevice::WriteOnly));
        messages.write(file);
        messages.close();
        const MessageBook book(messages.fileName());
        QCOMPARE(book.refusedLines(), QStringList());
        QCOMPARE(describeActiveSet(book), words);
    }

    // Sounds and Speech outlast the run in options.conf, beside Reopen Lost Port; Sounds
    // never chosen follows whether a screen reader runs.
    void choicesAreRemembered_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("screenReader");
        QTest::addColumn<bool>("sounds");
        QTest::addColumn<QString>("speech");
        QTest::addRow("never chosen, no screen reader") << QByteArray() << false << false << "Full";
        QTest::addRow("never chosen, a screen reader") << QByteArray() << true << true << "Full";
        QTest::addRow("chosen off, a screen reader")
            << QByteArray("[options]\nSounds=false\nSpeech=Brief\n") << true << false << "Brief";
        QTest::addRow("chosen on, no screen reader")
            << QByteArray("[options]\nSounds=true\nSpeech=Off\n") << false << true << "Off";
        QTest::addRow("damaged values") << QByteArray("[options]\nSounds=loud\nSpeech=whisper\n") << true << true
                                        << "Full";
    }

    void choicesAreRemembered()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, screenReader);
        QFETCH(bool, sounds);
        QFETCH(QString, speech);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("options.conf"));
        if (!stored.isEmpty()) {
            QFile options(file);
            QVERIFY(options.open(QIODevice::WriteOnly));
            options.write(stored);
        }
        HearingChoices hearing(file);
        hearing.setScreenReaderRunning(screenReader);
        QCOMPARE(hearing.sounds(), sounds);
        QCOMPARE(PanelPreferences::speechName(hearing.speech()), speech);

        // What is changed now is read back at the next start, the other keys kept.
        PanelPreferences(file).setReopenLostPort(false);
        hearing.setSounds(!sounds);
        hearing.setSpeech(PanelPreferences::Speech::Brief);
        const PanelPreferences next(file);
        QCOMPARE(next.sounds(), std::optional<bool>(!sounds));
        QCOMPARE(next.speech(), PanelPreferences::Speech::Brief);
        QVERIFY(!next.reopenLostPort());
    }
};

QTEST_MAIN(HearingTest)
#include "tst_hearing.moc"
