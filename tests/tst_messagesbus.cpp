// The memories' names and lengths from outside, on a private session bus: the
// properties and their changes, SetMessageName's refusals, qx50-send's --messages,
// --set, --new-set, --name, --length, their refusals and --play N --wait, and the repeat with a gap after each message.
#include "support/BusClient.h"
#include "support/BusPanel.h"
#include "panel/RepeatTransmit.h"
#include "panel/SetDescription.h"
#include "panel/Transmission.h"
#include "ui/HearingInWindow.h"

#include <QAction>
#include <QDBusVariant>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QLabel>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <csignal>

namespace {

using busclient::call;
using busclient::client;
using busclient::kInterface;
using busclient::kPath;
using busclient::kProperties;
using busclient::kService;

constexpr int kBound = 10000;

using busclient::Run;
Run runSender(const QStringList &args)
{
    return busclient::run(QStringLiteral(QX50_SEND), args);
}

QMap<uint, QString> busNames()
{
    const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {kInterface, QStringLiteral("MessageNames")});
    return qdbus_cast<QMap<uint, QString>>(
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>());
}

} // namespace

// "Within a second" as the operator sees it; the sanitizers' build runs about three
// times slower, and the bound grows with it.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kWithinASecondMs = 3000;
#else
constexpr qint64 kWithinASecondMs = 1000;
#endif

class MessagesBusTest : public QObject {
    Q_OBJECT

public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == kInterface)
            m_changes << changed;
    }
    void messageEnded(uint memory) { m_ended << memory; }

private:
    QList<QVariantMap> m_changes;
    QList<uint> m_ended;

    bool changeHeard(const QString &property, const QVariant &value)
    {
        return QTest::qWaitFor(
            [&] {
                return std::any_of(m_changes.cbegin(), m_changes.cend(), [&](const QVariantMap &changed) {
                    return changed.contains(property) && (!value.isValid() || changed.value(property) == value);
                });
            },
            kBound);
    }

