#include "LocalLine.h"

#include "DeviceProbe.h"
#include "SerialError.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
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
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
}

} // namespace

LocalLine::LocalLine(QObject *parent)
    : SerialLine(parent)
    , m_port(new QSerialPort(this))
{
    m_port->setReadBufferSize(1); // see takeReceived()
    connect(m_port, &QSerialPort::errorOccurred, this, &LocalLine::onPortError);
}

LocalLine::~LocalLine()
{
    m_port->disconnect(this);
    close();
}

void LocalLine::open(const QString &device, const SerialSettings &settings, const QString &settingsText)
{
    if (const DeviceProbe probe = probeDevice(device); probe.rulesOutOpening())
        throw SerialError(probe.reason);

    // Everything is set before opening: some devices refuse changes once open.
    m_port->setPortName(device);
    m_port->setBaudRate(settings.baudRate);
    m_port->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    m_port->setParity(qtParity(settings.parity));
    m_port->setStopBits(qtStopBits(settings.stopBits));
    m_port->setFlowControl(QSerialPort::NoFlowControl);

    m_changingState = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_changingState = false;
    if (!opened) {
        const QString why = describeOpenFailure(device, settingsText);
        m_port->clearError();
        throw SerialError(why);
    }

#ifdef Q_OS_UNIX
    // Qt's lock file only guards against programs using the same name for the device;
    // a lock on the device itself also holds against links and other names.
    if (::flock(static_cast<int>(m_port->handle()), LOCK_EX | LOCK_NB) != 0) {
        close();
        throw SerialError(inUseReason(device));
    }
#endif
    prepareLine(settings);
    m_parityMarks.reset();
}

// DTR on and RTS off, as the classic control left them: a radio interface may key
// the transmitter on RTS. Bytes with parity errors are marked so they can show as '?'.
void LocalLine::prepareLine(const SerialSettings &settings)
{
    m_markParityErrors = settings.parity != 'N';
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(m_port->handle());
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    // Pseudo-terminals have no modem lines; that is not an error.
    (void)::ioctl(fd, TIOCMBIS, &dtr);
    (void)::ioctl(fd, TIOCMBIC, &rts);
    if (m_markParityErrors) {
        termios tio {};
        if (::tcgetattr(fd, &tio) == 0) {
            tio.c_iflag |= INPCK | PARMRK;
            tio.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | ISTRIP);
            (void)::tcsetattr(fd, TCSANOW, &tio);
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
    default:
        return m_port->errorString();
    }
}

void LocalLine::close()
{
    if (!m_port->isOpen())
        return; // closing a closed QSerialPort raises an error of its own
    m_changingState = true;
    m_port->close();
    m_port->clearError();
    m_changingState = false;
}

bool LocalLine::write(const QByteArray &bytes)
{
    if (m_port->write(bytes) != bytes.size())
        return false;
    m_port->flush(); // a failure here comes back through failed()
    return true;
}

// Received bytes wait in the driver until they are taken at the window's tick, so a
// burst wakes the program once instead of at every arrival. Qt takes at most the
// first byte of a burst on its own (its buffer holds one); that byte comes first.
QByteArray LocalLine::takeReceived()
{
    QByteArray received = decoded(m_port->readAll());
#ifdef Q_OS_UNIX
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
                reportFailure(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
    }
#endif
    return received;
}

QByteArray LocalLine::decoded(const QByteArray &raw)
{
    return m_markParityErrors && !raw.isEmpty() ? m_parityMarks.decode(raw) : raw;
}

void LocalLine::onPortError(QSerialPort::SerialPortError error)
{
    if (!m_changingState && isLineFailure(error))
        reportFailure(m_port->errorString());
}

void LocalLine::reportFailure(const QString &why)
{
    if (m_port->isOpen())
        emit failed(why);
}
