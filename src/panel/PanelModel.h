#pragma once

#include "ContinueOnFailure.h"
#include "Desktop.h"
#include "MessageBook.h"
#include "MessageClock.h"
#include "Owner.h"
#include "PanelPreferences.h"
#include "RepeatTransmit.h"
#include "Transmission.h"

#include "serial/PortDevices.h"
#include "serial/SerialComm.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class CommandSender;
class DeviceWatcher;
class LostPortWait;

// The panel itself, with no window: the open port and each Com port's state, the
// status line, the received text, the repeat, and the procedures that choose, open,
// close and remember ports and send commands. The window, the bus and the tools call
// it and watch its signals; none of them reads another's controls. Boxes and beeps
// go to the operator through the Desktop it is given, at the moment the procedure
// reaches them, so a box holds up its procedure until it is closed.
class PanelModel : public QObject {
    Q_OBJECT

public:
    // What a caller outside the window hears while the operator has a box to close.
    static inline const QString kBusyWords = QStringLiteral("The panel is showing a message; close it first.");

    PanelModel(Desktop &desktop, PortDevices ports, QObject *parent = nullptr);
    ~PanelModel() override;

    // The settings file's name: the executable's base name and ".ini", no directory.
    QString iniFile;

    SerialComm &comm() { return m_comm; }
    const SerialComm &comm() const { return m_comm; }
    RepeatTransmit &repeat() { return *m_repeat; }
    const RepeatTransmit &repeat() const { return *m_repeat; }
    // The memories' names and lengths (the messages file beside ports.conf), and what
    // the panel knows of the message that is recorded or plays.
    MessageBook &messages() { return *m_messages; }
    const MessageBook &messages() const { return *m_messages; }
    MessageClock &messageClock() { return *m_messageClock; }
    const MessageClock &messageClock() const { return *m_messageClock; }
    // What plays or transmits now, and who started it.
    Transmission &transmission() { return *m_transmission; }
    const Transmission &transmission() const { return *m_transmission; }
    const PortDevices &portDevices() const { return m_ports; }
    Desktop &desktop() { return m_desktop; }

    // The state every door shows.
    QString statusCaption() const { return m_statusCaption; }
    quint32 statusColour() const { return m_statusColour; }
    QString received() const { return m_received; }
    bool portOpen() const { return m_comm.portOpen(); }
    int openPort() const { return m_comm.portOpen() ? m_comm.commPort() : 0; } // 0: none
    int checkedPort() const { return m_checkedPort; } // the Com item with the check mark, 0: none
    bool closeOffered() const { return m_closeOffered; } // whether "Close Com port" can be chosen
    // Whether port n (kFirstComPort to kLastComPort) opened at the last try, and why not.
    bool portUsable(int port) const;
    QString whyNotUsable(int port) const;

    // Whether the line is open, lost and waited for, or closed.
    enum class LineState { Open, Waiting, Closed };
    LineState lineState() const;
    static QString lineStateName(LineState state); // "open", "waiting", "closed"
    // The small line under the status: a lost port waited for, or one back.
    QString notice() const { return m_notice; }
    // What a caller outside the window hears when the port is not open.
    QString portNotOpenWords() const;

    // Reopening a lost port by itself (Options -> Reopen Lost Port), remembered beside
    // ports.conf. Off: a lost line is told with a box and the port stays closed.
    bool reopenLostPort() const { return m_preferences.reopenLostPort(); }
    void setReopenLostPort(bool on);

    // Whether the operator has a box or dialog to close first; the window tells how
    // to know (with no window there is never one). A caller refused meanwhile hears
    // what the model's box says.
    void setWaitingForOperator(std::function<bool()> check) { m_waitingForOperator = std::move(check); }
    bool waitingForOperator() const { return m_waitingForOperator && m_waitingForOperator(); }
    QString busyWords() const;

    // Start-up from the scan on: scans the ports, restores the settings file's port,
    // then sends "P" on an open port or shows the port closed.
    void load();
    // The port is given back as the window closes.
    void unload();