private slots:
    void initTestCase()
    {
        qDBusRegisterMetaType<QMap<uint, QString>>();
        QVERIFY(client().connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                                 SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        QVERIFY(client().connect(kService, kPath, kInterface, QStringLiteral("MessageEnded"), this,
                                 SLOT(messageEnded(uint))));
    }

    // A name given over the bus or by qx50-send reaches the file and every door; a
    // name the rule refuses is refused with InvalidArgs and changes nothing.
    void namesAndSetsFromOutside_data()
    {
        QTest::addColumn<uint>("memory");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        QTest::addRow("a name") << 5u << QStringLiteral("CQ contest") << true;
        QTest::addRow("24 characters") << 0u << QStringLiteral("abcdefghijklmnopqrstuvwx") << true;
        QTest::addRow("25 characters") << 5u << QStringLiteral("abcdefghijklmnopqrstuvwxy") << false;
        QTest::addRow("control character") << 5u << QStringLiteral("CQ\u0007") << false;
        QTest::addRow("line break") << 5u << QStringLiteral("CQ\ncontest") << false;
        QTest::addRow("markup") << 5u << QStringLiteral("<i>CQ</i>") << false;
        QTest::addRow("memory 10") << 10u << QStringLiteral("CQ") << false;
    }
    void namesAndSetsFromOutside()
    {
        QFETCH(uint, memory);
        QFETCH(QString, name);
        QFETCH(bool, taken);
        BusPanel p;
        QVERIFY(p.bus->serving());
        m_changes.clear();
        const QDBusMessage reply = call(kInterface, QStringLiteral("SetMessageName"), {memory, name});
        QCOMPARE(reply.type() == QDBusMessage::ReplyMessage, taken);
        if (!taken) {
            QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
            QCOMPARE(busNames(), (QMap<uint, QString> {}));
            if (memory < 10) // qx50-send hears the same refusal
                QCOMPARE(runSender({"--name", QString::number(memory), name}).exitCode, 1);
            return;
        }
        QCOMPARE(busNames(), (QMap<uint, QString> {{memory, name}}));
        QVERIFY(changeHeard(QStringLiteral("MessageNames"), {}));
        QCOMPARE(p.f.form->Number[memory]->toolTip(), name);

        // qx50-send names, lists and switches sets; the file holds each step.
        QCOMPARE(runSender({"--name", "7", "QRZ"}).exitCode, 0);
        QCOMPARE(p.f.form->model().messages().setLength(7, 1250), QString());
        const Run listed = runSender({"--messages"});
        QCOMPARE(listed.exitCode, 0);
        QVERIFY2(listed.out.startsWith(QLatin1String("Default\n"))
                     && listed.out.contains(QLatin1String("7\t1.25\tQRZ\n"))
                     && listed.out.contains(QStringLiteral("%1\t-\t%2\n").arg(memory).arg(name)),
                 qPrintable(listed.out));
        // --describe says what the window's read-set key says, through DescribeSet.
        const Run described = runSender({"--describe"});
        QCOMPARE(described.exitCode, 0);
        QCOMPARE(described.out, describeActiveSet(p.f.form->model().messages()) + QLatin1Char('\n'));
        QVERIFY2(described.out.startsWith(QLatin1String("Default set. 7, QRZ, 1.")), qPrintable(described.out));
        // Sounds written on the bus is the window's Options -> Sounds, and every door hears it.
        QCOMPARE(busclient::property("Sounds").toBool(), false);
        QCOMPARE(busclient::call(busclient::kProperties, QStringLiteral("Set"),
                                 {busclient::kInterface, QStringLiteral("Sounds"), QVariant::fromValue(QDBusVariant(true))})
                     .type(),
                 QDBusMessage::ReplyMessage);
        QVERIFY(changeHeard(QStringLiteral("Sounds"), true));
        QVERIFY(p.f.form->findChild<HearingInWindow *>()->soundsItem()->isChecked());
        QCOMPARE(runSender({"--set", "Contest"}).exitCode, 1); // no such set yet
        QCOMPARE(p.f.form->model().messages().addSet(QStringLiteral("Contest")), QString());
        QCOMPARE(runSender({"--set", "Default"}).exitCode, 0);
        QVERIFY(changeHeard(QStringLiteral("MessageSet"), QStringLiteral("Default")));
        QCOMPARE(busclient::property("MessageSet").toString(), QStringLiteral("Default"));
        p.f.restart(); // the next run reads what the file kept
        QCOMPARE(p.f.form->model().messages().activeSet(), QStringLiteral("Default"));
        QCOMPARE(p.f.form->model().messages().name(7), QStringLiteral("QRZ"));
        QCOMPARE(p.f.form->model().messages().lengthMs(7), 1250);
    }

    // qx50-send's messages calls, and what it says when refused: every line it writes to
    // standard error starts with its name, the panel's refusals included.
    void senderCallsAndTheirWords_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err"); // the first line written to standard error
        QTest::addColumn<QString>("after"); // the active set, and memory 3's length in ms
        QTest::addRow("a new set") << QStringList {"--new-set", "Contest 2"} << 0 << "" << "Contest 2 0";
        QTest::addRow("a new set of a taken name")
            << QStringList {"--new-set", "Contest"} << 1 << "qx50-send: there is a set Contest already" << "Default 0";
        QTest::addRow("a new set named with markup") << QStringList {"--new-set", "<b>"} << 1 << "qx50-send: " << "Default 0";
        QTest::addRow("another set") << QStringList {"--set", "Contest"} << 0 << "" << "Contest 0";
        QTest::addRow("no such set") << QStringList {"--set", "Nope"} << 1 << "qx50-send: there is no set Nope"
                                     << "Default 0";
        QTest::addRow("a length") << QStringList {"--length", "3", "4.1"} << 0 << "" << "Default 4100";
        QTest::addRow("a length not known") << QStringList {"--length", "3", "0"} << 0 << "" << "Default 0";
        QTest::addRow("a length too long") << QStringList {"--length", "3", "121"} << 1
                                           << "qx50-send: the length must be 0 to 120 seconds" << "Default 0";
        QTest::addRow("a length of a letter") << QStringList {"--length", "T", "4"} << 1
                                              << "qx50-send: --length takes a memory digit" << "Default 0";
        QTest::addRow("a name too long") << QStringList {"--name", "3", "abcdefghijklmnopqrstuvwxy"} << 1
                                         << "qx50-send: the name is longer than 24 characters" << "Default 0";
        QTest::addRow("a command with the port closed")
            << QStringList {"T"} << 1 << "qx50-send: Com Port is not open!" << "Default 0";
    }
    void senderCallsAndTheirWords()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QFETCH(QString, after);
        BusPanel p;
        MessageBook &book = p.f.form->model().messages();
        QCOMPARE(book.addSet(QStringLiteral("Contest")), QString());
        QCOMPARE(book.selectSet(QStringLiteral("Default")), QString());
        const Run run = runSender(args);
        QCOMPARE(run.exitCode, exitCode);
        const QString first = run.err.section(u'\n', 0, 0);
        QVERIFY2(err.isEmpty() ? run.err.isEmpty() : first.startsWith(err), qPrintable(run.err));
        QCOMPARE(QStringLiteral("%1 %2").arg(book.activeSet()).arg(book.lengthMs(3)), after);
        if (args.front() == QLatin1String("--new-set") && exitCode == 0) // the window says so too
            QCOMPARE(p.f.form->findChild<QLabel *>(QStringLiteral("RepeatLine"))->text(), QStringLiteral("Set: Contest 2"));
    }

    // While another program holds the messages file's lock, a name is refused with
    // Busy within the second, for the caller to try again; then it is taken.
    void lockedFileAnswersBusy()
    {
        BusPanel p;
        QLockFile other(p.f.form->model().messages().file() + QStringLiteral(".lock"));
        QVERIFY(other.lock());
        QElapsedTimer clock;
        clock.start();
        const QDBusMessage busy = call(kInterface, QStringLiteral("SetMessageName"), {5u, QStringLiteral("CQ")});
        QVERIFY2(clock.elapsed() < kWithinASecondMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(busy.errorName(), QStringLiteral("org.orma.Qx50VoiceMemory.Error.Busy"));
        QVERIFY(busy.errorMessage().contains(QLatin1String("locked")));
        other.unlock();
        QCOMPARE(call(kInterface, QStringLiteral("SetMessageName"), {5u, QStringLiteral("CQ")}).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(busNames(), (QMap<uint, QString> {{5u, QStringLiteral("CQ")}}));
    }

    // --play N --wait sends N and T, then returns when the message ends: no sooner
    // than its length, and after the panel has ended it. With no length known it
    // sends nothing and exits 3; a signal during the wait sends S.
    void playWaitsForTheMessage()
    {
        BusPanel p;
        p.f.openPort(2);
        MessageBook &book = p.f.form->model().messages();
        QCOMPARE(book.setLength(1, 1000), QString());

        const Run unknown = runSender({"--play", "4", "--wait"});
        QCOMPARE(unknown.exitCode, 3);
        QVERIFY(unknown.err.contains(QLatin1String("no known length")));
        QCOMPARE(p.unit.received(), QByteArray());

        m_changes.clear();
        m_ended.clear();
        QProcess sender;
        QElapsedTimer clock; // from before the sender starts, so no end can seem early
        qint64 returnedAt = -1;
        qint64 panelEndedAt = -1;
        connect(&sender, &QProcess::finished, this, [&] { returnedAt = clock.elapsed(); });
        connect(&p.f.form->model().transmission(), &Transmission::messageEnded, this,
                [&] { panelEndedAt = clock.elapsed(); });
        clock.start();
        sender.start(QStringLiteral(QX50_SEND), {"--play", "1", "--wait"});
        QCOMPARE(p.unit.arriving(2, kBound), QByteArray("1T"));
        QVERIFY(changeHeard(QStringLiteral("Playing"), QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(returnedAt >= 0, kBound);
        QCOMPARE(sender.exitCode(), 0);
        QVERIFY2(panelEndedAt >= 1000 && returnedAt >= panelEndedAt,
                 qPrintable(QStringLiteral("ended at %1 ms, returned at %2 ms").arg(panelEndedAt).arg(returnedAt)));
        QTRY_COMPARE_WITH_TIMEOUT(m_ended, QList<uint> {1u}, kBound);
        QVERIFY(changeHeard(QStringLiteral("Playing"), QString()));
        QCOMPARE(p.unit.received(), QByteArray()); // nothing more was sent

        QCOMPARE(book.setLength(1, 60000), QString());
        // A Stop in the panel ends the message early, and the wait with it.
        QProcess cut;
        cut.start(QStringLiteral(QX50_SEND), {"--play", "1", "--wait"});
        QCOMPARE(p.unit.arriving(2, kBound), QByteArray("1T"));
        p.f.form->Form_KeyPress('s');
        QCOMPARE(p.unit.arriving(1, kBound), QByteArray("S"));
        QVERIFY(QTest::qWaitFor([&] { return cut.state() == QProcess::NotRunning; }, kBound));
        QCOMPARE(cut.exitCode(), 0);
        QCOMPARE(p.unit.received(), QByteArray()); // it sent no S of its own

        QProcess stopped;
        stopped.start(QStringLiteral(QX50_SEND), {"--play", "1", "--wait"});
        QCOMPARE(p.unit.arriving(2, kBound), QByteArray("1T"));
        ::kill(static_cast<pid_t>(stopped.processId()), SIGTERM);
        QCOMPARE(p.unit.arriving(1, kBound), QByteArray("S"));
        QVERIFY(QTest::qWaitFor([&] { return stopped.state() == QProcess::NotRunning; }, kBound));
        QCOMPARE(stopped.exitCode(), 0);
    }

    // With a gap, each transmission starts the message's length and the gap after the
    // last one started; without a known length, or with a gap out of range, refused.
    void gapRepeatSpacing()
    {
        BusPanel p;
        p.f.openPort(2);
        MessageBook &book = p.f.form->model().messages();
        const QDBusMessage unknown
            = call(kInterface, QStringLiteral("StartRepeatWithGap"), {QStringLiteral("3"), 2.0, 2u});
        QCOMPARE(unknown.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QVERIFY(unknown.errorMessage().contains(QLatin1String("no known length")));
        QCOMPARE(book.setLength(3, 1000), QString());
        QCOMPARE(runSender({"--repeat", "3", "--gap", "1", "--times", "2"}).exitCode, 1);
        QCOMPARE(runSender({"--repeat", "3", "--gap", "2", "--every", "2", "--times", "2"}).exitCode, 1);
        QCOMPARE(p.unit.received(), QByteArray());

        // Timed in the panel, not where the unit reads it: from the moment the repeat
        // starts, which is before its period's clock starts, to each T handed to the line.
        QElapsedTimer clock;
        clock.start();
        qint64 startedAt = -1;
        QList<qint64> sentAt;
        connect(p.f.form->repeat, &RepeatTransmit::told, this, [&] {
            if (startedAt < 0)
                startedAt = clock.elapsed();
        });
        connect(&p.f.form->model(), &PanelModel::commandSent, this, [&](char command) {
            if (command == 'T')
                sentAt << clock.elapsed();
        });
        QProcess sender;
        sender.start(QStringLiteral(QX50_SEND), {"--repeat", "3", "--gap", "2", "--times", "2"});
        QCOMPARE(p.unit.arriving(4, kBound), QByteArray("3T3T"));
        QCOMPARE(sentAt.size(), 2);
        const qint64 spacing = sentAt.at(1) - startedAt;
        qInfo("the second transmission went out %lld ms after the repeat started", spacing);
        QVERIFY2(spacing >= 3000, qPrintable(QString::number(spacing))); // never sooner, however late
        QVERIFY(QTest::qWaitFor([&] { return sender.state() == QProcess::NotRunning; }, kBound));
        QCOMPARE(sender.exitCode(), 0);
        QCOMPARE(p.unit.received(), QByteArray()); // ended one period after the last, with no byte
    }
};

QTEST_MAIN(MessagesBusTest)
#include "tst_messagesbus.moc"
