// Repeat transmit on a unit at the far end of a pseudo-terminal, with the time each
// byte arrives there: the spacing, the count, every way it stops, and what it refuses.
#include "support/BusClient.h"
#include "support/BusPanel.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "app/ControlBus.h"
#include "panel/RepeatTransmit.h"

#include <QAction>
#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <limits>

namespace {

using Stop = RepeatTransmit::Stop;

using busclient::client;
using busclient::kInterface;
using busclient::kPath;
using busclient::kService;
constexpr int kPeriodMs = 2000;
constexpr int kToleranceMs = 100;

QDBusMessage call(const QString &method, const QVariantList &args = {})
{
    return busclient::call(kInterface, method, args);
}
QDBusMessage startRepeat(const QString &memory, double seconds, uint count)
{
    return call(QStringLiteral("StartRepeat"), {memory, seconds, count});
}

QStringList repeatArgs(const char *memory, const char *seconds, const char *times)
{
    return {QStringLiteral("--repeat"),   QString::fromLatin1(memory), QStringLiteral("--every"),
            QString::fromLatin1(seconds), QStringLiteral("--times"),   QString::fromLatin1(times)};
}

// What the unit hears, each byte with the moment it arrived.
struct Listener {
    PtyUnit &unit;
    QElapsedTimer clock;
    QByteArray bytes;
    QList<qint64> at;

    explicit Listener(PtyUnit &u)
        : unit(u)
    {
        clock.start();
    }
    void take()
    {
        const QByteArray got = unit.received();
        for (char c : got) {
            bytes += c;
            at << clock.elapsed();
        }
    }
    // Waits, with the window's events flowing, until `count` bytes have come in all.
    bool waitFor(qsizetype count, int timeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                take();
                return bytes.size() >= count;
            },
            timeoutMs);
    }
};

// The panel on the bus with COM2 open.
struct Panel : BusPanel {
    Panel() { f.openPort(2); }
    RepeatTransmit &repeat() { return *f.form->repeat; }
    QLabel *line() { return f.form->findChild<QLabel *>(QStringLiteral("RepeatLine")); }
};

} // namespace

class RepeatTest : public QObject {
    Q_OBJECT

public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == kInterface && changed.contains(QStringLiteral("Repeating")))
            m_changes << changed;
    }

private:
    QList<QVariantMap> m_changes;

