// A stop nobody pressed cuts only its own: every door that stops by itself (the
// window's own stop, a bus caller's StopOwn, a rigctld that leaves the bus, a page's
// dead man's switch, qx50-send --wait on a signal) sends "S" when what is on the air
// is the one it started, and no byte when another door's message took the air since
// or nothing is on it. A program that sent plainly and left stops nothing. The panel
// is on a private bus; its unit is a pseudo-terminal.
#include "support/BusClient.h"
#include "support/BusPanel.h"
#include "panel/Owner.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <functional>

namespace {

constexpr int kBound = 10000;

// Another program on the bus with a connection of its own, so that it can leave.
struct Caller {
    QString name;
    QDBusConnection connection;

    explicit Caller(const QString &label)
        : name(QStringLiteral("owners-") + label)
        , connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name))
    {
    }
    ~Caller() { QDBusConnection::disconnectFromBus(name); }

    QDBusMessage call(const char *method, const QVariantList &args)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(busclient::kService, busclient::kPath,
                                                              busclient::kInterface, QString::fromLatin1(method));
        message.setArguments(args);
        QDBusPendingCall pending = connection.asyncCall(message);
        (void)QTest::qWaitFor([&] { return pending.isFinished(); }, kBound);
        return pending.reply();
    }
    // Leaves the bus, returning once the panel's process has heard it.
    void leave()
    {
        QDBusServiceWatcher gone(connection.baseService(), QDBusConnection::sessionBus(),
                                 QDBusServiceWatcher::WatchForUnregistration);
        bool heard = false;
        QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] { heard = true; });
        connection = QDBusConnection(QString()); // the last hold on it goes, and with it the connection
        QDBusConnection::disconnectFromBus(name);
        (void)QTest::qWaitFor([&] { return heard; }, kBound);
    }
};

// The bytes the unit heard up to a marker sent after them, the marker left out: what
// went out, and nothing that is still to come.
QByteArray heardBeforeMarker(PtyUnit &unit)
{
    if (busclient::send(QStringLiteral("5")).type() != QDBusMessage::ReplyMessage)
        return "no marker";
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += unit.received();
            return got.endsWith('5');
        },
        kBound);
    got.chop(1);
    return got;
}

} // namespace

class OwnersTest : public QObject {
    Q_OBJECT

private slots:
    void automaticStopsCutOnlyTheirOwn_data()
    {
        QTest::addColumn<QString>("door");
        QTest::addColumn<QString>("onAir");
        QTest::addColumn<QByteArray>("stop");
        for (const char *door : {"window", "bus caller", "rigctld client", "page session", "--wait", "plain Send"}) {
            // A program that sent plainly and left (qx50-send T) leaves its message on
            // the air: a logger relies on that.
            const QByteArray own = qstrcmp(door, "plain Send") == 0 ? QByteArray() : QByteArray("S");
            QTest::addRow("%s, its own", door) << door << "own" << own;
            QTest::addRow("%s, another's", door) << door << "another's" << QByteArray();
            QTest::addRow("%s, none", door) << door << "none" << QByteArray();
        }
    }
    void automaticStopsCutOnlyTheirOwn()
    {
        QFETCH(QString, door);
        QFETCH(QString, onAir);
        QFETCH(QByteArray, stop);
        BusPanel p;
        p.f.openPort(2);
        QCOMPARE(p.f.form->model().messages().setLength(1, 60000), QString()); // --wait needs it known
        Caller caller(QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression("\\W"), "-"));
        QProcess sender;

        // Each door starts memory 1 its own way, and stops by itself its own way.
        std::function<void()> startOwn;
        std::function<void()> stopByItself;
        const QString tag
            = door == QLatin1String("page session") ? QStringLiteral("page 1") : QStringLiteral("127.0.0.1:40001");
        if (door == QLatin1String("window")) {
            startOwn = [&] {
                p.f.form->Form_KeyPress('1');
                p.f.form->Form_KeyPress('t');
            };
            stopByItself = [&] { p.f.form->model().stopOwnTransmission(Owner::window()); };
        } else if (door == QLatin1String("bus caller") || door == QLatin1String("plain Send")) {
            startOwn = [&] {
                caller.call("Send", {QStringLiteral("1")});
                caller.call("Send", {QStringLiteral("T")});
            };
            if (door == QLatin1String("plain Send"))
                stopByItself = [&] { caller.leave(); };
            else
                stopByItself
                    = [&] { QCOMPARE(caller.call("StopOwn", {QString()}).type(), QDBusMessage::ReplyMessage); };
        } else if (door == QLatin1String("--wait")) {
            startOwn = [&] { sender.start(QStringLiteral(QX50_SEND), {"--play", "1", "--wait"}); };
            stopByItself = [&] {
                ::kill(static_cast<pid_t>(sender.processId()), SIGTERM);
                QVERIFY(QTest::qWaitFor([&] { return sender.state() == QProcess::NotRunning; }, kBound));
                QCOMPARE(sender.exitCode(), 0);
            };
        } else {
            startOwn = [&] {
                caller.call("SendFor", {QStringLiteral("1"), tag});
                caller.call("SendFor", {QStringLiteral("T"), tag});
            };
            if (door == QLatin1String("rigctld client")) // qx50-rigctld ends, or is killed
                stopByItself = [&] { caller.leave(); };
            else // the page's socket closed or went silent
                stopByItself = [&] { QCOMPARE(caller.call("StopOwn", {tag}).type(), QDBusMessage::ReplyMessage); };
        }

        startOwn();
        QCOMPARE(p.unit.arriving(2, kBound), QByteArray("1T"));
        if (onAir == QLatin1String("another's")) {
            if (door == QLatin1String("window")) {
                QCOMPARE(busclient::send(QStringLiteral("1")).type(), QDBusMessage::ReplyMessage);
                QCOMPARE(busclient::send(QStringLiteral("T")).type(), QDBusMessage::ReplyMessage);
            } else {
                p.f.form->Form_KeyPress('1');
                p.f.form->Form_KeyPress('t');
            }
            QCOMPARE(p.unit.arriving(2, kBound), QByteArray("1T"));
        } else if (onAir == QLatin1String("none")) {
            p.f.form->Form_KeyPress('3'); // its message ended, and nothing took the air
            QCOMPARE(p.unit.arriving(1, kBound), QByteArray("3"));
        }
        stopByItself();
        QCOMPARE(heardBeforeMarker(p.unit), stop);
    }
};

QTEST_MAIN(OwnersTest)
#include "tst_owners.moc"
