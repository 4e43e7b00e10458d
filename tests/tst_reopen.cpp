// A lost port comes back by itself: a device behind a stable link that goes and
// comes again (an adapter reset by RF), a serial server restarted, and Com items that
// light up and grey as their devices come and go. The unit's end is a real
// pseudo-terminal; the server is a real ser2net.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "support/Ser2net.h"
#include "panel/LostPortWait.h"
#include "serial/DeviceWatcher.h"
#include "serial/LocalLine.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kBound = 10000;

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

// The lock files this process holds now (each names its holder's PID first).
QStringList locks()
{
    const QDir folder(QStringLiteral("/run/lock"));
    QStringList ours;
    for (const QString &name : folder.entryList({QStringLiteral("LCK..*")}, QDir::Files | QDir::System)) {
        QFile lock(folder.filePath(name));
        if (lock.open(QIODevice::ReadOnly)
            && lock.readLine().trimmed().toLongLong() == QCoreApplication::applicationPid())
            ours << name;
    }
    return ours;
}

// A window with reopening on and COM1 on whatever `device` names, chosen from the menu.
struct Waiting {
    FormFixture f;
    PanelModel &model() { return f.form->model(); }
    explicit Waiting(const QString &device)
    {
        f.ports[1] = device;
        f.form->Comm1.setReopenLostPort(true);
        f.form->Form_Load();
        f.form->menuCom(1)->trigger();
    }
    QString line() { return f.form->findChild<QLabel *>(QStringLiteral("RepeatLine"))->text(); }
};

} // namespace

