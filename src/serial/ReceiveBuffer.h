#pragma once

#include <QByteArray>

// Bytes received and not yet read, bounded: when full, the newest bytes win, so a
// flood from the line never grows memory.
class ReceiveBuffer {
public:
    static constexpr qsizetype kCapacity = 4096;

    void append(const QByteArray &bytes)
    {
        if (bytes.size() >= kCapacity) {
            m_bytes = bytes.right(kCapacity);
            return;
        }
        const qsizetype excess = m_bytes.size() + bytes.size() - kCapacity;
        if (excess > 0)
            m_bytes.remove(0, excess);
        m_bytes.append(bytes);
    }

    QByteArray take() { return std::exchange(m_bytes, QByteArray()); }
    void clear() { m_bytes.clear(); }
    qsizetype size() const { return m_bytes.size(); }

private:
    QByteArray m_bytes;
};
