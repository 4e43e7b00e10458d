#pragma once

#include "client/BusContract.h"
#include "panel/Owner.h"
#include "panel/RepeatTransmit.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <functional>

class QDBusServiceWatcher;

// The active set's names (a{us}) and known lengths in seconds (a{ud}), by memory.
using MessageNameMap = QMap<uint, QString>;
using MessageLengthMap = QMap<uint, double>;

class Desktop;
class PanelModel;

// The panel model on the session bus, so that a logger or a desktop-wide shortcut can
// play a memory while another program has the focus. Send takes the road of a click;
// the properties follow the model's status line, port and received text. Choosing or
// closing ports, the settings file and the guide stay the window's.
class ControlBus : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orma.Qx50VoiceMemory")
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(bool PortOpen READ portOpen)
    Q_PROPERTY(int ComPort READ comPort)
    Q_PROPERTY(QString Received READ received)
    Q_PROPERTY(bool Repeating READ repeating)
    Q_PROPERTY(uint RepeatsLeft READ repeatsLeft)
    // The memories' names and lengths (MessagesOnBus.cpp).
    Q_PROPERTY(MessageNameMap MessageNames READ messageNames)
    Q_PROPERTY(MessageLengthMap MessageLengths READ messageLengths)
    Q_PROPERTY(QString MessageSet READ messageSet WRITE setMessageSet)
    Q_PROPERTY(QString Playing READ playing)
    Q_PROPERTY(QString LineState READ lineState)
    Q_PROPERTY(int WaitingFor READ waitingFor)
    Q_PROPERTY(bool Sounds READ sounds WRITE setSounds)

public:
    // This copy's own name, panel::processName of its process id.
    static QString processName();

    // Serves the model on the connection and takes the names there. When kService is
    // another copy's the panel answers under its own name only; with no bus it runs
    // without either: see serving() and reachable().
    ControlBus(PanelModel &model, Desktop &desktop, QDBusConnection connection = sessionBus(),
               QObject *parent = nullptr);
    ~ControlBus() override;

    // The session bus, made ready for use from Qt's bus thread.
    static QDBusConnection sessionBus();

    // Whether this copy owns kService.
    bool serving() const { return m_serving; }
    // Whether callers reach this copy at all, under kService or processName().
    bool reachable() const { return m_reachable; }
    // Why not, in one line for the operator.
    QString whyNotServing() const { return m_whyNot; }

    QString status() const;
    bool portOpen() const;
    int comPort() const; // 0 when no port is open
    QString received() const;
    bool repeating() const;
    uint repeatsLeft() const;
    MessageNameMap messageNames() const;
    MessageLengthMap messageLengths() const;
    QString messageSet() const;
    void setMessageSet(const QString &name); // a name that is no set changes nothing
    QString playing() const; // "" or the memory digit
    QString lineState() const; // "open", "waiting" (a lost port waited for) or "closed"
    int waitingFor() const; // the port waited for, 0 when none is
    bool sounds() const;
    void setSounds(bool on); // remembered in options.conf, as the window's Options -> Sounds

public slots:
    // One command character, in either case as the keyboard takes it. The Keyboard
    // Commands switch does not apply: it governs keys typed in the window.
    Q_SCRIPTABLE void Send(const QString &command);
    // Transmits a memory (one digit) count times, one period (seconds, start to
    // start) apart, the first at once. The repeat ends with "S" when its caller
    // leaves the bus: the caller is the remote operator's dead man's switch.
    Q_SCRIPTABLE void StartRepeat(const QString &memory, double seconds, uint count);
    // Ends the repeat that runs, with "S"; nothing when none runs.
    Q_SCRIPTABLE void StopRepeat();
    // Names a memory in the active set; a name with control characters or < >, or
    // longer than 24 characters, is refused with InvalidArgs.
    Q_SCRIPTABLE void SetMessageName(uint memory, const QString &name);
    // Gives a memory's length in the active set (seconds, 0: not known, at most 120),
    // as a recording through the panel would; anything else is refused with InvalidArgs.
    Q_SCRIPTABLE void SetMessageLength(uint memory, double seconds);
    // Makes a new, empty set and makes it active; a name the set rule refuses, or one
    // already taken, is refused with InvalidArgs.
    Q_SCRIPTABLE void AddMessageSet(const QString &name);
    // StartRepeat with a listening gap (seconds, 2 to 600) after each message's end in
    // place of a period; the memory's length must be known.
    Q_SCRIPTABLE void StartRepeatWithGap(const QString &memory, double gap, uint count);

    // The same calls for one of the caller's own clients (a rigctld client, a page's
    // session), named by a tag of the caller's: what they start is that client's.
    // A caller that used them is watched: when it leaves the bus, what it started
    // and still plays or transmits is stopped (OwnTransmissions.cpp).
    Q_SCRIPTABLE void SendFor(const QString &command, const QString &client);
    Q_SCRIPTABLE void StartRepeatFor(const QString &memory, double seconds, uint count, const QString &client);
    // The stop nobody pressed (a client gone, a program ending): "S" only when what
    // plays or transmits is the caller's, for that client or, with an empty tag, for
    // any of its own; otherwise no byte. A repeat it started ends either way.
    Q_SCRIPTABLE void StopOwn(const QString &client);

    // The active set read out, the words the window's read-set key speaks.
    Q_SCRIPTABLE QString DescribeSet();

signals:
    // The message that played ended, at its length or early.
    Q_SCRIPTABLE void MessageEnded(uint memory);

private slots:
    // The connection to the bus itself ended (the bus went away): every caller is
    // gone with it.
    void busDisconnected();

private:
    void refuse(const char *error, const QString &text);
    void announce(const QVariantMap &changed);
    QVariantMap withWaitingFor(QVariantMap changes);
    void repeatChanged();
    void watchMessages();
    void startRepeat(const std::function<RepeatTransmit::Started(const Owner &)> &start, const QString &client = {});
    void send(const QString &command, const QString &client);
    // Who calls now: the window when no bus call is being served.
    Owner callerOwner(const QString &client) const;
    // A caller that tagged its clients is watched until it leaves the bus.
    void watchTaggingCaller();
    void callerLeft(const QString &caller);
    void watchCallers();
    static void registerMessageTypes();

    QDBusServiceWatcher *m_caller = nullptr; // the repeat's starter and every caller that tagged a client
    QString m_repeatCaller; // the unique name that started the running repeat
    QSet<QString> m_taggingCallers;
    QString m_statusAnnounced; // the status as callers last heard it
    QString m_playingAnnounced; // Playing, as callers last heard it
    QString m_lineStateAnnounced;
    int m_waitingForAnnounced = 0;

    PanelModel &m_model;
    Desktop &m_desktop;
    QDBusConnection m_connection;
    bool m_serving = false;
    bool m_reachable = false;
    QString m_whyNot;
};
