#include "InboundBudget.h"

#include <algorithm>

InboundBudget::InboundBudget()
{
    m_refilled.start();
}

bool InboundBudget::charge(qint64 bytes)
{
    const qint64 elapsedMs = m_refilled.restart();
    m_left = std::min(kBurstBytes, m_left + elapsedMs * kBytesPerSecond / 1000) - bytes;
    return m_left >= 0;
}
