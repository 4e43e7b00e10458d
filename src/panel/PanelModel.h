#pragma once

#include "ContinueOnFailure.h"
#include "Desktop.h"
#include "EventLine.h"
#include "HearingChoices.h"
#include "Line.h"
#include "MessageBook.h"
#include "MessageClock.h"
#include "OperatorBoxes.h"
#include "Owner.h"
#include "PortChoice.h"
#include "RepeatTransmit.h"
#include "SettingsMemory.h"
#include "Transmission.h"

#include "serial/PortDevices.h"

#include <QObject>
#include <QString>

#include <memory>

class CommandSender;

// The panel itself, with no window: the line to the unit, the port choice and the
// settings file, the status line, the repeat and the memories, and the road every
// command takes. The window, the bus and the tools call it and watch its signals and
// its parts'; none of them reads another's controls. Boxes and beeps go to the
// operator through the Desktop it is given, at the moment the procedure reaches them,
// so a box holds up its procedure until it is closed.
class PanelModel : public QObject {
    Q_OBJECT

public:
    using LineState = Line::State;

    PanelModel(Desktop &desktop, PortDevices ports, QObject *parent = nullptr);
    ~PanelModel() override;

    // Its parts.
    Line &line() { return m_line; }
    PortChoice &portChoice() { return m_portChoice; }
    SettingsMemory &settingsMemory() { return m_settingsMemory; }
    // The boxes the operator is shown, and whether one waits to be closed.
    OperatorBoxes &boxes() { return m_boxes; }
    RepeatTransmit &repeat() { return *m_repeat; }
    // The memories' names and lengths (the messages file beside ports.conf), and what
    // the panel knows of the message that is recorded or plays.
    MessageBook &messages() { return *m_messages; }
    MessageClock &messageClock() { return *m_messageClock; }
    // What happened that the operator would not see otherwise: a recording timed,
    // another set made active.
    EventLine &eventLine() { return *m_eventLine; }
    // What plays or transmits now, and who started it.
    Transmission &transmission() { return *m_transmission; }
    // What the operator chose to hear without looking: event sounds and speech.
    HearingChoices &hearing() { return *m_hearing; }

    // The status every door shows.
    QString statusCaption() const { return m_statusCaption; }
    quint32 statusColour() const { return m_statusColour; }
    void showStatus(const QString &caption, quint32 foreColor);

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

signals:
    void statusChanged(const QString &caption, quint32 foreColor);
    // A command character went out to the unit (before the status line shows it).
    void commandSent(char command);
    // The operator is about to hear "Com Port is not open!", or, while a lost port
    // is waited for, a beep and the wait told again.
    void warningPortNotOpen();

private:
    // The unit is asked for its state once a port has opened.
    void greetUnit();

    OperatorBoxes m_boxes;
    Line m_line;
    SettingsMemory m_settingsMemory;
    PortChoice m_portChoice;
    std::unique_ptr<CommandSender> m_sender; // the repeat's road to the line
    RepeatTransmit *m_repeat;
    MessageBook *m_messages;
    Transmission *m_transmission;
    MessageClock *m_messageClock;
    EventLine *m_eventLine;
    HearingChoices *m_hearing;

    QString m_statusCaption;
    quint32 m_statusColour = 0;
};
