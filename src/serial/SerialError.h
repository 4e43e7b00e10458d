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
