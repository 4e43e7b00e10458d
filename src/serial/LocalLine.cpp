#include "LocalLine.h"

#include "ReceiveBuffer.h"
#include "DeviceProbe.h"
#include "SerialError.h"
#include "SystemReason.h"

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

// Where POSIX reads exist, received bytes wait in the driver and are read at the tick.
// Elsewhere they wait in Qt's own buffer; QX50_PORTABLE_RECEIVE builds that path on
// Linux too, so that its tests run here.
#if defined(Q_OS_UNIX) && !defined(QX50_PORTABLE_RECEIVE)
#define QX50_RECEIVE_FROM_DRIVER 1
#endif

namespace {

QSerialPort::Parity qtParity(char parity)
{
    switch (parity) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    case 'M': return QSerialPort::MarkParity;
    case 'S': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits qtStopBits(SerialSettings::StopBits stopBits)
{
    switch (stopBits) {
    case SerialSettings::StopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case SerialSettings::StopBits::Two: return QSerialPort::TwoStop;
    case SerialSettings::StopBits::One: break;
    }
    return QSerialPort::OneStop;
}

bool isLineFailure(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError;
}

#ifdef Q_OS_UNIX
// The device is gone or the line hung up; anything else leaves the line usable.
bool isLineGone(int error)
{
    return error == EIO || error == ENODEV || error == ENXIO || error == EPIPE || error == EBADF;
}
#endif

} // namespace

LocalLine::LocalLine(QObject *parent)
    : SerialLine(parent)
    , m_port(new QSerialPort(this))
{
#ifdef QX50_RECEIVE_FROM_DRIVER
    m_port->setReadBufferSize(1); // see takeReceived()
#else
    // Bounded: a flood waits in the driver, not in memory.
    m_port->setReadBufferSize(ReceiveBuffer::kCapacity);
#endif
    connect(m_port, &QSerialPort::errorOccurred, this, &LocalLine::onPortError);
}

LocalLine::~LocalLine()
{
    m_port->disconnect(this);
    close();
}

void LocalLine::open(const QString &device, const SerialSettings &settings, const QString &settingsText)
{
    if (const DeviceProbe probe = probePresence(device); probe.rulesOutOpening())
        throw SerialError(probe.reason);
#ifdef Q_OS_UNIX
    const int lockError = holdDevice(device);
    if (lockError == kHeldByAnother)
        throw SerialError(inUseReason(device));
#endif

    // Everything is set before opening: some devices refuse changes once open.
    m_port->setPortName(device);
    m_port->setBaudRate(settings.baudRate);
    m_port->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    m_port->setParity(qtParity(settings.parity));
    m_port->setStopBits(qtStopBits(settings.stopBits));
    m_port->setFlowControl(QSerialPort::NoFlowControl);

    m_changingState = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    if (!opened) {
        const QString why = describeOpenFailure(device, settingsText);
        m_port->clearError();
        m_changingState = false;
        releaseDevice();
        throw SerialError(why);
    }
#ifdef Q_OS_UNIX
    if (m_lock < 0) { // our own opening failed where Qt's did not: no lock, no port
        close();
        throw SerialError(systemReason(lockError));
    }
#endif
    prepareLine(settings);
    discardStaleInput();
    m_changingState = false;
    m_parityMarks.reset();
}

QString LocalLine::probe(const QString &device, const SerialSettings &settings, const QString &settingsText)
{
#ifdef Q_OS_UNIX
    (void)settings;
    (void)settingsText;
    const DeviceProbe presence = probePresence(device);
    if (presence.rulesOutOpening())
        return presence.reason;
    if (lockFileHolder(device) != 0)
        return inUseReason(device);
    const int error = holdDevice(device); // refused when another program holds it
    if (error != 0) {
        if (error == EACCES || error == EPERM) // the presence probe has the words already
            return presence.finding == DeviceProbe::Finding::NoAccess ? presence.reason : permissionReason(device);
        if (error == kHeldByAnother || error == EBUSY) // EBUSY: opened exclusively
            return inUseReason(device);
        return systemReason(error);
    }
    termios tio {};
    const bool serial = ::tcgetattr(m_lock, &tio) == 0;
    const int notSerial = errno;
    releaseDevice();
    if (!serial)
        return notSerial == ENOTTY ? QStringLiteral("it is not a serial device") : systemReason(notSerial);
    return {};
#else
    return SerialLine::probe(device, settings, settingsText);
#endif
}

// The device's lock is taken on a descriptor of our own before Qt opens or configures
// anything, so a refused opening never touches the line of the program holding it.
// Qt's lock file only guards against programs using the same name for the device; a
// lock on the device itself also holds against links and other names.
// Returns the system's error when the device cannot be opened at all, and
// kHeldByAnother when another program holds it.
int LocalLine::holdDevice(const QString &device)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno; // Qt's opening fails the same way, and names the reason
    bool inUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
#ifdef TIOCGEXCL
    // Only root gets this far past another program's exclusive mode.
    int exclusive = 0;
    inUse = inUse || (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0);
#endif
    if (inUse) {
        ::close(fd);
        return kHeldByAnother;
    }
    m_lock = fd;
#else
    (void)device;
#endif
    return 0;
}

void LocalLine::releaseDevice()
{
#ifdef Q_OS_UNIX
    if (m_lock >= 0)
        ::close(m_lock);
#endif
    m_lock = -1;
}

