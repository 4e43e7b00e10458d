#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real ser2net serving one device on 127.0.0.1 at a free port: the test holds the
// device's far end and the program reaches it over the network. Started with the
// test's own configuration and stopped by its process id.
class Ser2net {
public:
    enum class Accepter { Rfc2217, Raw };

    // port 0: a free one; another: that one, as a server started again listens.
    explicit Ser2net(const QString &device, Accepter accepter = Accepter::Rfc2217, quint16 port = 0);
    ~Ser2net();
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    // Whether it started and listens.
    bool listening() const { return m_listening; }
    quint16 port() const { return m_port; }
    // The address the program is given: rfc2217://127.0.0.1:PORT or socket://...
    QString address() const;
    // Ends it at once, as a crash or a power cut at the far site would.
    void kill();
    // What it printed, for a failing test's message.
    QString output();

private:
    Accepter m_accepter;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_listening = false;
};

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
quint16 freeLoopbackPort();

// Whether something listens on 127.0.0.1:port, read from the kernel's table without
// connecting (a connection would make a serial server open its device).
bool listeningOnLoopback(quint16 port);
