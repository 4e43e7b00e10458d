#include "RemoteSession.h"

#include "serial/Rfc2217.h"

#include <libtelnet.h>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Binary both ways and suppress-go-ahead, as serial servers offer them; serial
// control from the panel's side.
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {rfc2217::kComPortOption, TELNET_WONT, TELNET_DO},
    {-1, 0, 0},
};

// The value of a command as a person reads it.
std::string valueText(unsigned char command, const unsigned char *value, std::size_t size)
{
    const char *name = nullptr;
    switch (command) {
    case rfc2217::SetBaudRate:
        if (size == 4)
            return std::to_string(static_cast<unsigned long>(value[0]) << 24
                                  | static_cast<unsigned long>(value[1]) << 16
                                  | static_cast<unsigned long>(value[2]) << 8 | value[3]);
        break;
    case rfc2217::SetDataSize:
        if (size == 1)
            return std::to_string(value[0]);
        break;
    case rfc2217::SetParity: name = size == 1 ? rfc2217::nameOf<rfc2217::kParityNames>(value[0]) : nullptr; break;
    case rfc2217::SetStopSize: name = size == 1 ? rfc2217::nameOf<rfc2217::kStopSizeNames>(value[0]) : nullptr; break;
    case rfc2217::SetControl: name = size == 1 ? rfc2217::nameOf<rfc2217::kControlNames>(value[0]) : nullptr; break;
    default: break;
    }
    if (name)
        return name;
    std::string hex;
    for (std::size_t i = 0; i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", value[i]);
        hex += byte;
    }
    return hex;
}

} // namespace

RemoteSession::RemoteSession(int fd, DataHandler onData, std::FILE *report)
    : m_fd(fd)
    , m_onData(std::move(onData))
    , m_report(report)
    , m_telnet(telnet_init(kOptions, &RemoteSession::onEvent, 0, this))
{
    if (!m_telnet)
        return;
    // As a serial server does: offer serial control and binary before the panel asks.
    telnet_negotiate(m_telnet, TELNET_DO, rfc2217::kComPortOption);
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
}

RemoteSession::~RemoteSession()
{
    if (m_telnet)
        telnet_free(m_telnet);
    ::close(m_fd);
}

bool RemoteSession::readFromPanel()
{
    char buffer[4096];
    const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return true;
    if (n <= 0 || !m_telnet)
        return false;
    telnet_recv(m_telnet, buffer, static_cast<std::size_t>(n));
    return !m_broken;
}

void RemoteSession::send(const std::string &bytes)
{
    if (m_telnet)
        telnet_send(m_telnet, bytes.data(), bytes.size());
}

void RemoteSession::onEvent(telnet_t *, telnet_event_t *event, void *session)
{
    static_cast<RemoteSession *>(session)->handle(*event);
}

void RemoteSession::handle(const telnet_event_t &event)
{
    switch (event.type) {
    case TELNET_EV_DATA: m_onData(reinterpret_cast<const unsigned char *>(event.data.buffer), event.data.size); break;
    case TELNET_EV_SEND: sendRaw(event.data.buffer, event.data.size); break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event.sub.telopt == rfc2217::kComPortOption && event.sub.size > 0)
            onComPortCommand(reinterpret_cast<const unsigned char *>(event.sub.buffer), event.sub.size);
        break;
    case TELNET_EV_ERROR:
        std::fprintf(stderr, "qx50-sim: the panel's telnet stream is malformed: %s\n", event.error.msg);
        m_broken = true;
        break;
    default: break;
    }
}

void RemoteSession::onComPortCommand(const unsigned char *bytes, std::size_t size)
{
    const unsigned char command = bytes[0];
    const char *name = rfc2217::nameOf<rfc2217::kCommandNames>(command);
    std::fprintf(m_report, "%s %s\n", name ? name : "COMMAND", valueText(command, bytes + 1, size - 1).c_str());
    std::fflush(m_report);
    if (command > rfc2217::SetControl)
        return;
    // Confirmed with the value as asked: the simulated line takes any setting.
    std::string answer(reinterpret_cast<const char *>(bytes), size);
    answer[0] = static_cast<char>(command + rfc2217::kServerOffset);
    telnet_subnegotiation(m_telnet, rfc2217::kComPortOption, answer.data(), answer.size());
}

// What the socket takes now; a panel that does not read loses the rest.
void RemoteSession::sendRaw(const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(m_fd, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}
