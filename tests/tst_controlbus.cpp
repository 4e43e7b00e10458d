// The panel on a private session bus: qx50-send and other programs' calls take the
// click's road to the line, see the window's state, and can do nothing more.
#include "support/BusClient.h"
#include "support/BusPanel.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "app/ControlBus.h"
#include "panel/RepeatTransmit.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QXmlStreamReader>

namespace {

using busclient::call;
using busclient::client;
using busclient::kInterface;
using busclient::kPath;
using busclient::kProperties;
using busclient::kService;
using busclient::send;
QVariant busProperty(const char *name)
{
    return busclient::property(name);
}

using busclient::Run;
Run runSender(const QStringList &args)
{
    return busclient::run(QStringLiteral(QX50_SEND), args);
}

using Panel = BusPanel;

} // namespace

class ControlBusTest : public QObject {
    Q_OBJECT

public slots:
    // Qt D-Bus connects a bus signal to a slot by its signature only.
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == kInterface)
            m_changes << changed;
    }

private:
    QList<QVariantMap> m_changes;

private slots:
    void commandsFromOutsideAndClicksShareTheLine()
    {
        Panel p;
        QVERIFY(p.bus->serving());
        QVERIFY(client().connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                                 SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        m_changes.clear();
        p.f.openPort(2);
        p.f.form->menuKeyboardCommands->setChecked(false); // it governs keys typed in the window only

        struct Step {
            const char *how;
            const char *command;
            const char *status;
        };
        const Step steps[]
            = {{"qx50-send", "t", "Transmit"}, {"click", "Command3", "Play"},    {"bus", "5", "Play"},
               {"click", "Number2", "Play"},   {"qx50-send", "M", "MIC record"}, {"bus", "s", "MIC record"}};
        QByteArray line;
        for (const Step &step : steps) {
            const QString command = QString::fromLatin1(step.command);
            if (qstrcmp(step.how, "click") == 0)
                QTest::mouseClick(p.f.form->findChild<QPushButton *>(command), Qt::LeftButton);
            else if (qstrcmp(step.how, "bus") == 0)
                QCOMPARE(send(command).type(), QDBusMessage::ReplyMessage);
            else
                QCOMPARE(runSender({command}).exitCode, 0);
            line += p.unit.received(1);
            QCOMPARE(busProperty("Status").toString(), QString::fromLatin1(step.status));
        }
        QCOMPARE(line, QByteArray("TP52MS"));

        p.unit.send(QByteArray("PLAY 3\r\n\0Z", 10));
        QTRY_COMPARE(busProperty("Received").toString(),
                     QStringLiteral("PLAY 3\r\n\u2400Z")); // a bus string ends at NUL
        QCOMPARE(busProperty("ComPort").toInt(), 2);
        p.f.form->Comm1.setPortOpen(false);
        QCOMPARE(busProperty("PortOpen").toBool(), false);

        const QList<QVariantMap> expected {{{"PortOpen", true}, {"ComPort", 2}, {"LineState", "open"}},
                                           {{"Status", "Transmit"}},
                                           {{"Status", "Play"}},
                                           {{"Status", "MIC record"}},
                                           {{"Received", QStringLiteral("PLAY 3\r\n\u2400Z")}},
                                           {{"PortOpen", false}, {"ComPort", 0}, {"LineState", "closed"}}};
        // "2", "M", then "s" recorded memory 2 through the panel: its length is told too.
        auto recorded = [this] {
            return std::find_if(m_changes.cbegin(), m_changes.cend(), [](const QVariantMap &changed) {
                return changed.contains(QStringLiteral("MessageLengths"));
            });
        };
        QTRY_VERIFY(recorded() != m_changes.cend());
        m_changes.removeAt(recorded() - m_changes.cbegin());
        QTRY_COMPARE(m_changes, expected);
        QCOMPARE(p.f.desktop.events, QStringList());
    }

    void refusalsComeBackToTheCallerWithNoBox_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("text");
        const QString notOpen = QString::fromLatin1(panel::kPortNotOpen);
        const QString noCommand = QString::fromLatin1(panel::kNotACommand);
        const QString notACommand = QStringLiteral("\"%1\" is not a command: M, R, P, T, S or a digit 0 to 9");
        QTest::addRow("closed, Transmit") << false << "T" << notOpen << "Com Port is not open!";
        QTest::addRow("closed, no command") << false << "x" << noCommand << notACommand.arg("x");
        QTest::addRow("open, no command") << true << "x" << noCommand << notACommand.arg("x");
        QTest::addRow("open, two commands") << true << "TP" << noCommand << notACommand.arg("TP");
        QTest::addRow("open, T in the low byte")
            << true << QStringLiteral("\u0154") << noCommand << notACommand.arg(QStringLiteral("\u0154"));
    }
    void refusalsComeBackToTheCallerWithNoBox()
    {
        QFETCH(bool, open);
        QFETCH(QString, command);
        QFETCH(QString, error);
        QFETCH(QString, text);
        Panel p;
        if (open)
            p.f.openPort(2);
        p.f.form->showStatus(QStringLiteral("before"), 255);

        const QDBusMessage reply = send(command);
        QCOMPARE(reply.errorName(), error);
        QCOMPARE(reply.errorMessage(), text);
        // The sender refuses what is no command itself, in the panel's words.
        const Run run = runSender({command});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err == QStringLiteral("qx50-send: ") + text || run.err.startsWith(QStringLiteral("qx50-send: ") + text + u'\n'),
                 qPrintable(run.err));

        QCOMPARE(p.f.desktop.events, QStringList());
        QCOMPARE(p.unit.received(), QByteArray());
        QCOMPARE(p.f.form->Status->caption(), QStringLiteral("before"));
    }

    // A unit that stops reading: the command that finds the line full is no success
    // for the caller, though the port stays open.
    void aCommandTheLineDidNotTakeIsNoSuccess()
    {
        Panel p;
        p.f.openPort(2);
        int sent = 0;
        while (sent < 4 * 1024 * 1024 && p.f.form->issueCommand('7'))
            ++sent;
        QCOMPARE(p.f.desktop.prompts(), QStringList {"The command was not sent"}); // the window's own command
        p.f.desktop.clear();
        // The kernel moves what was written on to the unit's end a moment later, and
        // may make room meanwhile: full is full once a write is refused and nothing
        // more reached the unit's end since the last look.
        int unreadBefore = -1;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QString why;
                while (sent < 4 * 1024 * 1024 && p.f.form->issueCommand('7', &why))
                    ++sent;
                const bool settled = p.unit.unread() == unreadBefore;
                unreadBefore = p.unit.unread();
                return settled;
            }(),
            10000);

        // A caller on the bus is answered at once with the reason; no box is put on
        // the operator's screen, nor waited on.
        const QDBusMessage reply = send(QStringLiteral("T"));
        QCOMPARE(reply.errorName(), QString::fromLatin1(panel::kNotSent));
        QVERIFY2(reply.errorMessage().startsWith(
                     QStringLiteral("The command was not sent: COM2 (%1)").arg(p.unit.devicePath()))
                     && reply.errorMessage().endsWith(QStringLiteral("\"T\" was not sent")),
                 qPrintable(reply.errorMessage()));
        const Run run = runSender({QStringLiteral("5")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(QStringLiteral("qx50-send: The command was not sent: COM2"))
                     && run.err.endsWith(QStringLiteral("\"5\" was not sent")),
                 qPrintable(run.err));
        // A repeat whose first transmission the unit does not take is refused the same way.
        const QDBusMessage repeat = call(kInterface, QStringLiteral("StartRepeat"), {QStringLiteral("4"), 10.0, 3u});
        QCOMPARE(repeat.errorName(), QString::fromLatin1(panel::kNotSent));
        QVERIFY2(repeat.errorMessage().startsWith(QStringLiteral("The command was not sent: COM2")),
                 qPrintable(repeat.errorMessage()));
        QVERIFY(!p.f.form->repeat->repeating());
        QCOMPARE(p.f.desktop.events, QStringList());
        QVERIFY(p.f.form->Comm1.portOpen());
        QVERIFY(p.f.form->Status->caption() != QStringLiteral("Transmit"));
    }

    void nothingWhileTheWindowWaitsForTheOperator()
    {
        Panel p;
        p.f.openPort(2);
        QDialog box; // stands for a message box the operator has yet to close
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QCOMPARE(send(QStringLiteral("T")).errorName(), QString::fromLatin1(panel::kBusy));
        box.close();
        QCOMPARE(send(QStringLiteral("T")).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(p.unit.received(1), QByteArray("T"));
    }

    void theBusCannotDoMoreThanTheWindow_data()
    {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::addRow("open the port") << kProperties << "Set"
                                       << QVariantList {kInterface, "PortOpen",
                                                        QVariant::fromValue(QDBusVariant(true))};
        QTest::addRow("write the status")
            << kProperties << "Set"
            << QVariantList {kInterface, "Status", QVariant::fromValue(QDBusVariant(QStringLiteral("x")))};
        QTest::addRow("a window operation") << kInterface << "SelectComPort" << QVariantList {2};
    }
    void theBusCannotDoMoreThanTheWindow()
    {
        QFETCH(QString, interface);
        QFETCH(QString, method);
        QFETCH(QVariantList, args);
        Panel p;
        QCOMPARE(call(interface, method, args).type(), QDBusMessage::ErrorMessage);
        QVERIFY(!p.f.form->Comm1.portOpen());
        QCOMPARE(busProperty("Status").toString(), QStringLiteral("MIC record"));
        QVERIFY(!FormFixture::settingsFilePresent());
        QCOMPARE(p.unit.received(), QByteArray());
    }

    void oneCopyOwnsTheName()
    {
        const Run none = runSender({QStringLiteral("1")});
        QCOMPARE(none.exitCode, 2);
        QCOMPARE(none.err, QStringLiteral("qx50-send: no orma-qx50-voice-mem panel is running"));
        QCOMPARE(runSender({QStringLiteral("x")}).exitCode, 1); // refused before any panel is looked for

        TemporaryWorkingDirectory cwd; // no settings file: both copies start with no port open
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (int n = 1; n <= 4; ++n)
            env.insert(QStringLiteral("QX50_COM%1").arg(n), QStringLiteral("/nonexistent/qx50-com%1").arg(n));
        QProcess first, second;
        for (QProcess *copy : {&first, &second}) {
            copy->setProcessEnvironment(env);
            copy->setWorkingDirectory(cwd.path());
        }
        auto stop = qScopeGuard([&] {
            for (QProcess *copy : {&first, &second}) {
                copy->kill();
                copy->waitForFinished(5000);
            }
        });
        first.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(client().interface()->isServiceRegistered(kService), 10000);
        const Run closed = runSender({QStringLiteral("T")});
        QCOMPARE(closed.exitCode, 1);
        QCOMPARE(closed.err, QStringLiteral("qx50-send: Com Port is not open!"));

        second.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        QString said;
        const QString notice = QStringLiteral("another copy owns org.orma.Qx50VoiceMemory");
        QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(second.readAllStandardError())).contains(notice),
                                 10000);
        QCOMPARE(second.state(), QProcess::Running);
        QCOMPARE(client().interface()->servicePid(kService).value(), static_cast<uint>(first.processId()));
        QCOMPARE(said.count(notice), 1);

        first.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!client().interface()->isServiceRegistered(kService).value(), 10000);
        QCOMPARE(runSender({QStringLiteral("1")}).exitCode, 2);
    }

    // A saved port that fails at start-up holds the window in a box; callers find the
    // panel all the same and hear what the box says.
    // The interface the panel serves is the contract's, member for member and type for
    // type: a member added, renamed or retyped on one side only shows here, both ways.
    void theServedInterfaceIsTheContract()
    {
        Panel p;
        const QDBusMessage reply
            = call(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QStringList served;
        QXmlStreamReader xml(reply.arguments().value(0).toString());
        bool inPanel = false;
        while (!xml.atEnd()) {
            xml.readNext();
            const QXmlStreamAttributes at = xml.attributes();
            if (xml.isStartElement() && xml.name() == u"interface")
                inPanel = at.value(QLatin1String("name")) == kInterface;
            else if (!inPanel || !xml.isStartElement())
                continue;
            else if (xml.name() == u"method" || xml.name() == u"signal")
                served << QStringLiteral("%1 %2 ").arg(xml.name(), at.value(QLatin1String("name")));
            else if (xml.name() == u"arg")
                served.last() += at.value(QLatin1String("type"));
            else if (xml.name() == u"property")
                served << QStringLiteral("property %1 %2%3")
                              .arg(at.value(QLatin1String("name")), at.value(QLatin1String("type")),
                                   at.value(QLatin1String("access")) == u"readwrite" ? QStringLiteral(" writable")
                                                                                     : QString());
        }
        QStringList contract;
        for (const panel::Member &m : panel::kMembers) {
            using Kind = panel::Member::Kind;
            const char *kind = m.kind == Kind::Method ? "method" : m.kind == Kind::Signal ? "signal" : "property";
            contract << QStringLiteral("%1 %2 %3%4")
                            .arg(QLatin1String(kind), QLatin1String(m.name), QLatin1String(m.signature),
                                 m.writable ? QStringLiteral(" writable") : QString());
        }
        served.sort();
        contract.sort();
        QCOMPARE(served, contract);
    }

    void aStartUpBoxLeavesThePanelOnTheBus()
    {
        TemporaryWorkingDirectory cwd;
        FormFixture::writeSettingsFile("COM1:9600,N,8,1");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (int n = 1; n <= 4; ++n)
            env.insert(QStringLiteral("QX50_COM%1").arg(n), QStringLiteral("/nonexistent/qx50-com%1").arg(n));
        QProcess panel;
        panel.setProcessEnvironment(env);
        panel.setWorkingDirectory(cwd.path());
        auto stop = qScopeGuard([&] {
            panel.kill();
            panel.waitForFinished(5000);
        });
        panel.start(QStringLiteral(QX50_EXECUTABLE), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(client().interface()->isServiceRegistered(kService), 10000);
        const Run busy = runSender({QStringLiteral("T")});
        QCOMPARE(busy.exitCode, 1);
        QVERIFY2(busy.err.startsWith(QStringLiteral("qx50-send: The panel is showing a message; close it first. It says: "
                                                    "Select a Free Com Port (COM1 (/nonexistent/qx50-com1)")),
                 qPrintable(busy.err));
    }
};

QTEST_MAIN(ControlBusTest)
#include "tst_controlbus.moc"
