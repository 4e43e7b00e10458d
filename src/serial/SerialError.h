#pragma once

#include <QString>
#include <stdexcept>

// The one failure the serial port layer reports; its text is meant for the operator.
class SerialError : public std::runtime_error {
public:
    explicit SerialError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
};

// The line failed while the port was open: the device was unplugged or hung up.
// The component has closed the port and reports the loss once, by its signal.
class LineLost : public SerialError {
public:
    using SerialError::SerialError;
};

// The line is well but did not take the output now (the unit has stopped reading and
// the output queue is full): nothing was sent, and the port stays open.
class OutputRefused : public SerialError {
public:
    using SerialError::SerialError;
};
