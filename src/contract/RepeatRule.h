#pragma once

#include "CommandTable.h"

#include <QString>

#include <cmath>

// The one rule for which repeats may run: the memory, the period from one
// transmission's start to the next, and the number of transmissions. Header-only, so
// that a program driving the panel checks with the very same rule before it asks.
namespace RepeatRule {

inline constexpr int kMinSeconds = 2;
inline constexpr int kMaxSeconds = 600;
inline constexpr int kMinCount = 1;
inline constexpr int kMaxCount = 100;
inline constexpr int kDefaultCount = 10;

// Why a repeat of this memory, period and count cannot start, in one line naming the
// allowed range; empty when it can.
inline QString refusal(const QString &memory, double seconds, qint64 count)
{
    if (!CommandTable::memoryOf(memory))
        return QStringLiteral("the memory must be one digit, 0 to 9");
    if (!std::isfinite(seconds) || seconds < kMinSeconds || seconds > kMaxSeconds)
        return QStringLiteral("the period must be %1 to %2 seconds").arg(kMinSeconds).arg(kMaxSeconds);
    if (count < kMinCount || count > kMaxCount)
        return QStringLiteral("the number of transmissions must be %1 to %2").arg(kMinCount).arg(kMaxCount);
    return {};
}

// The listening gap after each message's end, for a memory of known length: the
// repeat then runs from one start to the next over the message's length and the gap.
inline constexpr int kMinGapSeconds = 2;
inline constexpr int kMaxGapSeconds = 600;

inline QString gapRefusal(const QString &memory, double gap, qint64 count)
{
    if (QString why = refusal(memory, kMinSeconds, count); !why.isEmpty())
        return why;
    if (!std::isfinite(gap) || gap < kMinGapSeconds || gap > kMaxGapSeconds)
        return QStringLiteral("the gap must be %1 to %2 seconds").arg(kMinGapSeconds).arg(kMaxGapSeconds);
    return {};
}

} // namespace RepeatRule
