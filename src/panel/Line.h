#pragma once

#include "LostPortWait.h"
#include "OperatorBoxes.h"
#include "PanelPreferences.h"

#include "serial/PortDevices.h"
#include "serial/SerialComm.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>

class DeviceWatcher;

// The panel's line to the unit, and the window's communications control: the serial
// component, the tick that reads it every 100 ms whether a window shows it or not, a
// lost port waited for and reopened, each Com item's device watched, each port's
// usability, and the state of the line. Nothing else reaches the serial component;
// every change is told by a signal.
class Line : public QObject {
    Q_OBJECT

public:
    static constexpr int kTickMs = 100;

    // Whether the line is open, lost and waited for, or closed.
    enum class State { Open, Waiting, Closed };
    static QString stateName(State state); // "open", "waiting", "closed"

    Line(OperatorBoxes &boxes, PortDevices ports, QObject *parent = nullptr);
    ~Line() override;

    const PortDevices &ports() const { return m_ports; }
    // The receive tick; the window shows it as its timer.
    QTimer &tick() { return m_tick; }

    // The serial component's properties. Opening or closing from outside ends a wait
    // for a lost port: the operator or a procedure has decided the line.
    bool portOpen() const { return m_comm.portOpen(); }
    void setPortOpen(bool open);
    int commPort() const { return m_comm.commPort(); }
    void setCommPort(int port) { m_comm.setCommPort(port); }
    QString settings() const { return m_comm.settings(); }
    void setSettings(const QString &text) { m_comm.setSettings(text); }
    int openPort() const { return portOpen() ? commPort() : 0; } // 0: none
    // Hands the characters to the unit; throws as SerialComm::setOutput does.
    void send(const QString &text) { m_comm.setOutput(text); }
    // Whether port n would open now, tried as the start-up scan tries it: on the
    // panel's own component (which keeps n as its port), or on one of its own with
    // the same settings, leaving the open port alone. The reason, or empty.
    QString probe(int port);
    QString probeApart(int port) const;

    // What the unit sent since the last read, added to the received text (its newest
    // characters). The tick calls it; a caller may call it between ticks.
    void read();
    QString received() const { return m_received; }

    // The Com item with the check mark (0: none), and whether "Close Com port" can be
    // chosen: what the operator chose, kept while a lost port is waited for.
    int checkedPort() const { return m_checkedPort; }
    void setCheckedPort(int port);
    bool closeOffered() const { return m_closeOffered; }
    void setCloseOffered(bool offered);

    // Whether port n (kFirstComPort to kLastComPort) opened at the last try, and why not.
    bool portUsable(int port) const;
    QString whyNotUsable(int port) const;
    void setUsability(int port, bool usable, const QString &why);
    // Each Com item whose device is local is watched by its path from now on.
    void watchComItems();

    State state() const;
    int waitedPort() const; // the lost port waited for, 0 when none is
    // The small line under the status: a lost port waited for, or one back. Its forms
    // go from the fullest to the shortest, for a window to show the fullest that fits;
    // the detail (the device's path, why the last try failed) is for a tooltip and a
    // screen reader's description.
    QString notice() const { return m_notice.value(0); }
    QStringList noticeForms() const { return m_notice; }
    QString noticeDetail() const { return m_noticeDetail; }
    // What a caller outside the window hears when the port is not open.
    QString portNotOpenWords() const;
    // A command came while a lost port is waited for: a beep, and the wait told again.
    void remindWaiting();

    // Reopening a lost port by itself (Options -> Reopen Lost Port), remembered beside
    // ports.conf. Off: a lost line is told with a box and the port stays closed.
    bool reopenLostPort() const { return m_preferences.reopenLostPort(); }
    void setReopenLostPort(bool on);
    // How long a lost port is waited for and how often tried; from the next wait on.
    void setLostPortTimes(const LostPortTimes &times) { m_lostPortTimes = times; }

signals:
    void portOpenChanged(bool open);
    // The line failed under an open port, which is closed already.
    void lost(const QString &reason);
    // A lost port is given up: the check mark and "Close Com port" are gone, and a
    // box is about to tell the operator why.
    void lostForGood(const QString &reason);
    void stateChanged(Line::State state);
    void noticeChanged(const QString &notice);
    // Words for a screen reader, once: a port lost and waited for, or back.
    void told(const QString &words);
    void usabilityChanged(int port);
    void checkedPortChanged(int port);
    void closeOfferedChanged(bool offered);
    void receivedChanged(const QString &text);
    // What one read took from the line, possibly nothing.
    void inputRead(const QString &characters);
    // A Com item's device came or went while its port was not in use.
    void itemDeviceChanged(int port);

private:
    void lineLost(const QString &reason);
    void giveUp(const QString &reason);
    void startWaiting(const QString &reason);
    void tryReopening();
    void endWaiting();
    void setNotice(const QStringList &forms, const QString &detail = {});
    void announceState();
    QString waitDetail(const QString &tryFailure = {}) const;
    // The one watcher of a device path, shared by its Com item and a wait for it.
    DeviceWatcher *watcherOf(const QString &path);
    void dropUnusedWatchers();
    void deviceChanged(const QString &path);

    OperatorBoxes &m_boxes;
    PortDevices m_ports;
    SerialComm m_comm;
    QTimer m_tick;
    PanelPreferences m_preferences;
    QString m_received;
    int m_checkedPort = 0;
    bool m_closeOffered = false;
    LostPortWait *m_wait = nullptr; // while a lost port is waited for
    LostPortTimes m_lostPortTimes;
    QString m_lostReason;
    QStringList m_notice;
    QString m_noticeDetail;
    State m_state = State::Closed;
    std::array<QString, kComPortCount> m_itemDevices {}; // each local Com item's watched path
    QHash<QString, DeviceWatcher *> m_watchers; // by path
    struct Usability {
        bool usable = true;
        QString why;
    };
    std::array<Usability, kComPortCount> m_usability {};
};
