#pragma once

#include <QByteArray>

// With parity checking on, the terminal driver marks a byte received with a parity
// (or framing) error as 0xFF 0x00 <byte> and a real 0xFF as 0xFF 0xFF. This turns
// that stream back into received bytes, a marked byte becoming '?'. A mark split
// across two reads is carried over.
class ParityMarkDecoder {
public:
    QByteArray decode(const QByteArray &raw);
    void reset() { m_state = State::Plain; }

private:
    enum class State { Plain, AfterFF, AfterFF00 };
    State m_state = State::Plain;
};
