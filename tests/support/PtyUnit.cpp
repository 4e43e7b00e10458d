#include "PtyUnit.h"

#include <QTest>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

PtyUnit::PtyUnit()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("cannot make a pseudo-terminal");
    m_device = QString::fromLocal8Bit(::ptsname(m_master));
}

PtyUnit::~PtyUnit()
{
    if (m_master >= 0)
        ::close(m_master);
}

QByteArray PtyUnit::received(qsizetype expected)
{
    QByteArray all = readAvailable();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (all.size() < expected && m_master >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd {m_master, POLLIN, 0};
        ::poll(&pfd, 1, 100);
        all += readAvailable();
    }
    return all;
}

QByteArray PtyUnit::readAvailable()
{
    QByteArray all;
    char chunk[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            all.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: nothing more; EIO: the program's side is closed
    }
    return all;
}

void PtyUnit::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("the pseudo-terminal takes no more bytes");
        done += n;
    }
}

int PtyUnit::unread() const
{
    int count = 0;
    return m_master >= 0 && ::ioctl(m_master, FIONREAD, &count) == 0 ? count : 0;
}

void PtyUnit::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

PortHolder::PortHolder(const QString &device)
{
    m_fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

PortHolder::~PortHolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray PtyUnit::arriving(qsizetype count, int timeoutMs)
{
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += readAvailable();
            return got.size() >= count;
        },
        timeoutMs);
    return got;
}
