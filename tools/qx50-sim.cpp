// qx50-sim: plays the ORMA QX50 voice-memory unit on a pseudo-terminal, to try the
// control panel without a transceiver. A simulation for trying the panel, not the
// unit's documented protocol.
#include "sim/RemoteSession.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

const char *kUsage = "usage: qx50-sim [--quiet] [--chatter HZ] [--link PATH | --listen PORT [--no-negotiation]]\n"
                     "\n"
                     "Plays the ORMA QX50 voice-memory unit on a pseudo-terminal so the control panel\n"
                     "can be tried without a transceiver. It prints the device path, then answers each\n"
                     "command character with one short line ending in CR LF until Ctrl+C or SIGTERM.\n"
                     "This is a simulation for trying the panel, not the unit's documented protocol.\n"
                     "\n"
                     "  M  REC MIC <slot>    R  REC RX <slot>    P  PLAY <slot>    T  TX <slot>\n"
                     "  S  STOP              0-9  SLOT <digit>   anything else: ? <hex code>\n"
                     "\n"
                     "  --quiet        answer nothing\n"
                     "  --chatter HZ   also send an unsolicited status line HZ times a second\n"
                     "  --link PATH    also make a symbolic link at PATH to the device; an existing\n"
                     "                 link to a pseudo-terminal is replaced, anything else refused\n"
                     "  --listen PORT  serve the unit over RFC 2217 (telnet) on 127.0.0.1:PORT instead\n"
                     "                 of a pseudo-terminal (0: any free port); prints the address, then\n"
                     "                 each serial-control command a panel sends (SET-BAUDRATE 9600, ...)\n"
                     "  --no-negotiation  with --listen: accept connections but never negotiate nor\n"
                     "                 answer, as a server that hangs\n"
                     "\n"
                     "Try it:  QX50_COM1=$(device path or address) orma-qx50-voice-mem\n";

// What the simulated unit is doing.
class Unit {
public:
    std::string answer(unsigned char command)
    {
        char line[64];
        switch (command) {
        case 'M':
            m_activity = "REC MIC";
            std::snprintf(line, sizeof line, "REC MIC %d", m_slot);
            break;
        case 'R':
            m_activity = "REC RX";
            std::snprintf(line, sizeof line, "REC RX %d", m_slot);
            break;
        case 'P':
            m_activity = "PLAY";
            std::snprintf(line, sizeof line, "PLAY %d", m_slot);
            break;
        case 'T':
            m_activity = "TX";
            std::snprintf(line, sizeof line, "TX %d", m_slot);
            break;
        case 'S':
            m_activity = "IDLE";
            std::snprintf(line, sizeof line, "STOP");
            break;
        default:
            if (command >= '0' && command <= '9') {
                m_slot = command - '0';
                std::snprintf(line, sizeof line, "SLOT %d", m_slot);
            } else {
                std::snprintf(line, sizeof line, "? %02X", command);
            }
        }
        return std::string(line) + "\r\n";
    }

    std::string status() const { return "STATUS " + m_activity + " SLOT " + std::to_string(m_slot) + "\r\n"; }

private:
    int m_slot = 0;
    std::string m_activity = "IDLE";
};

double now()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Writes what the line takes now; a panel that is not listening loses the rest.
void sendLine(int master, const std::string &line)
{
    (void)!::write(master, line.data(), line.size());
}

struct Options {
    bool quiet = false;
    double chatterHz = 0;
    std::string link;
    int listenPort = -1; // -1: a pseudo-terminal
    bool noNegotiation = false;
};

// A rate above 0 and at most 1000 a second, the whole argument a number.
bool parseRate(const char *text, double &rate)
{
    char *end = nullptr;
    errno = 0;
    rate = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && rate > 0 && rate <= 1000; // NaN fails too
}

bool parsePort(const char *text, int &port)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    port = static_cast<int>(value);
    return end != text && *end == '\0' && errno == 0 && value >= 0 && value <= 65535;
}

// 0 on success, else the exit code after the message.
int parseOptions(int argc, char *argv[], Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--chatter" && i + 1 < argc) {
            if (!parseRate(argv[++i], options.chatterHz)) {
                std::fprintf(stderr, "qx50-sim: --chatter takes a rate above 0 and up to 1000 a second, not \"%s\"\n",
                             argv[i]);
                return 2;
            }
        } else if (arg == "--link" && i + 1 < argc) {
            options.link = argv[++i];
        } else if (arg == "--listen" && i + 1 < argc) {
            if (!parsePort(argv[++i], options.listenPort)) {
                std::fprintf(stderr, "qx50-sim: --listen takes a port number from 0 to 65535, not \"%s\"\n", argv[i]);
                return 2;
            }
        } else if (arg == "--no-negotiation") {
            options.noNegotiation = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (options.listenPort >= 0 && !options.link.empty()) {
        std::fprintf(stderr, "qx50-sim: --link names a pseudo-terminal; with --listen there is none\n");
        return 2;
    }
    if (options.noNegotiation && options.listenPort < 0) {
        std::fprintf(stderr, "qx50-sim: --no-negotiation goes with --listen\n");
        return 2;
    }
    return 0;
}

// Makes the link at path to the device. Only a symbolic link to a pseudo-terminal,
// as an earlier run left it, is replaced; a file, a folder or another link is not.
bool makeLink(const std::string &path, const std::string &device)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        char target[PATH_MAX] = {};
        const ssize_t n = S_ISLNK(info.st_mode) ? ::readlink(path.c_str(), target, sizeof target - 1) : -1;
        if (n <= 0 || std::strncmp(target, "/dev/pts/", 9) != 0) {
            std::fprintf(stderr, "qx50-sim: %s exists and is not a link this simulator made; it is left alone\n",
                         path.c_str());
            return false;
        }
    }
    // Made aside and renamed into place: the old link is replaced in one step.
    const std::string aside = path + ".qx50-sim-" + std::to_string(::getpid());
    if (::symlink(device.c_str(), aside.c_str()) != 0 || ::rename(aside.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "qx50-sim: cannot make the link %s: %s\n", path.c_str(), std::strerror(errno));
        ::unlink(aside.c_str());
        return false;
    }
    return true;
}

