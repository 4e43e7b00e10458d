#pragma once

#include <QByteArray>
#include <QString>

// The far end of a serial line: the test holds the master side of a pseudo-terminal
// and the program opens its device path as a serial port.
class PtyUnit {
public:
    PtyUnit();
    ~PtyUnit();
    PtyUnit(const PtyUnit &) = delete;
    PtyUnit &operator=(const PtyUnit &) = delete;

    QString devicePath() const { return m_device; }

    // Everything the program has sent that has not been read yet. The kernel hands a
    // write on to this end a moment later, so a caller that expects bytes says how
    // many: it waits for them, up to five seconds. With none expected it never waits.
    QByteArray received(qsizetype expected = 0);
    // Sends bytes to the program as the unit would.
    void send(const QByteArray &bytes);
    // Ends the line as an unplugged adapter does: the program's side reads an error.
    void hangUp();
    // The next `count` bytes, waited for with this process's events flowing (a panel
    // in this process keeps answering meanwhile), up to `timeoutMs`; fewer on time-out.
    QByteArray arriving(qsizetype count, int timeoutMs = 5000);
    // How many bytes wait at this end, unread. The kernel moves a write to this end
    // a moment later, so a full line is settled only once this stops growing.
    int unread() const;

private:
    QByteArray readAvailable();

    int m_master = -1;
    QString m_device;
};

// The name of the UUCP lock file Qt writes for a device under /dev ("LCK..pts_3"),
// in whichever lock folder the system keeps.
inline QString lockFileName(const QString &device)
{
    QString name = device.mid(device.indexOf(QLatin1String("/dev/")) + 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

// Holds a device open and locked the way another program using it would.
class PortHolder {
public:
    explicit PortHolder(const QString &device);
    ~PortHolder();
    PortHolder(const PortHolder &) = delete;
    PortHolder &operator=(const PortHolder &) = delete;
    bool holding() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