private slots:
    // Started from the command line: each transmission one period after the last,
    // exactly as many as asked, then silence; the sender stays until the end.
    void transmitsEachPeriodThenFallsSilent()
    {
        Panel p;
        QVERIFY(client().connect(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("PropertiesChanged"), this,
                                 SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        m_changes.clear();
        QProcess sender;
        auto reap = qScopeGuard([&] {
            sender.kill();
            sender.waitForFinished(5000);
        });
        Listener heard(p.unit);
        sender.start(QStringLiteral(QX50_SEND), repeatArgs("4", "2", "3"));

        QVERIFY(heard.waitFor(6, 3 * kPeriodMs + 5000));
        QCOMPARE(heard.bytes, QByteArray("4T4T4T"));
        QCOMPARE(p.f.form->Status->caption(), QStringLiteral("Transmit"));
        for (int n = 1; n < 3; ++n) {
            const qint64 spacing = heard.at[2 * n + 1] - heard.at[2 * n - 1];
            qInfo("transmission %d came %lld ms after the one before", n + 1, spacing);
            QVERIFY2(std::abs(spacing - kPeriodMs) <= kToleranceMs, qPrintable(QString::number(spacing)));
        }
        QCOMPARE(sender.state(), QProcess::Running); // the last message still has its period

        QTRY_VERIFY_WITH_TIMEOUT(sender.state() == QProcess::NotRunning, kPeriodMs + 5000);
        QCOMPARE(sender.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sender.exitCode(), 0);
        QVERIFY(!p.repeat().repeating());
        QVERIFY(!heard.waitFor(7, kPeriodMs + 2 * kToleranceMs)); // silence
        QCOMPARE(heard.bytes, QByteArray("4T4T4T"));

        const QList<QVariantMap> expected {{{"Repeating", true}, {"RepeatsLeft", 2u}},
                                           {{"Repeating", true}, {"RepeatsLeft", 1u}},
                                           {{"Repeating", true}, {"RepeatsLeft", 0u}},
                                           {{"Repeating", false}, {"RepeatsLeft", 0u}}};
        QTRY_COMPARE(m_changes, expected);
        QCOMPARE(p.f.desktop.events, QStringList());
    }

    void everyWayOfStoppingEndsItThere_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("after"); // what the unit hears once it has stopped
        QTest::addColumn<Stop>("why");
        QTest::addRow("StopRepeat") << "StopRepeat" << QByteArray("S") << Stop::Asked;
        QTest::addRow("qx50-send --repeat killed") << "kill sender" << QByteArray("S") << Stop::CallerLeft;
        QTest::addRow("window closed") << "close" << QByteArray("S") << Stop::WindowClosing;
        QTest::addRow("Exit") << "Exit" << QByteArray("S") << Stop::WindowClosing;
        QTest::addRow("key 5") << "key 5" << QByteArray("5") << Stop::Operator;
        QTest::addRow("key Escape") << "key Escape" << QByteArray() << Stop::Operator;
        QTest::addRow("click Play") << "click Play" << QByteArray("P") << Stop::Operator;
        QTest::addRow("menu choice") << "menu choice" << QByteArray() << Stop::Operator;
        QTest::addRow("Stop Repeat item") << "Stop Repeat" << QByteArray() << Stop::Operator;
        QTest::addRow("port closed") << "port closed" << QByteArray() << Stop::PortClosed;
        QTest::addRow("port changed") << "port changed" << QByteArray() << Stop::PortClosed;
        QTest::addRow("line lost") << "line lost" << QByteArray() << Stop::PortClosed;
        QTest::addRow("line takes no more") << "line full" << QByteArray() << Stop::NotTaken;
        // A command from outside ends it as a key in the window does, then goes out.
        QTest::addRow("bus Send S") << "bus S" << QByteArray("S") << Stop::Outside;
        QTest::addRow("bus Send 5") << "bus 5" << QByteArray("5") << Stop::Outside;
        QTest::addRow("qx50-send S") << "qx50-send S" << QByteArray("S") << Stop::Outside;
    }
    void everyWayOfStoppingEndsItThere()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, after);
        QFETCH(Stop, why);
        Panel p;
        Form1 &form = *p.f.form;
        PtyUnit other;
        p.f.ports[1] = other.devicePath();
        FormFixture::writeSettingsFile("COM2:9600,N,8,1\r\n");
        QSignalSpy stopped(&p.repeat(), &RepeatTransmit::stopped);
        QProcess sender;
        auto reap = qScopeGuard([&] {
            sender.kill();
            sender.waitForFinished(5000);
        });
        Listener heard(p.unit);

        if (how == QLatin1String("kill sender"))
            sender.start(QStringLiteral(QX50_SEND), repeatArgs("3", "2", "5"));
        else
            QCOMPARE(startRepeat(QStringLiteral("3"), 2.0, 5).type(), QDBusMessage::ReplyMessage);
        QVERIFY(heard.waitFor(2, 10000));
        QCOMPARE(heard.bytes, QByteArray("3T"));
        QVERIFY(p.repeat().repeating());

        int stopWithinMs = 1000;
        if (how == QLatin1String("StopRepeat"))
            QCOMPARE(call(QStringLiteral("StopRepeat")).type(), QDBusMessage::ReplyMessage);
        else if (how == QLatin1String("kill sender"))
            sender.kill(); // SIGKILL: its connection to the bus is all that ends
        else if (how == QLatin1String("close"))
            form.close();
        else if (how == QLatin1String("Exit"))
            form.Exit->trigger();
        else if (how == QLatin1String("key 5"))
            QTest::keyClick(form.Command3, Qt::Key_5);
        else if (how == QLatin1String("key Escape"))
            QTest::keyClick(form.Command3, Qt::Key_Escape);
        else if (how == QLatin1String("click Play"))
            QTest::mouseClick(form.Command3, Qt::LeftButton);
        else if (how == QLatin1String("menu choice"))
            form.menuShowSerialComRxData->trigger();
        else if (how == QLatin1String("Stop Repeat"))
            form.menuRepeatTransmit->trigger();
        else if (how == QLatin1String("port closed"))
            form.Comm1.setPortOpen(false);
        else if (how == QLatin1String("port changed"))
            form.SelectComPort(1);
        else if (how == QLatin1String("line lost"))
            p.unit.hangUp();
        else if (how.startsWith(QLatin1String("bus ")))
            QCOMPARE(busclient::send(how.mid(4)).type(), QDBusMessage::ReplyMessage);
        else if (how == QLatin1String("qx50-send S")) {
            QProcess stop;
            stop.start(QStringLiteral(QX50_SEND), {QStringLiteral("S")});
            QVERIFY(QTest::qWaitFor([&] { return stop.state() == QProcess::NotRunning; }, 10000));
            QCOMPARE(stop.exitCode(), 0);
        } else if (how == QLatin1String("line full")) {
            // The unit stops reading: the line fills up, and the next transmission finds it
            // full. Full is full once a write is refused and nothing more reached the
            // unit's end since the last look (the kernel may make room a moment later).
            int sent = 0;
            int unreadBefore = -1;
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    QString why;
                    while (sent < 4 * 1024 * 1024 && form.issueCommand('7', &why))
                        ++sent;
                    const bool settled = p.unit.unread() == unreadBefore;
                    unreadBefore = p.unit.unread();
                    return settled;
                }(),
                10000);
            stopWithinMs = kPeriodMs + 5000;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!p.repeat().repeating(), stopWithinMs);
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(stopped.at(0).at(0).value<Stop>(), why);

        // Nothing more for the repeat, past the moment of its next transmission.
        const qint64 nextDue = heard.at.value(1) + kPeriodMs + 3 * kToleranceMs;
        (void)heard.waitFor(std::numeric_limits<qsizetype>::max(),
                            int(std::max<qint64>(0, nextDue - heard.clock.elapsed())));
        QByteArray tail = heard.bytes.mid(2);
        if (how == QLatin1String("line full"))
            tail.replace('7', QByteArray());
        QCOMPARE(tail, after);

        if (how == QLatin1String("Exit")) { // no unload step: the port and the settings file stay
            QCOMPARE(p.f.desktop.endings, QList<int> {0});
            QVERIFY(form.Comm1.portOpen());
            QCOMPARE(FormFixture::settingsFileBytes(), QByteArray("COM2:9600,N,8,1\r\n"));
        }
        if (how == QLatin1String("click Play"))
            QCOMPARE(form.Status->caption(), QStringLiteral("Play"));
        if (how == QLatin1String("menu choice"))
            QVERIFY(form.menuShowSerialComRxData->isChecked());
        if (how == QLatin1String("Stop Repeat"))
            QVERIFY(!QApplication::activeModalWidget());
        if (how == QLatin1String("port changed"))
            QCOMPARE(other.received(1), QByteArray("P"));
        if (how == QLatin1String("kill sender"))
            QTRY_COMPARE(sender.exitStatus(), QProcess::CrashExit);
    }

    // The bus itself goes away under a repeat a caller started: the caller is gone with
    // it, so the repeat ends with "S".
    void losingTheBusStopsABusStartedRepeat()
    {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        auto reap = qScopeGuard([&] {
            daemon.kill();
            daemon.waitForFinished(5000);
        });
        QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000));
        const QString address = QString::fromLatin1(daemon.readLine()).trimmed();
        FormFixture f;
        PtyUnit unit;
        f.ports[2] = unit.devicePath();
        f.openPort(2);
        ControlBus bus(f.form->model(), f.desktop, QDBusConnection::connectToBus(address, QStringLiteral("panel")));
        QVERIFY(bus.serving());
        QDBusConnection caller = QDBusConnection::connectToBus(address, QStringLiteral("caller"));
        QDBusMessage start = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("StartRepeat"));
        start.setArguments({QStringLiteral("5"), 2.0, 5u});
        QDBusPendingCall pending = caller.asyncCall(start);
        QVERIFY(QTest::qWaitFor([&] { return pending.isFinished(); }, 10000));
        QCOMPARE(pending.reply().type(), QDBusMessage::ReplyMessage);
        QCOMPARE(unit.arriving(2), QByteArray("5T"));

        ::kill(static_cast<pid_t>(daemon.processId()), SIGKILL);
        QCOMPARE(unit.arriving(1, kPeriodMs - 2 * kToleranceMs), QByteArray("S"));
        QVERIFY(!f.form->repeat->repeating());
        QDBusConnection::disconnectFromBus(QStringLiteral("caller"));
        QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
    }

    // From the window: the dialog, what the window shows while it repeats, what a
    // screen reader hears, and the window as it was once the repeat is over.
    void aRepeatFromTheWindowShowsWhatRepeats()
    {
        Panel p;
        Form1 &form = *p.f.form;
        QSignalSpy told(&p.repeat(), &RepeatTransmit::told);
        QCOMPARE(form.menuRepeatTransmit->text(), QStringLiteral("Repeat Transmit\u2026"));
        QVERIFY(p.line()->isHidden());
        Listener heard(p.unit);

        QTimer::singleShot(0, this, [] {
            QWidget *dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            dialog->findChild<QSpinBox *>(QStringLiteral("memory"))->setValue(6);
            dialog->findChild<QDoubleSpinBox *>(QStringLiteral("seconds"))->setValue(2);
            dialog->findChild<QSpinBox *>(QStringLiteral("count"))->setValue(2);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("start")), Qt::LeftButton);
        });
        form.menuRepeatTransmit->trigger();
        QVERIFY(heard.waitFor(2, 5000));
        QCOMPARE(heard.bytes, QByteArray("6T"));
        QCOMPARE(form.Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(form.menuRepeatTransmit->text(), QStringLiteral("Stop Repeat"));
        QVERIFY(!p.line()->isHidden());
        QCOMPARE(p.line()->text(), QStringLiteral("Repeat 6: 1 left"));
        QCOMPARE(told.value(0).value(0).toString(), QStringLiteral("Repeating memory 6, 2 times, every 2 seconds."));

        QVERIFY(heard.waitFor(4, kPeriodMs + 5000));
        QCOMPARE(p.line()->text(), QStringLiteral("Repeat 6: 0 left"));
        QTRY_VERIFY_WITH_TIMEOUT(!p.repeat().repeating(), kPeriodMs + 5000);
        QCOMPARE(heard.bytes, QByteArray("6T6T"));
        QCOMPARE(told.value(1).value(0).toString(), QStringLiteral("Repeat finished."));
        QCOMPARE(form.menuRepeatTransmit->text(), QStringLiteral("Repeat Transmit\u2026"));
        QVERIFY(p.line()->isHidden());
        QCOMPARE(form.windowTitle(), QStringLiteral("ORMA QX50 Voice Memory"));
        QCOMPARE(p.f.desktop.events, QStringList());
    }

    // With no repeat running the window behaves as it always has: keys, clicks and
    // menu choices do their own work only, and nothing about the repeat shows.
    void nothingChangesWhileNoRepeatRuns()
    {
        Panel p;
        Form1 &form = *p.f.form;
        QTest::keyClick(form.Command3, Qt::Key_T);
        QTest::mouseClick(form.Number[8], Qt::LeftButton);
        form.menuKeyboardCommands->trigger();
        QTest::keyClick(form.Command3, Qt::Key_M); // keyboard commands are off now
        QCOMPARE(p.unit.received(2), QByteArray("T8"));
        QCOMPARE(form.Status->caption(), QStringLiteral("Transmit"));
        QCOMPARE(form.Status->foreColor(), 255u);
        QCOMPARE(form.menuRepeatTransmit->text(), QStringLiteral("Repeat Transmit\u2026"));
        QVERIFY(p.line()->isHidden());
        QCOMPARE(form.windowTitle(), QStringLiteral("ORMA QX50 Voice Memory"));
        QCOMPARE(p.f.desktop.events, QStringList());
        QCOMPARE(call(QStringLiteral("StopRepeat")).type(), QDBusMessage::ReplyMessage); // none runs: no byte
        QCOMPARE(p.unit.received(), QByteArray());
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("memory");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<uint>("count");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("text");
        const QString invalid = QString::fromLatin1(panel::kInvalidArgs);
        const QString memory = QStringLiteral("the memory must be one digit, 0 to 9");
        const QString period = QStringLiteral("the period must be 2 to 600 seconds");
        const QString count = QStringLiteral("the number of transmissions must be 1 to 100");
        QTest::addRow("memory x") << true << "x" << 30.0 << 10u << invalid << memory;
        QTest::addRow("memory 12") << true << "12" << 30.0 << 10u << invalid << memory;
        QTest::addRow("no memory") << true << "" << 30.0 << 10u << invalid << memory;
        QTest::addRow("period 1.9 s") << true << "3" << 1.9 << 10u << invalid << period;
        QTest::addRow("period 600.5 s") << true << "3" << 600.5 << 10u << invalid << period;
        QTest::addRow("period NaN") << true << "3" << std::nan("") << 10u << invalid << period;
        QTest::addRow("period infinite") << true << "3" << std::numeric_limits<double>::infinity() << 10u << invalid
                                         << period;
        QTest::addRow("no transmissions") << true << "3" << 30.0 << 0u << invalid << count;
        QTest::addRow("101 transmissions") << true << "3" << 30.0 << 101u << invalid << count;
        QTest::addRow("4294967295 transmissions") << true << "3" << 30.0 << 4294967295u << invalid << count;
        QTest::addRow("port closed") << false << "3" << 30.0 << 10u << QString::fromLatin1(panel::kPortNotOpen)
                                     << "Com Port is not open!";
    }
    void refusals()
    {
        QFETCH(bool, open);
        QFETCH(QString, memory);
        QFETCH(double, seconds);
        QFETCH(uint, count);
        QFETCH(QString, error);
        QFETCH(QString, text);
        Panel p;
        if (!open)
            p.f.form->Comm1.setPortOpen(false);
        const QDBusMessage reply = startRepeat(memory, seconds, count);
        QCOMPARE(reply.errorName(), error);
        QCOMPARE(reply.errorMessage(), text);
        QVERIFY(!p.repeat().repeating());
        QCOMPARE(p.unit.received(), QByteArray());
        QCOMPARE(p.f.desktop.events, QStringList());
    }

    void refusalsOnTheCommandLineAndInTheWindow()
    {
        Panel p;
        struct Case {
            QStringList args;
            int exitCode;
            const char *err;
        };
        const Case cases[] = {
            {repeatArgs("3", "1", "5"), 1, "qx50-send: the period must be 2 to 600 seconds"},
            {repeatArgs("3", "2", "-1"), 1, "qx50-send: the number of transmissions must be 1 to 100"},
            {repeatArgs("3", "two", "5"), 1, "qx50-send: --every takes a number of seconds"},
            {{"--repeat", "3", "--every", "2"}, 1, "qx50-send: --repeat, --every and --times are all needed"},
        };
        for (const Case &c : cases) {
            QProcess sender;
            sender.start(QStringLiteral(QX50_SEND), c.args);
            QVERIFY(QTest::qWaitFor([&] { return sender.state() == QProcess::NotRunning; }, 10000));
            QCOMPARE(sender.exitCode(), c.exitCode);
            QCOMPARE(QString::fromLocal8Bit(sender.readAllStandardError()).trimmed(), QString::fromLatin1(c.err));
        }

        QCOMPARE(startRepeat(QStringLiteral("3"), 2.0, 5).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(p.unit.received(2), QByteArray("3T"));
        const QDBusMessage second = startRepeat(QStringLiteral("4"), 2.0, 5);
        QCOMPARE(second.errorName(), QString::fromLatin1(panel::kRepeating));
        QCOMPARE(p.repeat().memory(), '3');
        p.repeat().stop(Stop::Operator);

        // The dialog's Start with the port closed: the usual warning, and nothing sent.
        p.f.form->Comm1.setPortOpen(false);
        QTimer::singleShot(0, this, [] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (auto *start = dialog ? dialog->findChild<QPushButton *>(QStringLiteral("start")) : nullptr)
                QTest::mouseClick(start, Qt::LeftButton);
        });
        p.f.form->menuRepeatTransmit->trigger();
        QCOMPARE(p.f.desktop.events, QStringList({"beep", "box: Com Port is not open!"}));
        QVERIFY(!p.repeat().repeating());
        QCOMPARE(p.unit.received(), QByteArray());
    }
};

QTEST_MAIN(RepeatTest)
#include "tst_repeat.moc"
