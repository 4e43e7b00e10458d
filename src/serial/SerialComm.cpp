#include "SerialComm.h"

#include "OpenLines.h"
#include "SerialError.h"

#include <QMetaObject>

SerialComm::SerialComm(PortLookup lookup, QObject *parent)
    : QObject(parent)
    , m_lookup(std::move(lookup))
{
    m_settings = *SerialSettings::parse(m_settingsText);
}

SerialComm::~SerialComm()
{
    blockSignals(true);
    if (m_line)
        m_line->disconnect(this);
    close();
}

bool SerialComm::portOpen() const
{
    return m_line && m_line->isOpen() && !m_lineFailed;
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
    if (portOpen() || m_opening)
        throw SerialError(QStringLiteral("the port number cannot change while COM%1 is open").arg(m_commPort));
    m_commPort = port;
}

void SerialComm::setSettings(const QString &text)
{
    const auto parsed = SerialSettings::parse(text);
    if (!parsed)
        throw SerialError(SerialSettings::refusal(text));
    m_settings = *parsed;
    m_settingsText = text;
}

// The device the next opening uses, once the port may be opened at all.
QString SerialComm::deviceToOpen()
{
    if (portOpen())
        throw SerialError(QStringLiteral("COM%1 is already open").arg(m_commPort));
    if (m_opening)
        throw SerialError(QStringLiteral("COM%1 is still being opened").arg(m_commPort));
    close(); // a failed line not yet closed: the operator has moved on, nothing to report
    const QString device = m_lookup(m_commPort);
    if (device.isEmpty())
        throw SerialError(QStringLiteral("COM%1 names no serial device").arg(m_commPort));
    if (m_settings.dataBits < 5)
        throw SerialError(
            QStringLiteral("COM%1: this system cannot use %2 data bits").arg(m_commPort).arg(m_settings.dataBits));
    return device;
}

QString SerialComm::failure(const QString &device, const QString &why) const
{
    return QStringLiteral("COM%1 (%2): %3").arg(m_commPort).arg(device, why);
}

void SerialComm::open()
{
    const QString device = deviceToOpen();

    m_line.reset();
    m_line = makeSerialLine(device, this);
    connect(m_line.get(), &SerialLine::failed, this, &SerialComm::failLine);
    m_device = device;
    try {
        m_opening = true;
        m_line->open(device, m_settings, m_settingsText);
        m_opening = false;
    } catch (const SerialError &why) {
        m_opening = false;
        throw SerialError(failure(device, QString::fromUtf8(why.what())));
    }
    OpenLines::add(m_line.get());
    m_lineFailed = false;
    m_received.clear();
    emit portOpenChanged(true);
}

QString SerialComm::probe()
{
    const QString device = deviceToOpen();

    m_line.reset();
    m_line = makeSerialLine(device, this);
    m_device = device;
    m_opening = true;
    const QString why = m_line->probe(device, m_settings, m_settingsText); // leaves the line closed
    m_opening = false;
    return why.isEmpty() ? QString() : failure(device, why);
}

void SerialComm::close()
{
    const bool wasOpen = portOpen();
    m_lineFailed = false;
    if (m_line) {
        OpenLines::remove(m_line.get());
        m_line->close();
    }
    if (wasOpen)
        emit portOpenChanged(false);
}

void SerialComm::setOutput(const QString &text)
{
    if (!portOpen())
        throw SerialError(QStringLiteral("COM%1 is not open; \"%2\" was not sent").arg(m_commPort).arg(text));
    bool written = false;
    try {
        written = m_line->write(text.toLatin1());
    } catch (const OutputRefused &refused) {
        throw OutputRefused(QStringLiteral("COM%1 (%2): %3; \"%4\" was not sent")
                                .arg(m_commPort)
                                .arg(m_device, QString::fromUtf8(refused.what()), text));
    }
    if (!written || m_lineFailed)
        throw LineLost(QStringLiteral("COM%1: the line failed; \"%2\" was not sent").arg(m_commPort).arg(text));
}

QString SerialComm::input()
{
    if (portOpen())
        m_received.append(m_line->takeReceived());
    return QString::fromLatin1(m_received.take());
}

void SerialComm::failLine(const QString &why)
{
    if (m_lineFailed || !portOpen())
        return;
    // Close once, report once: a hung-up device keeps raising read errors until it is
    // closed. Closing waits for the event loop, outside the line's own notification.
    m_lineFailed = true;
    emit portOpenChanged(false);
    const QString reason = failure(m_device, why);
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
