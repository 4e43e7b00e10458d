#include "SerialComm.h"

#include "SerialError.h"

#include <QMetaObject>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

SerialComm::SerialComm(PortLookup lookup, QObject *parent)
    : QObject(parent)
    , m_lookup(std::move(lookup))
    , m_port(new QSerialPort(this))
{
    m_settings = *SerialSettings::parse(m_settingsText);
    m_port->setReadBufferSize(1); // see collectReceived()
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialComm::onPortError);
}

SerialComm::~SerialComm()
{
    m_port->disconnect(this);
    close();
}

bool SerialComm::portOpen() const
{
    return m_port->isOpen() && !m_lineFailed;
}

void SerialComm::setPortOpen(bool open)
{
    if (open)
        this->open();
    else
        close();
}

void SerialComm::setCommPort(int port)
{
    if (port < kLowestPort || port > kHighestPort)
        throw SerialError(QStringLiteral("%1 is not a port number (1 to %2)").arg(port).arg(kHighestPort));
    if (portOpen())
        throw SerialError(QStringLiteral("the port number cannot change while COM%1 is open").arg(m_commPort));
    m_commPort = port;
}

void SerialComm::setSettings(const QString &text)
{
    const auto parsed = SerialSettings::parse(text);
    if (!parsed)
        throw SerialError(QStringLiteral("\"%1\" is not a serial setting (for example 9600,n,8,1)").arg(text));
    m_settings = *parsed;
    m_settingsText = text;
}

void SerialComm::open()
{
    if (portOpen())
        throw SerialError(QStringLiteral("COM%1 is already open").arg(m_commPort));
    close(); // a failed line not yet closed: the operator has moved on, nothing to report

    const QString device = m_lookup(m_commPort);
    if (device.isEmpty())
        throw SerialError(QStringLiteral("COM%1 names no serial device").arg(m_commPort));

#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(device.toLocal8Bit().constData(), &info) != 0)
        throw SerialError(QStringLiteral("COM%1: there is no device %2").arg(m_commPort).arg(device));
    if (!S_ISCHR(info.st_mode))
        throw SerialError(QStringLiteral("COM%1: %2 is not a serial device").arg(m_commPort).arg(device));
#endif
    if (m_settings.dataBits < 5)
        throw SerialError(QStringLiteral("COM%1: this system cannot use %2 data bits").arg(m_commPort).arg(m_settings.dataBits));

    // Everything is set before opening: some devices refuse changes once open.
    m_device = device;
    m_port->setPortName(device);
    m_port->setBaudRate(m_settings.baudRate);
    m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits));
    m_port->setParity(qtParity(m_settings.parity));
    m_port->setStopBits(qtStopBits(m_settings.stopBits));
    m_port->setFlowControl(QSerialPort::NoFlowControl);

    m_changingState = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_changingState = false;
    if (!opened) {
        const QString why = describeOpenFailure(device);
        m_port->clearError();
        throw SerialError(QStringLiteral("COM%1 (%2): %3").arg(m_commPort).arg(device, why));
    }

#ifdef Q_OS_UNIX
    // Qt's lock file only guards against programs using the same name for the device;
    // a lock on the device itself also holds against links and other names.
    if (::flock(static_cast<int>(m_port->handle()), LOCK_EX | LOCK_NB) != 0) {
        close();
        throw SerialError(QStringLiteral("COM%1 (%2): the port is in use by another program").arg(m_commPort).arg(device));
    }
#endif
    prepareLine();
    m_lineFailed = false;
    m_received.clear();
    m_parityMarks.reset();
}

// DTR on and RTS off, as the classic control left them: a radio interface may key
// the transmitter on RTS. Bytes with parity errors are marked so input() can show '?'.
void SerialComm::prepareLine()
{
    m_markParityErrors = m_settings.parity != 'N';
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

QString SerialComm::describeOpenFailure(const QString &device) const
{
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("there is no such device");
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
        if (::access(device.toLocal8Bit().constData(), R_OK | W_OK) != 0)
            return QStringLiteral("permission denied (the user must be in the dialout group)");
#endif
        return QStringLiteral("the port is in use by another program");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("the device cannot use the settings %1").arg(m_settingsText);
    default:
        return m_port->errorString();
    }
}

void SerialComm::close()
{
    m_lineFailed = false;
    if (!m_port->isOpen())
        return; // closing a closed QSerialPort raises an error of its own
    m_changingState = true;
    m_port->close();
    m_port->clearError();
    m_changingState = false;
}

void SerialComm::setOutput(const QString &text)
{
    if (!portOpen())
        throw SerialError(QStringLiteral("COM%1 is not open; \"%2\" was not sent").arg(m_commPort).arg(text));
    const QByteArray bytes = text.toLatin1();
    const qint64 written = m_port->write(bytes);
    if (written == bytes.size())
        m_port->flush();
    if (written != bytes.size() || m_lineFailed)
        throw LineLost(QStringLiteral("COM%1: the line failed; \"%2\" was not sent").arg(m_commPort).arg(text));
}

QString SerialComm::input()
{
    if (portOpen())
        collectReceived();
    return QString::fromLatin1(m_received.take());
}

// Received bytes wait in the driver until input() takes them at the window's tick, so
// a burst wakes the program once instead of at every arrival. Qt takes at most the
// first byte of a burst on its own (its buffer holds one); that byte comes first.
void SerialComm::collectReceived()
{
    accept(m_port->readAll());
#ifdef Q_OS_UNIX
    if (!m_port->isOpen() || m_lineFailed)
        return;
    const int fd = static_cast<int>(m_port->handle());
    char chunk[4096];
    for (int i = 0; i < 64; ++i) { // bounded, even while a flood keeps the driver full
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            accept(QByteArray(chunk, n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                failLine(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
    }
#endif
}

void SerialComm::accept(const QByteArray &raw)
{
    if (!raw.isEmpty())
        m_received.append(m_markParityErrors ? m_parityMarks.decode(raw) : raw);
}

void SerialComm::onPortError(QSerialPort::SerialPortError error)
{
    if (!m_changingState && isLineFailure(error))
        failLine(m_port->errorString());
}

void SerialComm::failLine(const QString &why)
{
    if (m_lineFailed || !m_port->isOpen())
        return;
    // Close once, report once: a hung-up device keeps raising read errors until it is
    // closed. Closing waits for the event loop, outside the port's own notification.
    m_lineFailed = true;
    const QString reason = QStringLiteral("COM%1 (%2): %3").arg(m_commPort).arg(m_device, why);
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (!m_lineFailed)
                return; // closed and perhaps reopened meanwhile
            close();
            emit lineLost(reason);
        },
        Qt::QueuedConnection);
}
