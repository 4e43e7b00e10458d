#pragma once

#include "client/BusContract.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusServiceWatcher;

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
    Q_PROPERTY(QString LineState READ lineState)

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
    QString lineState() const; // "open", "waiting" (a lost port waited for) or "closed"

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

private slots:
    // The connection to the bus itself ended (the bus went away): every caller is
    // gone with it.
    void busDisconnected();

private:
    void refuse(const char *error, const QString &text);
    void announce(const QVariantMap &changed);
    void repeatChanged();

    QDBusServiceWatcher *m_caller = nullptr; // the unique name that started the repeat
    QString m_statusAnnounced; // the status as callers last heard it
    QString m_lineStateAnnounced;

    PanelModel &m_model;
    Desktop &m_desktop;
    QDBusConnection m_connection;
    bool m_serving = false;
    bool m_reachable = false;
    QString m_whyNot;
};
