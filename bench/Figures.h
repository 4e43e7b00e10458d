#pragma once

// What the small benchmark programs share: their clock, percentiles, one printed row
// per figure, and running the event loop until something has happened.
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace figures {

using Clock = std::chrono::steady_clock;

inline double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double percentile(std::vector<double> values, int p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, values.size() * static_cast<size_t>(p) / 100)];
}

inline void report(const QString &measure, const QString &figure, const QString &target)
{
    std::printf("  %-46s %-22s %s\n", qPrintable(measure), qPrintable(figure), qPrintable(target));
    std::fflush(stdout);
}

// Runs the loop until done() or the deadline; false on the deadline.
template <typename Done>
bool runUntil(Done done, int timeoutMs)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    while (!done() && deadline.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace figures
