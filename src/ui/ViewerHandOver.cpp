#include "ViewerHandOver.h"

#include <QEventLoop>
#include <QTimer>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Exit statuses of the go-between, beside the opener's own.
constexpr int kStillRunning = 0;
constexpr int kCannotStart = 127;

// The go-between: starts the opener as its own child, then ends with the opener's
// status, or with kStillRunning once takenAfter has passed, leaving the opener (and
// the viewer it runs) to init. Only calls that are safe after fork.
[[noreturn]] void goBetween(char *const argv[], long takenAfterMs)
{
    const pid_t opener = ::fork();
    if (opener == 0) {
        ::execv(argv[0], argv);
        ::_exit(kCannotStart);
    }
    if (opener < 0)
        ::_exit(kCannotStart);
    constexpr long kStepMs = 10;
    for (long waited = 0; waited < takenAfterMs; waited += kStepMs) {
        int status = 0;
        if (::waitpid(opener, &status, WNOHANG) == opener)
            ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : kCannotStart);
        const timespec step {0, kStepMs * 1000 * 1000};
        ::nanosleep(&step, nullptr);
    }
    ::_exit(kStillRunning);
}
#endif

} // namespace

ViewerHandOver::ViewerHandOver(QString opener, std::chrono::milliseconds takenAfter)
    : m_opener(std::move(opener))
    , m_takenAfter(takenAfter)
{
}

bool ViewerHandOver::hand(const QString &path) const
{
#ifdef Q_OS_UNIX
    if (m_opener.isEmpty())
        return false;
    QByteArray program = m_opener.toLocal8Bit();
    QByteArray document = path.toLocal8Bit();
    char *const argv[] = {program.data(), document.data(), nullptr};
    const long takenAfterMs = static_cast<long>(m_takenAfter.count());

    const pid_t child = ::fork();
    if (child == 0)
        goBetween(argv, takenAfterMs);
    if (child < 0)
        return false;

    // The go-between ends within takenAfter; the window draws until it has.
    int status = -1;
    const auto ended = [&] {
        const pid_t seen = ::waitpid(child, &status, WNOHANG);
        return seen == child || (seen < 0 && errno != EINTR); // gone, or reaped elsewhere
    };
    if (!ended()) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (ended())
                loop.quit();
        });
        poll.start(10);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == kStillRunning;
#else
    (void)path;
    return false;
#endif
}
