// The start-up scan's probe of a present port: no lock file is written for it, yet
// every sign that another program uses the port still greys the port out; opening
// the port for use takes the lock file as before.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "serial/SerialComm.h"

#include <QAction>
#include <QTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Every file made in the lock folder while it lives, however briefly.
class LockFolderWatch {
public:
    LockFolderWatch()
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            ::inotify_add_watch(m_fd, "/run/lock", IN_CREATE | IN_MOVED_TO);
    }
    ~LockFolderWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool watching() const { return m_fd >= 0; }
    QStringList made()
    {
        QStringList names;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            for (char *at = buffer; at < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(at);
                if (event->len > 0)
                    names << QString::fromLocal8Bit(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        return names;
    }

private:
    int m_fd;
};

} // namespace

class ScanProbeTest : public QObject {
    Q_OBJECT

private slots:
    void theProbeHonoursHoldersButWritesNoLockFile_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<bool>("enabled");
        QTest::addRow("free") << "none" << true;
        QTest::addRow("another program's lock file") << "lock file" << false;
        QTest::addRow("a lock on the device") << "flock" << false;
        QTest::addRow("an exclusive opening") << "exclusive" << false;
    }

    void theProbeHonoursHoldersButWritesNoLockFile()
    {
        QFETCH(QString, holder);
        QFETCH(bool, enabled);
        PtyUnit unit;
        FormFixture f;
        f.ports[1] = unit.devicePath();
        const QString lockFile = QStringLiteral("/run/lock/") + lockFileName(unit.devicePath());

        std::optional<PortHolder> locked;
        int exclusive = -1;
        if (holder == QLatin1String("lock file")) { // a live program: the one that started this test
            QFile file(lockFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::number(qint64(::getppid())).rightJustified(10) + '\n');
        } else if (holder == QLatin1String("flock")) {
            locked.emplace(unit.devicePath());
            QVERIFY(locked->holding());
        } else if (holder == QLatin1String("exclusive")) {
            exclusive = ::open(unit.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            QVERIFY(exclusive >= 0 && ::ioctl(exclusive, TIOCEXCL) == 0);
        }

        LockFolderWatch watch;
        QVERIFY(watch.watching());
        f.form->ScanComPorts();
        const QStringList made = watch.made();
        if (holder == QLatin1String("lock file"))
            QFile::remove(lockFile);
        if (exclusive >= 0)
            ::close(exclusive);

        QCOMPARE(f.form->menuCom(1)->isEnabled(), enabled);
        QVERIFY2(!made.contains(lockFileName(unit.devicePath())), qPrintable(made.join(u' ')));
        if (!enabled)
            QVERIFY2(f.form->menuCom(1)->toolTip().contains(QLatin1String("in use by another program")),
                     qPrintable(f.form->menuCom(1)->toolTip()));
        QVERIFY(!f.form->Comm1.portOpen());
        QCOMPARE(unit.received(), QByteArray()); // a probe sends nothing
    }

    // The scan tries ports that are often missing or held: the component hands back
    // the reason an opening would give, and throws nothing for it.
    void theComponentsProbeReturnsTheReasonAnOpeningWouldGive()
    {
        PtyUnit unit;
        const QString missing = unit.devicePath() + QStringLiteral("-gone");
        SerialComm comm([&](int port) { return port == 1 ? unit.devicePath() : missing; });
        QString why;
        comm.setCommPort(2);
        QVERIFY_THROWS_NO_EXCEPTION(why = comm.probe());
        QVERIFY2(why.startsWith(QStringLiteral("COM2 (%1): there is no such device").arg(missing)), qPrintable(why));

        comm.setCommPort(1);
        QCOMPARE(comm.probe(), QString());
        const int exclusive
            = ::open(unit.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(exclusive >= 0 && ::ioctl(exclusive, TIOCEXCL) == 0);
        QVERIFY_THROWS_NO_EXCEPTION(why = comm.probe());
        ::ioctl(exclusive, TIOCNXCL); // the mode belongs to the terminal, not to this descriptor
        ::close(exclusive);
        QVERIFY2(why.contains(QLatin1String("in use by another program")), qPrintable(why));
        QVERIFY(!comm.portOpen());
        QCOMPARE(comm.probe(), QString()); // nothing of the refused try is left behind
    }

    void openingForUseStillTakesTheLockFile()
    {
        PtyUnit unit;
        FormFixture f;
        f.ports[1] = unit.devicePath();
        const QString lockFile = QStringLiteral("/run/lock/") + lockFileName(unit.devicePath());
        f.form->ScanComPorts();
        f.form->SelectComPort(1);
        QVERIFY(f.form->Comm1.portOpen());
        QVERIFY(QFile::exists(lockFile));
        f.form->menuCloseComPort_Click();
        QVERIFY(!QFile::exists(lockFile));
    }
};

QTEST_MAIN(ScanProbeTest)
#include "tst_scanprobe.moc"
