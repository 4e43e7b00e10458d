#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusServiceWatcher;

class Desktop;
class Form1;

// The panel on the session bus, so that a logger or a desktop-wide shortcut can play
// a memory while another program has the focus. Send takes the road of a click; the
// properties follow the status line, the port and the received text. Choosing or
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

public:
    static constexpr auto kService = "org.orma.Qx50VoiceMemory";
    static constexpr auto kPath = "/org/orma/Qx50VoiceMemory";
    static constexpr auto kInterface = "org.orma.Qx50VoiceMemory";
    static constexpr auto kPortNotOpen = "org.orma.Qx50VoiceMemory.Error.PortNotOpen";
    static constexpr auto kNotACommand = "org.orma.Qx50VoiceMemory.Error.NotACommand";
    static constexpr auto kBusy = "org.orma.Qx50VoiceMemory.Error.Busy";
    static constexpr auto kNotSent = "org.orma.Qx50VoiceMemory.Error.NotSent";
    static constexpr auto kRepeating = "org.orma.Qx50VoiceMemory.Error.Repeating";
    static constexpr auto kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
    // Every copy also takes a name of its own, kService + ".pid" + its process id, so
    // that a second panel (a second unit) stays reachable while another owns kService.
    static constexpr auto kProcessNamePrefix = "org.orma.Qx50VoiceMemory.pid";
    static QString processName();

    // Serves the window on the connection and takes the names there. When kService is
    // another copy's the panel answers under its own name only; with no bus it runs
    // without either: see serving() and reachable().
    ControlBus(Form1 &form, Desktop &desktop, QDBusConnection connection = sessionBus(), QObject *parent = nullptr);
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

private:
    void refuse(const char *error, const QString &text);
    void announce(const QVariantMap &changed);
    void repeatChanged();

    QDBusServiceWatcher *m_caller = nullptr; // the unique name that started the repeat

    Form1 &m_form;
    Desktop &m_desktop;
    QDBusConnection m_connection;
    bool m_serving = false;
    bool m_reachable = false;
    QString m_whyNot;
};
