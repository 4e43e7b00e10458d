#include "ParityMarkDecoder.h"

QByteArray ParityMarkDecoder::decode(const QByteArray &raw)
{
    QByteArray out;
    out.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Plain:
            if (byte == 0xFF)
                m_state = State::AfterFF;
            else
                out.append(c);
            break;
        case State::AfterFF:
            if (byte == 0xFF) {
                out.append(c);
                m_state = State::Plain;
            } else if (byte == 0x00) {
                m_state = State::AfterFF00;
            } else {
                // Not a mark the driver makes; keep both bytes rather than lose one.
                out.append('\xFF');
                out.append(c);
                m_state = State::Plain;
            }
            break;
        case State::AfterFF00:
            out.append('?');
            m_state = State::Plain;
            break;
        }
    }
    return out;
}