// Removes the link if it is still the one this run made.
void removeLink(const std::string &path, const std::string &device)
{
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0 && device == target)
        ::unlink(path.c_str());
}

// A listening socket on 127.0.0.1; the port actually bound is put in port.
int listenOnLoopback(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::fprintf(stderr, "qx50-sim: cannot listen on 127.0.0.1:%d: %s\n", port, std::strerror(errno));
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// The chatter's next moment: one period on, or one period from now when the
// process was held up (stopped, swapped out) past it, so missed lines are skipped
// instead of sent in a burst.
double nextAfter(double due, double period, double now)
{
    const double next = due + period;
    return next > now ? next : now + period;
}

// How long to wait for input before the chatter is due: rounded up, so the loop does
// not spin just before the moment, and at most a second, so no rate overflows it.
int pollTimeoutMs(double due, double now)
{
    const double remaining = due - now;
    if (remaining <= 0)
        return 0;
    return static_cast<int>(std::ceil(std::min(remaining, 1.0) * 1000));
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    if (const int parsed = parseOptions(argc, argv, options); parsed != 0)
        return parsed < 0 ? 0 : parsed;

    struct sigaction action {};
    action.sa_handler = requestStop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    // The unit's line: the master side of a pseudo-terminal, or a listening socket.
    int master = -1;
    int keeper = -1;
    int listener = -1;
    std::string device;
    if (options.listenPort >= 0) {
        int port = options.listenPort;
        listener = listenOnLoopback(port);
        if (listener < 0)
            return 1;
        device = "rfc2217://127.0.0.1:" + std::to_string(port);
    } else {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            std::fprintf(stderr, "qx50-sim: cannot make a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        device = ::ptsname(master);

        // Hold the device open in raw mode, so nothing is echoed back while no panel is
        // connected and the line does not hang up between panels.
        keeper = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio {};
        if (keeper < 0 || ::tcgetattr(keeper, &tio) != 0) {
            std::fprintf(stderr, "qx50-sim: cannot prepare %s: %s\n", device.c_str(), std::strerror(errno));
            return 1;
        }
        ::cfmakeraw(&tio);
        ::tcsetattr(keeper, TCSANOW, &tio);

        if (!options.link.empty() && !makeLink(options.link, device))
            return 1;
    }

    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    Unit unit;
    std::unique_ptr<RemoteSession> panel; // the one panel served over the network
    std::vector<int> unanswered; // connections held without a word
    auto say = [&](const std::string &line) {
        if (options.quiet)
            return;
        if (master >= 0)
            sendLine(master, line);
        else if (panel)
            panel->send(line);
    };

    const double chatterPeriod = options.chatterHz > 0 ? 1.0 / options.chatterHz : 0;
    double nextChatter = now() + chatterPeriod;
    while (!stopRequested) {
        std::vector<pollfd> watched;
        if (master >= 0)
            watched.push_back({master, POLLIN, 0});
        if (panel)
            watched.push_back({panel->fd(), POLLIN, 0});
        for (int fd : unanswered)
            watched.push_back({fd, POLLIN, 0});
        if (listener >= 0)
            watched.push_back({listener, POLLIN, 0}); // last: a panel that left is gone before the next comes
        const int timeoutMs = chatterPeriod > 0 ? pollTimeoutMs(nextChatter, now()) : 1000;
        const int ready = ::poll(watched.data(), watched.size(), timeoutMs);
        if (ready < 0 && errno != EINTR)
            break;

        for (const pollfd &p : watched) {
            if (ready <= 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (p.fd == master) {
                unsigned char buffer[256];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                for (ssize_t i = 0; i < n; ++i)
                    say(unit.answer(buffer[i]));
            } else if (panel && p.fd == panel->fd()) {
                if (!panel->readFromPanel())
                    panel.reset();
            } else if (p.fd == listener) {
                const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    continue;
                if (options.noNegotiation) {
                    unanswered.push_back(fd);
                } else if (panel) {
                    // One panel at a time, refused as serial servers refuse a second.
                    static const char kInUse[] = "Port already in use\r\n";
                    (void)!::send(fd, kInUse, sizeof kInUse - 1, MSG_NOSIGNAL);
                    ::close(fd);
                } else {
                    panel = std::make_unique<RemoteSession>(
                        fd,
                        [&](const unsigned char *bytes, std::size_t size) {
                            for (std::size_t i = 0; i < size; ++i)
                                say(unit.answer(bytes[i]));
                        },
                        stdout);
                }
            } else {
                char discard[256];
                if (::recv(p.fd, discard, sizeof discard, 0) <= 0) {
                    ::close(p.fd);
                    unanswered.erase(std::find(unanswered.begin(), unanswered.end(), p.fd));
                }
            }
        }

        if (chatterPeriod > 0 && now() >= nextChatter) {
            say(unit.status());
            nextChatter = nextAfter(nextChatter, chatterPeriod, now());
        }
    }

    panel.reset();
    for (int fd : unanswered)
        ::close(fd);
    if (listener >= 0)
        ::close(listener);
    if (!options.link.empty())
        removeLink(options.link, device);
    if (keeper >= 0)
        ::close(keeper);
    if (master >= 0)
        ::close(master);
    return 0;
}
