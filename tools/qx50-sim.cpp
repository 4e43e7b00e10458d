// qx50-sim: plays the ORMA QX50 voice-memory unit on a pseudo-terminal, to try the
// control panel without a transceiver. A simulation for trying the panel, not the
// unit's documented protocol.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

const char *kUsage =
    "usage: qx50-sim [--quiet] [--chatter HZ] [--link PATH]\n"
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
    "  --link PATH    also make a symbolic link at PATH to the device\n"
    "\n"
    "Try it:  QX50_COM1=$(device path) orma-qx50-voice-mem\n";

// What the simulated unit is doing.
class Unit {
public:
    std::string answer(unsigned char command)
    {
        char line[64];
        switch (command) {
        case 'M': m_activity = "REC MIC"; std::snprintf(line, sizeof line, "REC MIC %d", m_slot); break;
        case 'R': m_activity = "REC RX"; std::snprintf(line, sizeof line, "REC RX %d", m_slot); break;
        case 'P': m_activity = "PLAY"; std::snprintf(line, sizeof line, "PLAY %d", m_slot); break;
        case 'T': m_activity = "TX"; std::snprintf(line, sizeof line, "TX %d", m_slot); break;
        case 'S': m_activity = "IDLE"; std::snprintf(line, sizeof line, "STOP"); break;
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

    std::string status() const
    {
        return "STATUS " + m_activity + " SLOT " + std::to_string(m_slot) + "\r\n";
    }

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

} // namespace

int main(int argc, char *argv[])
{
    bool quiet = false;
    double chatterHz = 0;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--chatter" && i + 1 < argc) {
            chatterHz = std::atof(argv[++i]);
            if (chatterHz <= 0 || chatterHz > 1000) {
                std::fprintf(stderr, "qx50-sim: --chatter takes a rate from 0 to 1000 a second\n");
                return 2;
            }
        } else if (arg == "--link" && i + 1 < argc) {
            link = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::fprintf(stderr, "qx50-sim: cannot make a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string device = ::ptsname(master);

    // Hold the device open in raw mode, so nothing is echoed back while no panel is
    // connected and the line does not hang up between panels.
    const int keeper = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio {};
    if (keeper < 0 || ::tcgetattr(keeper, &tio) != 0) {
        std::fprintf(stderr, "qx50-sim: cannot prepare %s: %s\n", device.c_str(), std::strerror(errno));
        return 1;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(keeper, TCSANOW, &tio);

    if (!link.empty()) {
        ::unlink(link.c_str()); // a link left by an earlier run
        if (::symlink(device.c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "qx50-sim: cannot make the link %s: %s\n", link.c_str(), std::strerror(errno));
            return 1;
        }
    }

    struct sigaction action {};
    action.sa_handler = requestStop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    std::printf("%s\n", device.c_str());
    std::fflush(stdout);

    Unit unit;
    const double chatterPeriod = chatterHz > 0 ? 1.0 / chatterHz : 0;
    double nextChatter = now() + chatterPeriod;
    while (!stopRequested) {
        int timeoutMs = 1000;
        if (chatterPeriod > 0)
            timeoutMs = std::max(0, static_cast<int>((nextChatter - now()) * 1000));
        pollfd pfd {master, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && (pfd.revents & POLLIN)) {
            unsigned char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                const std::string line = unit.answer(buffer[i]);
                if (!quiet)
                    sendLine(master, line);
            }
        }
        if (chatterPeriod > 0 && now() >= nextChatter) {
            if (!quiet)
                sendLine(master, unit.status());
            nextChatter += chatterPeriod;
        }
    }

    if (!link.empty())
        ::unlink(link.c_str());
    ::close(keeper);
    ::close(master);
    return 0;
}
