// The serial component against real pseudo-terminals: the test holds the unit's end.
#include "serial/SerialComm.h"
#include "serial/SerialError.h"
#include "support/PtyUnit.h"

#include <QMap>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

PortLookup lookupFrom(const QMap<int, QString> &devices)
{
    return [devices](int port) { return devices.value(port, QStringLiteral("/nonexistent/ttyQX%1").arg(port)); };
}

QString failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const SerialError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

termios lineSettingsOf(const QString &device)
{
    termios tio {};
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::tcgetattr(fd, &tio);
        ::close(fd);
    }
    return tio;
}

} // namespace

class SerialCommTest : public QObject {
    Q_OBJECT

private slots:
    void startsClosedWithTheClassicDefaults()
    {
        SerialComm comm(lookupFrom({}));
        QVERIFY(!comm.portOpen());
        QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1"));
        QCOMPARE(comm.input(), QString());
        comm.setPortOpen(false); // closing a closed port is allowed
        QVERIFY(!comm.portOpen());
    }

    void outputSendsExactlyItsBytesAtOnce()
    {
        PtyUnit unit;
        SerialComm comm(lookupFrom({{3, unit.devicePath()}}));
        comm.setCommPort(3);
        comm.setPortOpen(true);
        QVERIFY(comm.portOpen());

        // No turn of the event loop between the call and the byte on the line.
        comm.setOutput(QStringLiteral("T"));
        QCOMPARE(unit.received(1), QByteArray("T"));
        comm.setOutput(QStringLiteral("M"));
        comm.setOutput(QStringLiteral("M"));
        QCOMPARE(unit.received(2), QByteArray("MM"));

        comm.setPortOpen(false);
        QVERIFY(!comm.portOpen());
        QVERIFY(!failureOf([&] { comm.setOutput(QStringLiteral("P")); }).isEmpty());
        QCOMPARE(unit.received(), QByteArray());
    }

    void inputDrainsEveryByteAsLatin1()
    {
        PtyUnit unit;
        SerialComm comm(lookupFrom({{1, unit.devicePath()}}));
        comm.setCommPort(1);
        comm.setPortOpen(true);

        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        unit.send(all);
        QString got;
        QTRY_VERIFY_WITH_TIMEOUT((got += comm.input()).size() >= 256, 5000);
        QCOMPARE(got.size(), 256);
        for (int b = 0; b < 256; ++b)
            QCOMPARE(got.at(b).unicode(), char16_t(b));
        QCOMPARE(comm.input(), QString()); // drained
    }

    void settingsAreCheckedAndAppliedWhenOpening()
    {
        PtyUnit unit;
        SerialComm comm(lookupFrom({{2, unit.devicePath()}}));
        QVERIFY(!failureOf([&] { comm.setSettings(QStringLiteral("9600,N,8,1\r\n")); }).isEmpty());
        QVERIFY(!failureOf([&] { comm.setSettings(QString()); }).isEmpty());
        QCOMPARE(comm.settings(), QStringLiteral("9600,n,8,1")); // the previous ones stay

        comm.setSettings(QStringLiteral("19200,E,7,2"));
        QCOMPARE(comm.settings(), QStringLiteral("19200,E,7,2"));
        comm.setCommPort(2);
        comm.setPortOpen(true);
        const termios tio = lineSettingsOf(unit.devicePath());
        QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
        // A pseudo-terminal forces 8 bits without parity on itself; the rest shows.
        QVERIFY(tio.c_cflag & CSTOPB);
        QVERIFY(tio.c_iflag & PARMRK); // parity errors come marked, to be shown as '?'
        QVERIFY(!(tio.c_cflag & CRTSCTS));
    }

    void portNumbersOutsideTheRangeNameNoPort()
    {
        SerialComm comm(lookupFrom({}));
        for (int bad : {0, -1, 256}) {
            QVERIFY(!failureOf([&] { comm.setCommPort(bad); }).isEmpty());
            QCOMPARE(comm.commPort(), 1);
        }
        comm.setCommPort(9);
        QCOMPARE(comm.commPort(), 9);
    }

