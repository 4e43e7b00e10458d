#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

struct telnet_t;
union telnet_event_t;

// One panel connected to qx50-sim over the network: telnet with RFC 2217 serial
// control, the server's side. The line settings and modem-line commands the panel
// sends are written to a report, one per line ("SET-BAUDRATE 9600",
// "SET-CONTROL DTR-ON"), and confirmed as a serial server would confirm them.
class RemoteSession {
public:
    using DataHandler = std::function<void(const unsigned char *bytes, std::size_t size)>;

    RemoteSession(int fd, DataHandler onData, std::FILE *report);
    ~RemoteSession();
    RemoteSession(const RemoteSession &) = delete;
    RemoteSession &operator=(const RemoteSession &) = delete;

    int fd() const { return m_fd; }
    // Reads what the panel sent; false once it has gone.
    bool readFromPanel();
    // Sends the unit's bytes to the panel, escaped for telnet.
    void send(const std::string &bytes);

private:
    static void onEvent(telnet_t *telnet, telnet_event_t *event, void *session);
    void handle(const telnet_event_t &event);
    void onComPortCommand(const unsigned char *bytes, std::size_t size);
    void sendRaw(const char *bytes, std::size_t size);

    int m_fd;
    DataHandler m_onData;
    std::FILE *m_report;
    telnet_t *m_telnet;
    bool m_broken = false;
};
