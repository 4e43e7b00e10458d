#pragma once

#include "SerialLine.h"
#include "ParityMarkDecoder.h"

#include <QSerialPort>

// A serial device of this machine, through Qt Serial Port.
class LocalLine final : public SerialLine {
    Q_OBJECT

public:
    // Why a local line was lost: one cause for a device that went away, however it failed.
    static constexpr const char *kLineGoneWords = "the device went away (unplugged, reset or switched off)";

    explicit LocalLine(QObject *parent = nullptr);
    ~LocalLine() override;

    void open(const QString &device, const SerialSettings &settings, const QString &settingsText) override;
    // Without a lock file: the device is opened and closed in an instant, and
    // announcing that to other programs is not worth a synced write to disk. Another
    // program's lock file, lock or exclusive opening still refuses it.
    QString probe(const QString &device, const SerialSettings &settings, const QString &settingsText) override;
    void close() override;
    bool isOpen() const override { return m_port->isOpen(); }
    bool write(const QByteArray &bytes) override;
    QByteArray takeReceived() override;

private:
    static constexpr int kHeldByAnother = -1; // from holdDevice(): another program holds it
    int holdDevice(const QString &device);
    void releaseDevice();
    void prepareLine(const SerialSettings &settings);
    void discardStaleInput();
    void discardUnsentOutput();
    QString describeOpenFailure(const QString &device, const QString &settingsText) const;
    void onPortError(QSerialPort::SerialPortError error);
    // The line went away under the open port: said one way, whatever the system's error.
    void reportGone();
    QByteArray decoded(const QByteArray &raw);

    QSerialPort *m_port; // a child, so tests can watch its signals
    ParityMarkDecoder m_parityMarks;
    bool m_markParityErrors = false;
    bool m_changingState = false; // opening or closing: errors are handled by the caller
    int m_lock = -1; // our own descriptor of the device, holding its lock while open
};