    void openingFailsClearly_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("reason");
        QTest::addRow("missing path") << "/nonexistent/ttyUSB7"
                                      << "(/nonexistent/ttyUSB7): there is no such device. Is the adapter plugged in?";
        QTest::addRow("regular file") << "REGULAR"
                                      << "is not a serial device";
        QTest::addRow("directory") << "/tmp"
                                   << "is not a serial device";
        QTest::addRow("not a terminal") << "/dev/null"
                                        << "COM1 (/dev/null)";
        QTest::addRow("no device named") << ""
                                         << "names no serial device";
    }
    void openingFailsClearly()
    {
        QFETCH(QString, device);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        if (device == QLatin1String("REGULAR")) {
            device = dir.filePath(QStringLiteral("ttyFake"));
            QFile file(device);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        SerialComm comm([device](int) { return device; });
        const QString failure = failureOf([&] { comm.setPortOpen(true); });
        QVERIFY2(failure.contains(reason), qPrintable(failure));
        QVERIFY(!comm.portOpen());
    }

    void onlyOneHolderAtATime()
    {
        PtyUnit unit;
        const auto lookup = lookupFrom({{1, unit.devicePath()}});
        SerialComm first(lookup);
        SerialComm second(lookup);
        first.setPortOpen(true);

        const QString failure = failureOf([&] { second.setPortOpen(true); });
        QVERIFY2(failure.contains(QStringLiteral("in use by another program")), qPrintable(failure));
        QVERIFY(!second.portOpen());
        QVERIFY(first.portOpen());
        first.setOutput(QStringLiteral("S")); // the first holder is unharmed
        QCOMPARE(unit.received(1), QByteArray("S"));

        first.setPortOpen(false);
        second.setPortOpen(true);
        QVERIFY(second.portOpen());
        QVERIFY(!PortHolder(unit.devicePath()).holding());
        second.setPortOpen(false);

        // Another program holding the device, even under another name, keeps us out.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("qx50"));
        QVERIFY(QFile::link(unit.devicePath(), link));
        PortHolder other(link);
        QVERIFY(other.holding());
        QVERIFY(failureOf([&] { first.setPortOpen(true); }).contains(QStringLiteral("in use")));
    }

    // The panel shows what came while the port was ours: bytes that waited in the
    // driver before an opening are gone, and so are bytes that came while it was closed.
    void anOpenedPortStartsWithNothingReceived()
    {
        PtyUnit unit;
        for (int i = 0; i < 60; ++i)
            unit.send("STALE LINE\r\n");
        SerialComm comm(lookupFrom({{1, unit.devicePath()}}));
        comm.setPortOpen(true);
        unit.send("FRESH\r\n");
        QString got;
        QTRY_VERIFY_WITH_TIMEOUT((got += comm.input()).contains(QStringLiteral("FRESH\r\n")), 5000);
        QCOMPARE(got, QStringLiteral("FRESH\r\n"));

        comm.setPortOpen(false);
        unit.send("WHILE CLOSED\r\n");
        comm.setPortOpen(true);
        unit.send("AGAIN\r\n");
        got.clear();
        QTRY_VERIFY_WITH_TIMEOUT((got += comm.input()).contains(QStringLiteral("AGAIN\r\n")), 5000);
        QCOMPARE(got, QStringLiteral("AGAIN\r\n"));
    }

    // Root passes another program's exclusive mode; a refused opening must still
    // leave that program's line exactly as it was.
    void aRefusedOpenLeavesTheHoldersLineAlone_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addRow("exclusive and locked") << true;
        QTest::addRow("exclusive only") << false;
    }
    void aRefusedOpenLeavesTheHoldersLineAlone()
    {
        QFETCH(bool, locked);
        if (::geteuid() != 0)
            QSKIP("only root gets past another program's exclusive mode");
        PtyUnit unit;
        const int holder
            = ::open(unit.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(holder >= 0);
        termios theirs {};
        QCOMPARE(::tcgetattr(holder, &theirs), 0);
        ::cfmakeraw(&theirs);
        ::cfsetspeed(&theirs, B4800);
        QCOMPARE(::tcsetattr(holder, TCSANOW, &theirs), 0);
        QCOMPARE(::ioctl(holder, TIOCEXCL), 0);
        if (locked)
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);

        SerialComm comm(lookupFrom({{1, unit.devicePath()}}));
        comm.setSettings(QStringLiteral("19200,e,7,2"));
        const QString failure = failureOf([&] { comm.setPortOpen(true); });
        QVERIFY2(failure.contains(QStringLiteral("in use by another program")), qPrintable(failure));
        QVERIFY(!comm.portOpen());

        int exclusive = 0;
        QCOMPARE(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 1);
        termios now {};
        QCOMPARE(::tcgetattr(holder, &now), 0);
        QCOMPARE(::cfgetispeed(&now), speed_t(B4800));
        QCOMPARE(now.c_cflag, theirs.c_cflag);
        QCOMPARE(now.c_iflag, theirs.c_iflag);
        ::close(holder);
    }

    void aHangUpClosesThePortOnceWithoutSpinning()
    {
        PtyUnit unit;
        SerialComm comm(lookupFrom({{1, unit.devicePath()}}));
        comm.setPortOpen(true);
        QSignalSpy lost(&comm, &SerialComm::lineLost);
        QSignalSpy errors(comm.findChild<QSerialPort *>(), &QSerialPort::errorOccurred);

        unit.send("bye");
        unit.hangUp();
        QTRY_COMPARE_WITH_TIMEOUT((comm.input(), lost.size()), 1, 5000); // as the window's ticks would
        QVERIFY(!comm.portOpen());
        QVERIFY(lost.at(0).at(0).toString().contains(unit.devicePath()));

        // A port left open on a hung-up line raises an error on every turn of the loop.
        for (int i = 0; i < 200; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(lost.size(), 1);
        QVERIFY2(errors.size() <= 2, qPrintable(QString::number(errors.size())));
        QVERIFY(!failureOf([&] { comm.setOutput(QStringLiteral("T")); }).isEmpty());
    }

    void anOutputOnAFailedLineNeverReportsSuccess()
    {
        PtyUnit unit;
        SerialComm comm(lookupFrom({{1, unit.devicePath()}}));
        comm.setPortOpen(true);
        unit.hangUp(); // no turn of the event loop: the component has not seen it yet
        const QString failure = failureOf([&] { comm.setOutput(QStringLiteral("T")); });
        QVERIFY2(failure.contains(QStringLiteral("not sent")), qPrintable(failure));
        QVERIFY(!comm.portOpen());
        QSignalSpy lost(&comm, &SerialComm::lineLost);
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    }

    void aFailedLineCanBeReplacedBeforeItsLossIsReported()
    {
        PtyUnit first;
        PtyUnit second;
        SerialComm comm(lookupFrom({{1, first.devicePath()}, {2, second.devicePath()}}));
        comm.setPortOpen(true);
        QSignalSpy lost(&comm, &SerialComm::lineLost);
        first.hangUp();
        QVERIFY(!failureOf([&] { comm.setOutput(QStringLiteral("T")); }).isEmpty()); // the failure is seen
        comm.setCommPort(2); // and the operator chooses another port at once
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("P"));
        QCOMPARE(second.received(1), QByteArray("P"));
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QCOMPARE(lost.size(), 0); // the old line's loss no longer matters
        QVERIFY(comm.portOpen());
    }

    void reopensAfterAHangUpWhenTheDeviceIsBack()
    {
        auto unit = std::make_unique<PtyUnit>();
        QString device = unit->devicePath();
        SerialComm comm([&device](int) { return device; });
        comm.setPortOpen(true);
        QSignalSpy lost(&comm, &SerialComm::lineLost);
        unit->hangUp();
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);

        unit = std::make_unique<PtyUnit>();
        device = unit->devicePath();
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("P"));
        QCOMPARE(unit->received(1), QByteArray("P"));
    }
};

QTEST_GUILESS_MAIN(SerialCommTest)
#include "tst_serialcomm.moc"