    // Command dispatch: sendCommand warns when the port is closed; issueCommand sends
    // and shows, true when the byte went out, in `owner`'s name. A command the unit
    // does not take now is reported with a box or, given `notSentWhy` (a caller that
    // is no operator), in it alone.
    void sendCommand(char command);
    bool issueCommand(char command, QString *notSentWhy = nullptr, const Owner &owner = Owner::window());
    void warnPortNotOpen();
    void showStatus(const QString &caption, quint32 foreColor);

    // A command from outside the window (the bus, a tool): refused while the operator
    // has a box to close or the port is closed, else sent, never with a box.
    enum class Refused { No, PortNotOpen, Busy, NotSent };
    struct Outcome {
        Refused refused = Refused::No;
        QString why;
    };
    Outcome sendFromOutside(char command, const Owner &owner = Owner::busCaller({}));
    // The one rule for a stop nobody pressed (a page gone silent, a program that
    // ends, a caller that left the bus): a repeat `stopper` started ends, and "S" goes
    // out only when what plays or transmits is `stopper`'s own; otherwise no byte, so
    // another door's message goes on. An operator's stop is a plain "S" instead.
    Outcome stopOwnTransmission(const Owner &stopper);

    // Port selection and scan.
    void scanComPorts();
    void scanComPort(SerialComm &component, int port);
    void selectComPort(int port);
    void closeComPort();
    // Tries these ports again on a component of their own, as the scan does, leaving
    // the open port, the settings file and the unit alone.
    void retryPorts(const QList<int> &ports);

    // The settings file.
    void saveComSettings();
    void restoreComSettings();
    void deleteComSettings();

    // What the unit sent since the last read, added to the received text.
    void readInput();

signals:
    void statusChanged(const QString &caption, quint32 foreColor);
    void receivedChanged(const QString &text);
    // What one read took from the line, possibly nothing.
    void inputRead(const QString &characters);
    // A command character went out to the unit (before the status line shows it).
    void commandSent(char command);
    void checkedPortChanged(int port);
    void closeOfferedChanged(bool offered);
    void portUsabilityChanged(int port);
    // The operator is about to hear "Com Port is not open!".
    void warningPortNotOpen();
    // A box is about to wait for the operator.
    void tellingOperator();
    void lineStateChanged(PanelModel::LineState state);
    void noticeChanged(const QString &notice);
    // Words for a screen reader, once: a port lost and waited for, or back.
    void told(const QString &words);

private:
    void lineLost(const QString &reason);
    void lineLostForGood(const QString &reason);
    void startWaiting(const QString &reason);
    void tryReopening();
    void endWaiting();
    void setNotice(const QString &notice);
    void announceLineState();
    void watchComItems();
    void setCheckedPort(int port);
    void setCloseOffered(bool offered);
    void tellOperator(const char *prompt, const QString &detail, bool beep = true);
    void setUsability(int port, bool usable, const QString &why);
    // The Com port the settings file names, when its device is a network address.
    int savedNetworkPort() const;

    Desktop &m_desktop;
    PortDevices m_ports;
    SerialComm m_comm;
    std::unique_ptr<CommandSender> m_sender; // the repeat's road to the line
    RepeatTransmit *m_repeat;
    MessageBook *m_messages;
    Transmission *m_transmission;
    MessageClock *m_messageClock;
    ContinueOnFailure m_onError; // the pending error of the procedures that run in that mode
    std::function<bool()> m_waitingForOperator;
    QString m_told; // what the box that waits for the operator says
    int m_notProbed = 0; // during start-up: the saved network port, opened but not probed
    PanelPreferences m_preferences;
    LostPortWait *m_wait = nullptr; // while a lost port is waited for
    QString m_lostReason;
    QString m_notice;
    LineState m_lineState = LineState::Closed;
    std::array<DeviceWatcher *, kComPortCount> m_itemWatchers {}; // each local Com item's device

    QString m_statusCaption;
    quint32 m_statusColour = 0;
    QString m_received;
    int m_checkedPort = 0;
    bool m_closeOffered = false;
    struct Usability {
        bool usable = true;
        QString why;
    };
    std::array<Usability, kComPortCount> m_usability {};
};
