#pragma once

#include "SerialError.h"
#include "SerialSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// One serial line under the serial component: the device a port number names, opened
// with the port's settings. The component makes the line from the device's name
// (makeSerialLine) and never asks which kind it holds.
class SerialLine : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Opens the device with the settings, DTR on and RTS off. Throws SerialError with
    // the reason, naming neither the port nor the device, when it cannot; the line is
    // closed then. A line with a far end to wait for waits as OpeningTime allows,
    // with the window's events flowing meanwhile.
    virtual void open(const QString &device, const SerialSettings &settings, const QString &settingsText) = 0;
    // Opens the device and closes it again at once, to learn whether it could be used
    // now: the reason open() would give, or empty when it would succeed. Leaves the
    // line closed. The start-up scan tries ports that are often missing, so the reason
    // is returned, not thrown. A line may do this more lightly than a full opening;
    // this one opens and closes.
    virtual QString probe(const QString &device, const SerialSettings &settings, const QString &settingsText)
    {
        try {
            open(device, settings, settingsText);
        } catch (const SerialError &why) {
            return QString::fromUtf8(why.what());
        }
        close();
        return {};
    }
    // Closes the line; closing a closed line does nothing. Never emits failed().
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Hands the bytes to the line at once. False when they did not all go out;
    // failed() tells whether the line itself is lost. Throws OutputRefused with the
    // reason when the line is well but takes nothing now; the line stays open.
    virtual bool write(const QByteArray &bytes) = 0;
    // Every byte received since the last call, a byte with a parity error as '?'.
    virtual QByteArray takeReceived() = 0;

signals:
    // The line failed under an open port (device unplugged, hung up, connection
    // closed). It may be emitted more than once; the component reports it once.
    void failed(const QString &why);
};

// The line that serves this device name.
std::unique_ptr<SerialLine> makeSerialLine(const QString &device, QObject *parent);
