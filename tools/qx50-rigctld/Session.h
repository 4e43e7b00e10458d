#pragma once

#include "HttpGuard.h"
#include "RigctlProtocol.h"
#include "UpstreamAnswer.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <optional>

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
// The answers go back in the order the client asked: an answer of the panel's, or of
// this program's, waits until the upstream has answered what was asked before it.
// Lines are taken one at a time: the next waits until the panel has answered.
// What a client can make this program hold is bounded at every stage: its bytes not
// yet read as lines, the answers due to it, what waits for the upstream to read, and
// the answers it does not read. A client that passes a bound is dropped with the
// reason; one that only sends faster than the panel or the upstream answers is read
// no further until they catch up.
class Session : public QObject {
    Q_OBJECT
public:
    // Answers piled up for a client that does not read: past this the client is dropped.
    static constexpr qint64 kMaxUnread = 1 << 20;
    // A client's bytes held before they are read as lines.
    static constexpr qsizetype kMaxHeld = 64 * 1024;
    // Answers due at once: past this the client is read no further for now.
    static constexpr qsizetype kMaxDue = 256;
    // Lines passed on that the upstream has not read: past this the client is dropped.
    static constexpr qint64 kMaxUpstreamUnread = 1 << 20;
    // How long a client held back by answers due waits for the upstream to do anything.
    static constexpr int kUpstreamStallMs = 5000;

    Session(QTcpSocket *client, PanelLink &panel, const Upstream &upstream);

private:
    // An answer due to the client, in the order asked.
    struct Due {
        std::optional<rigctl::UpstreamAnswer> upstream; // set while the upstream owes it
        QByteArray bytes; // this program's answer, once known
        bool ready = false;
    };

    void takeLines();
    bool readMore();
    void handle(const rigctl::Command &command);
    void playOnPanel(const rigctl::Command &command, const QStringList &characters);
    void answerHere(const QByteArray &bytes);
    void forward(const rigctl::Command &command);
    void connectUpstream();
    void upstreamSaid();
    void upstreamProgress();
    void upstreamFailed();
    void upstreamStalled();
    void flush();
    void write(const QByteArray &bytes);
    void drop(const QString &why);
    bool open() const;

    QTcpSocket *m_client;
    PanelLink &m_panel;
    Upstream m_upstream;
    QString m_upstreamName;
    QPointer<QTcpSocket> m_upstreamSocket;
    bool m_saidUpstreamDown = false;
    bool m_quitting = false;
    rigctl::HttpGuard m_http;
    rigctl::LineReader m_reader;
    std::deque<Due> m_due;
    bool m_panelPending = false;
    QTimer m_stall;
    QString m_peer;
};
