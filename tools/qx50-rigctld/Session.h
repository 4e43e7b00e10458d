#pragma once

#include "RigctlProtocol.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class PanelLink;

// Where the commands this program does not answer itself go: a real rigctld.
struct Upstream {
    QString host;
    quint16 port = 0;
    bool present() const { return port != 0; }
};

// One client's connection. The voice-memory commands go to the panel; every other
// line goes byte for byte to the client's own connection to the upstream rigctld and
// its answer comes back as it arrives. Without an upstream, what Hamlib's NET rigctl
// client asks at connect is answered here and the rest is "not implemented".
// Lines are taken one at a time: the next waits until the panel has answered.
class Session : public QObject {
    Q_OBJECT
public:
    // Answers piled up for a client that does not read: past this the client is dropped.
    static constexpr qint64 kMaxUnread = 1 << 20;

    Session(QTcpSocket *client, PanelLink &panel, const Upstream &upstream);

private:
    void takeLines();
    void handle(const rigctl::Command &command);
    void playOnPanel(const rigctl::Command &command, const QStringList &characters);
    void forward(const QByteArray &raw);
    void upstreamFailed();
    void answer(const QByteArray &bytes);
    void drop(const QString &why);

    QTcpSocket *m_client;
    PanelLink &m_panel;
    Upstream m_upstream;
    QPointer<QTcpSocket> m_upstreamSocket;
    bool m_upstreamDown = false;
    bool m_quitting = false;
    int m_unanswered = 0; // lines passed on since the upstream last said anything
    rigctl::LineReader m_reader;
    bool m_waiting = false;
    QString m_peer;
};