class ReopenTest : public QObject {
    Q_OBJECT

private slots:
    // Twenty resets in a row: each time the link goes with its device, the panel
    // waits with one beep and no box, and takes the device back through the same name
    // as soon as it comes; nothing is left behind.
    void aDeviceBehindALinkComesBack()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("usb-ORMA_QX50-if00-port0"));
        auto unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        Waiting w(link);
        QCOMPARE(unit->received(1), QByteArray("P"));
        const int descriptors = openDescriptors();
        const QStringList held = locks(); // the panel's among them

        for (int round = 0; round < 20; ++round) {
            w.f.desktop.clear();
            const QString status = w.f.form->Status->caption();
            unit->hangUp();
            QVERIFY(QFile::remove(link));
            QTRY_COMPARE_WITH_TIMEOUT(w.model().line().state(), PanelModel::LineState::Waiting, kBound);
            QCOMPARE(w.f.desktop.events, QStringList {"beep"});
            QCOMPARE(w.f.checkedComItems(), QList<int> {1});
            QVERIFY(w.f.form->menuCloseComPort->isEnabled());
            QCOMPARE(w.f.form->Status->caption(), status); // the status says what it said
            QVERIFY2(w.line().startsWith(QStringLiteral("COM1 lost \u2013 waiting")), qPrintable(w.line()));
            QCOMPARE(locks().size(), held.size() - 1); // the lost port's lock is given back
            QCOMPARE(w.model().sendFromOutside('T').why, QStringLiteral("COM1 lost, waiting for it to come back"));

            unit = std::make_unique<PtyUnit>();
            QVERIFY(QFile::link(unit->devicePath(), link));
            QTRY_VERIFY_WITH_TIMEOUT(w.model().line().portOpen(), 1000);
            QCOMPARE(w.line(), QStringLiteral("COM1 back"));
            QCOMPARE(unit->received(), QByteArray()); // nothing sent by itself
            QTest::keyClick(w.f.form.get(), Qt::Key_T);
            QCOMPARE(unit->received(1), QByteArray("T"));
            QCOMPARE(locks(), held); // and taken again
            QCOMPARE(w.f.desktop.events, QStringList {"beep"});
        }
        QCOMPARE(openDescriptors(), descriptors);
    }

    // A command from the window while the port is waited for raises no box, which
    // would stay up after the port is back and stand in every door's way: a beep,
    // and the wait told again. Once back, every door reaches the unit.
    void aCommandWhileWaitedForLeavesNoBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addRow("key t") << "key t";
        QTest::addRow("key 5") << "key 5";
        QTest::addRow("Play clicked") << "click";
    }
    void aCommandWhileWaitedForLeavesNoBox()
    {
        QFETCH(QString, how);
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("unit"));
        auto unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        Waiting w(link);
        QCOMPARE(unit->received(1), QByteArray("P"));
        unit->hangUp();
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE_WITH_TIMEOUT(w.model().line().state(), PanelModel::LineState::Waiting, kBound);
        QSignalSpy told(&w.model().line(), &Line::told);
        w.f.desktop.clear();

        if (how == QLatin1String("click"))
            QTest::mouseClick(w.f.form->Command3, Qt::LeftButton);
        else
            QTest::keyClick(w.f.form.get(), how.back().toLatin1());
        QTRY_COMPARE(w.f.desktop.events, QStringList {"beep"});
        QCOMPARE(told.size(), 1);
        QCOMPARE(told.at(0).at(0).toString(), QStringLiteral("COM1 lost, waiting for it to come back"));
        QVERIFY2(w.line().startsWith(QStringLiteral("COM1 lost \u2013 waiting")), qPrintable(w.line()));

        unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        QTRY_VERIFY_WITH_TIMEOUT(w.model().line().portOpen(), kBound);
        QCOMPARE(unit->received(), QByteArray()); // what was pressed meanwhile is not sent
        QCOMPARE(w.model().sendFromOutside('T').refused, PanelModel::Refused::No);
        QCOMPARE(unit->arriving(1, kBound), QByteArray("T"));
        QTest::keyClick(w.f.form.get(), Qt::Key_5);
        QCOMPARE(unit->arriving(1, kBound), QByteArray("5"));
        QCOMPARE(w.f.desktop.events, QStringList {"beep"});
    }

    // Where the system cannot watch the device (no inotify instance left for this
    // user: the process's descriptors spent here), its path is tried once a second,
    // and the failure log says why, once.
    void anUnwatchedDeviceIsTriedEachSecond()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("unit"));
        std::unique_ptr<DeviceWatcher> watcher;
        {
            rlimit was {};
            QVERIFY(::getrlimit(RLIMIT_NOFILE, &was) == 0);
            const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            QVERIFY(lowestFree >= 0);
            ::close(lowestFree);
            rlimit spent = was;
            spent.rlim_cur = rlim_t(lowestFree); // no descriptor left for an inotify instance
            QVERIFY(::setrlimit(RLIMIT_NOFILE, &spent) == 0);
            watcher = std::make_unique<DeviceWatcher>(link);
            QVERIFY(::setrlimit(RLIMIT_NOFILE, &was) == 0);
        }
        QVERIFY(!watcher->watching());
        QVERIFY(watcher->whyNotWatching().contains(QStringLiteral("Too many open files")));

        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("COM1 (%1) is tried once a second while it is waited for: %2")
                                            .arg(link, watcher->whyNotWatching())));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("tried once a second")));
        LostPortWait wait(1, link, watcher.get());
        QSignalSpy tries(&wait, &LostPortWait::tryNow);
        PtyUnit unit;
        QVERIFY(QFile::link(unit.devicePath(), link));
        for (int round = 1; round <= 3; ++round) {
            QVERIFY(tries.wait(3 * LostPortTimes().unwatchedTryMs));
            QCOMPARE(tries.size(), round);
            wait.triedInVain();
        }
    }

    // A device not back within the wait's time is given up: the port is shown closed
    // and a box says why, once.
    void aPortNotBackInTimeIsGivenUp()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("unit"));
        PtyUnit unit;
        QVERIFY(QFile::link(unit.devicePath(), link));
        Waiting w(link);
        LostPortTimes soon;
        soon.giveUpMs = 200;
        w.model().line().setLostPortTimes(soon);
        w.f.desktop.clear();
        unit.hangUp();
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE_WITH_TIMEOUT(w.model().line().state(), PanelModel::LineState::Waiting, kBound);
        QTRY_COMPARE_WITH_TIMEOUT(w.model().line().state(), PanelModel::LineState::Closed, kBound);
        // One beep when the wait begins, and the box with its own.
        QCOMPARE(w.f.desktop.events, QStringList({"beep", "beep", "box: The Com Port is not available"}));
        QCOMPARE(w.f.desktop.boxes.at(0).detail,
                 QStringLiteral("COM1 (%1): %2").arg(link, QLatin1String(LocalLine::kLineGoneWords)));
        QCOMPARE(w.f.checkedComItems(), QList<int>());
        QCOMPARE(w.line(), QString());
    }

    // A serial server stopped and started again on the same port.
    void aRestartedServerIsReconnected()
    {
        PtyUnit unit;
        auto server = std::make_unique<Ser2net>(unit.devicePath(), Ser2net::Accepter::Raw);
        QVERIFY2(server->listening(), qPrintable(server->output()));
        const quint16 port = server->port();
        Waiting w(server->address());
        QCOMPARE(unit.arriving(1, kBound), QByteArray("P"));

        server->kill();
        QTRY_COMPARE_WITH_TIMEOUT(w.model().line().state(), PanelModel::LineState::Waiting, kBound);
        server = std::make_unique<Ser2net>(unit.devicePath(), Ser2net::Accepter::Raw, port);
        QVERIFY2(server->listening(), qPrintable(server->output()));
        QTRY_VERIFY_WITH_TIMEOUT(w.model().line().portOpen(), kBound);
        QCOMPARE(w.model().sendFromOutside('5').refused, PanelModel::Refused::No);
        QCOMPARE(unit.arriving(1, kBound), QByteArray("5"));
    }

    // Choosing, closing or turning the item off ends the wait; the item is remembered.
    void theWaitEndsWhenTheOperatorMovesOn()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("unit"));
        PtyUnit unit;
        QVERIFY(QFile::link(unit.devicePath(), link));
        Waiting w(link);
        unit.hangUp();
        QVERIFY(QFile::remove(link));
        QTRY_COMPARE_WITH_TIMEOUT(w.model().line().state(), PanelModel::LineState::Waiting, kBound);
        w.f.form->menuCloseComPort->trigger();
        QCOMPARE(w.model().line().state(), PanelModel::LineState::Closed);
        QCOMPARE(w.line(), QString());

        w.f.form->menuReopenLostPort->trigger();
        QVERIFY(!w.model().line().reopenLostPort());
        w.f.restart();
        QVERIFY(!PanelPreferences(PanelPreferences::besideAssignments(w.f.cwd.path() + QStringLiteral("/ports.conf")))
                     .reopenLostPort());
    }

    // A greyed item lights up when its device's link appears, and greys when it goes.
    void comItemsFollowTheirDevices()
    {
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("by-id/usb-late-adapter"));
        FormFixture f;
        f.ports[2] = link;
        f.form->Form_Load();
        QVERIFY(!f.form->menuCom(2)->isEnabled());

        PtyUnit unit;
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("by-id")))); // its folder comes with it
        QVERIFY(QFile::link(unit.devicePath(), link));
        QTRY_VERIFY_WITH_TIMEOUT(f.form->menuCom(2)->isEnabled(), kBound);
        QVERIFY(!f.form->menuCom(2)->toolTip().contains(link)); // no reason left

        QVERIFY(QFile::remove(link));
        QTRY_VERIFY_WITH_TIMEOUT(!f.form->menuCom(2)->isEnabled(), kBound);
        QVERIFY(f.form->menuCom(2)->toolTip().contains(link));
        QCOMPARE(unit.received(), QByteArray());
    }
};

QTEST_MAIN(ReopenTest)
#include "tst_reopen.moc"
