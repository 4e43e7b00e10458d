#pragma once

#include "SerialError.h"
#include "SerialLine.h"
#include "PortDevices.h"
#include "ReceiveBuffer.h"
#include "SerialSettings.h"

#include <QObject>
#include <QString>

#include <memory>

// The window's serial component: the properties PortOpen, CommPort, Settings, Output
// and Input over one line (see SerialLine.h). Every failure is thrown as SerialError.
// Received bytes are handed out by input(); nothing is ever sent unless output() is
// called. A line that fails is seen by the line's own notification or, at the
// latest, by the next input().
class SerialComm : public QObject {
    Q_OBJECT

public:
    static constexpr auto kDefaultSettings = "9600,n,8,1";

    explicit SerialComm(PortLookup lookup, QObject *parent = nullptr);
    ~SerialComm() override;

    // PortOpen. Opening uses commPort() and settings(); it fails when the device is
    // missing, not a serial device, refused, or held by another program.
    bool portOpen() const;
    void setPortOpen(bool open);

    // Opens the port and closes it again at once, as the start-up scan tries a port:
    // the reason an opening would fail ("COM2 (/dev/ttyS1): …"), or empty when it
    // would succeed; the port is left closed. Only while closed (otherwise it throws
    // SerialError, as opening would); portOpenChanged() is not emitted.
    QString probe();

    // The device the last opening or probe used ("" before any).
    QString device() const { return m_device; }

    // CommPort: the port number for the next opening; only while closed.
    int commPort() const { return m_commPort; }
    void setCommPort(int port);

    // Settings: "baud,parity,data bits,stop bits"; a text it cannot use is refused
    // and the previous settings stay.
    QString settings() const { return m_settingsText; }
    void setSettings(const QString &text);

    // Output: hands the characters (Latin-1) to the line at once. Throws LineLost
    // when the line fails under it, OutputRefused when the line is well but its
    // output queue is full (nothing sent, the port stays open).
    void setOutput(const QString &text);

    // Input: every character received since the last read, one per byte (Latin-1),
    // a byte with a parity error as '?'. Empty when nothing came.
    QString input();

signals:
    // The line failed while open (device unplugged, hung up). Emitted once, after the
    // port has been closed; portOpen() reads false from the moment of the failure.
    void lineLost(const QString &reason);
    // portOpen() has changed: an opening, a closing or a failed line.
    void portOpenChanged(bool open);

private:
    void open();
    void close();
    QString deviceToOpen();
    QString failure(const QString &device, const QString &why) const;
    void failLine(const QString &why);

    PortLookup m_lookup;
    std::unique_ptr<SerialLine> m_line; // made at each opening, from the device's name
    int m_commPort = 1;
    QString m_device;
    QString m_settingsText = QString::fromLatin1(kDefaultSettings);
    SerialSettings m_settings;
    ReceiveBuffer m_received;
    bool m_lineFailed = false;
    bool m_opening = false; // a line may let events flow while it opens
};
