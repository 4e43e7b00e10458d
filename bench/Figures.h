#pragma once

// What the small benchmark programs share: their clock, percentiles, one printed row
// per figure, running the event loop until something has happened, a private bus and
// a pseudo-terminal unit.
#include <QEventLoop>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>

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

// "median 12.3 ms, p90 15.0 ms", with this many decimals.
inline QString medianAndP90(const std::vector<double> &values, int decimals)
{
    return QStringLiteral("median %1 ms, p90 %2 ms")
        .arg(percentile(values, 50), 0, 'f', decimals)
        .arg(percentile(values, 90), 0, 'f', decimals);
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

// A session bus of the run's own, which ends with it; false where none can start.
inline bool startPrivateBus(QProcess &daemon)
{
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!daemon.waitForReadyRead(5000))
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
    return true;
}

// A pseudo-terminal standing for the unit: its master side; *device is the path the
// panel opens.
inline int openUnit(QString *device)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ::grantpt(master);
    ::unlockpt(master);
    *device = QString::fromLocal8Bit(::ptsname(master));
    return master;
}

} // namespace figures
