#include "PanelModel.h"

#include "CommandTable.h"
#include "PanelTexts.h"
#include "StatusColour.h"
#include "UntrappedFailure.h"

#include "serial/ReceivedText.h"
#include "serial/SerialError.h"

PanelModel::PanelModel(Desktop &desktop, PortDevices ports, QObject *parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_ports(std::move(ports))
    , m_comm(m_ports.lookup)
    , m_statusCaption(QString::fromLatin1(CommandTable::find('M')->status)) // the window's design state
    , m_statusColour(StatusColour::kButtonText)
{
    m_repeat = new RepeatTransmit(*this);
    m_messages = new MessageBook(MessageBook::fileBeside(m_ports.assignmentsFile), this);
    m_messageClock = new MessageClock(*this, *m_messages);
    connect(&m_comm, &SerialComm::lineLost, this,
            [this](const QString &reason) { runTrapped(m_desktop, [this, &reason] { lineLost(reason); }); });
}

PanelModel::~PanelModel() = default;

bool PanelModel::portUsable(int port) const
{
    return port < kFirstComPort || port > kLastComPort || m_usability[static_cast<size_t>(port - kFirstComPort)].usable;
}

QString PanelModel::whyNotUsable(int port) const
{
    if (port < kFirstComPort || port > kLastComPort)
        return {};
    return m_usability[static_cast<size_t>(port - kFirstComPort)].why;
}

void PanelModel::load()
{
    m_onError.clear();
    scanComPorts();
    restoreComSettings();

    bool open = false;
    m_onError([&] { open = m_comm.portOpen(); });
    if (open)
        m_onError([&] { issueCommand('P'); });
    else
        showStatus(QString::fromLatin1(PanelText::kPortClosedAtStart), StatusColour::kRed);
}

void PanelModel::unload()
{
    if (m_comm.portOpen())
        m_comm.setPortOpen(false);
}

void PanelModel::sendCommand(char command)
{
    if (m_comm.portOpen())
        issueCommand(command);
    else
        warnPortNotOpen();
}

// The byte goes out first; only then does the status line name the function.
bool PanelModel::issueCommand(char command, QString *notSentWhy)
{
    try {
        m_comm.setOutput(QString(QChar::fromLatin1(command)));
    } catch (const LineLost &) {
        return false; // not sent, so not shown; the lost line tells the operator once
    } catch (const OutputRefused &refused) {
        // The unit has stopped reading; the port stays open for the next command.
        if (notSentWhy) {
            *notSentWhy = QString::fromUtf8(refused.what());
            return false;
        }
        tellOperator(PanelText::kCommandNotSent, QString::fromUtf8(refused.what()));
        return false;
    }
    emit commandSent(command);
    if (const PanelCommand *sent = CommandTable::find(command); sent && sent->status)
        showStatus(QString::fromLatin1(sent->status), sent->statusColour);
    return true;
}

void PanelModel::warnPortNotOpen()
{
    emit warningPortNotOpen();
    m_desktop.beep();
    m_desktop.messageBox(QString::fromLatin1(PanelText::kPortNotOpen));
}

void PanelModel::showStatus(const QString &caption, quint32 foreColor)
{
    m_statusCaption = caption;
    m_statusColour = foreColor;
    emit statusChanged(caption, foreColor);
}

PanelModel::Outcome PanelModel::sendFromOutside(char command)
{
    // While a box is up the window takes no clicks; neither does anyone else, so no
    // command slips into the middle of a procedure that waits for the operator.
    if (waitingForOperator())
        return {Refused::Busy, kBusyWords};
    if (!m_comm.portOpen())
        return {Refused::PortNotOpen, QString::fromLatin1(PanelText::kPortNotOpen)};
    QString notSentWhy;
    if (issueCommand(command, &notSentWhy))
        return {};
    // Lost under the write (the lost line is told once, by its own road), or not taken.
    if (!m_comm.portOpen())
        return {Refused::PortNotOpen, QString::fromLatin1(PanelText::kPortNotOpen)};
    return {Refused::NotSent, PanelText::notSent(notSentWhy)};
}

void PanelModel::readInput()
{
    if (!m_comm.portOpen())
        return; // the panel keeps its text
    const QString arrived = m_comm.input();
    if (!arrived.isEmpty()) {
        m_received = keepNewest(m_received, arrived);
        emit receivedChanged(m_received);
    }
    emit inputRead(arrived);
}

void PanelModel::tellOperator(const char *prompt, const QString &detail, bool beep)
{
    if (beep)
        m_desktop.beep();
    m_desktop.messageBox(QString::fromLatin1(prompt), Desktop::Plain, {}, detail);
}

void PanelModel::setCheckedPort(int port)
{
    m_checkedPort = port;
    emit checkedPortChanged(port);
}

void PanelModel::setCloseOffered(bool offered)
{
    m_closeOffered = offered;
    emit closeOfferedChanged(offered);
}