// DTR on and RTS off, as the classic control left them: a radio interface may key
// the transmitter on RTS. Bytes with parity errors are marked so they can show as '?'.
void LocalLine::prepareLine(const SerialSettings &settings)
{
    m_markParityErrors = false;
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(m_port->handle());
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    // Pseudo-terminals have no modem lines; that is not an error.
    (void)::ioctl(fd, TIOCMBIS, &dtr);
    (void)::ioctl(fd, TIOCMBIC, &rts);
    if (settings.parity != 'N') {
        // Marks are decoded only where the driver really makes them: tcsetattr
        // succeeds when any one change took, so the result is read back.
        constexpr tcflag_t kMarking = INPCK | PARMRK;
        constexpr tcflag_t kHiding = IGNPAR | ISTRIP;
        termios tio {};
        if (::tcgetattr(fd, &tio) == 0) {
            tio.c_iflag |= kMarking;
            tio.c_iflag &= ~kHiding;
            m_markParityErrors = ::tcsetattr(fd, TCSANOW, &tio) == 0 && ::tcgetattr(fd, &tio) == 0
                && (tio.c_iflag & kMarking) == kMarking && (tio.c_iflag & kHiding) == 0;
        }
    }
#endif
}

QString LocalLine::describeOpenFailure(const QString &device, const QString &settingsText) const
{
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError: {
        const QString why = probeDevice(device).reason;
        return why.isEmpty() ? QStringLiteral("there is no such device") : why;
    }
    case QSerialPort::PermissionError:
        // Qt reports a refused access and a device taken by another program alike.
        if (probeDevice(device).finding == DeviceProbe::Finding::NoAccess)
            return permissionReason(device);
        return inUseReason(device);
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("the device cannot use the settings %1").arg(settingsText);
    default: return m_port->errorString();
    }
}

void LocalLine::close()
{
    if (m_port->isOpen()) { // closing a closed QSerialPort raises an error of its own
        m_changingState = true;
        discardUnsentOutput();
        m_port->close();
        m_port->clearError();
        m_changingState = false;
    }
    releaseDevice();
}

// Bytes that waited in the driver while the port was not ours are not news.
void LocalLine::discardStaleInput()
{
#ifdef Q_OS_UNIX
    // Straight to the driver: Qt's own buffer is still empty, and a failure here is
    // left to the first read rather than raised as a second error.
    (void)::tcflush(static_cast<int>(m_port->handle()), TCIFLUSH);
#else
    m_port->clear(QSerialPort::Input);
    m_port->clearError();
#endif
}

// Output the driver still holds when the port closes is dropped: a serial driver
// would otherwise hold the closing, and the window, until it drained, for up to half
// a minute when the line is stuck. What the driver has passed on is left alone (a
// pseudo-terminal holds nothing back: its far end has every byte already).
void LocalLine::discardUnsentOutput()
{
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(m_port->handle());
    int unsent = 0;
    if (::ioctl(fd, TIOCOUTQ, &unsent) == 0 && unsent > 0)
        (void)::tcflush(fd, TCOFLUSH);
#else
    m_port->clear(QSerialPort::Output);
    m_port->clearError();
#endif
}

// Written straight to the driver, so a full output queue is told apart from a lost
// line: the one refuses this command, the other ends the port.
bool LocalLine::write(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(m_port->handle());
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : EAGAIN;
            break;
        }
    }
    if (done == bytes.size())
        return true;
    if (isLineGone(error)) {
        reportGone();
        return false;
    }
    const QString why = error == EAGAIN || error == EWOULDBLOCK
        ? QStringLiteral("the output queue is full (the unit takes nothing more for now)")
        : systemReason(error);
    throw OutputRefused(
        done == 0 ? why : QStringLiteral("%1; only %2 of %3 bytes went out").arg(why).arg(done).arg(bytes.size()));
#else
    if (m_port->write(bytes) != bytes.size())
        return false;
    m_port->flush(); // a failure here comes back through failed()
    return true;
#endif
}

#ifdef QX50_RECEIVE_FROM_DRIVER
// Received bytes wait in the driver until they are taken at the window's tick, so a
// burst wakes the program once instead of at every arrival. Qt takes at most the
// first byte of a burst on its own (its buffer holds one); that byte comes first.
QByteArray LocalLine::takeReceived()
{
    // Qt's own buffer holds a byte at most; reading it empty would still size a chunk.
    QByteArray received = m_port->bytesAvailable() > 0 ? decoded(m_port->readAll()) : QByteArray();
    if (!m_port->isOpen() || m_port->error() != QSerialPort::NoError)
        return received;
    const int fd = static_cast<int>(m_port->handle());
    char chunk[4096];
    for (int i = 0; i < 64; ++i) { // bounded, even while a flood keeps the driver full
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            received += decoded(QByteArray(chunk, n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                reportGone();
            break;
        }
    }
    return received;
}
#else
// Qt gathers received bytes as they come, up to its bounded buffer; the tick takes
// them all. Reading makes room, and Qt goes on from the driver.
QByteArray LocalLine::takeReceived()
{
    return decoded(m_port->readAll());
}
#endif

QByteArray LocalLine::decoded(const QByteArray &raw)
{
    return m_markParityErrors && !raw.isEmpty() ? m_parityMarks.decode(raw) : raw;
}

void LocalLine::onPortError(QSerialPort::SerialPortError error)
{
    if (!m_changingState && isLineFailure(error))
        reportGone();
}

// A device pulled out fails under whichever call meets it first, with whatever error
// that call got (EIO, ENOENT, EACCES while its node is being removed, EAGAIN from the
// next read): the operator hears one cause for one event.
void LocalLine::reportGone()
{
    if (m_port->isOpen())
        emit failed(QString::fromLatin1(kLineGoneWords));
}
