#include "PanelModel.h"

#include "CommandSender.h"
#include "CommandTable.h"
#include "PanelTexts.h"
#include "StatusColour.h"
#include "UntrappedFailure.h"

#include "serial/NetworkAddress.h"
#include "serial/ReceivedText.h"
#include "serial/SettingsFile.h"
#include "serial/SettingsRecord.h"
#include "serial/SerialError.h"

namespace {

// The repeat's road to the line: the model's own dispatch, and its rule for stops.
class ModelSender : public CommandSender {
public:
    explicit ModelSender(PanelModel &model)
        : m_model(model)
    {
    }
    bool lineOpen() const override { return m_model.portOpen(); }
    QString lineClosedWords() const override { return m_model.portNotOpenWords(); }
    bool operatorBusy() const override { return m_model.waitingForOperator(); }
    QString busyWords() const override { return m_model.busyWords(); }
    bool send(char command, const Owner &owner, QString *notSentWhy) override
    {
        return m_model.issueCommand(command, notSentWhy, owner);
    }
    void stopOwn(const Owner &owner) override { m_model.stopOwnTransmission(owner); }

private:
    PanelModel &m_model;
};

} // namespace

PanelModel::PanelModel(Desktop &desktop, PortDevices ports, QObject *parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_ports(std::move(ports))
    , m_comm(m_ports.lookup)
    , m_statusCaption(QString::fromLatin1(CommandTable::find('M')->status)) // the window's design state
    , m_statusColour(StatusColour::kButtonText)
{
    m_messages = new MessageBook(MessageBook::fileBeside(m_ports.assignmentsFile), this);
    m_sender = std::make_unique<ModelSender>(*this);
    m_repeat = new RepeatTransmit(*m_sender, *m_messages, this);
    m_transmission = new Transmission(*m_messages, this);
    m_messageClock = new MessageClock(*m_messages, *m_transmission, this);
    m_preferences = PanelPreferences(PanelPreferences::besideAssignments(m_ports.assignmentsFile));
    // A closed or lost line ends what went on over it, before anyone hears it closed.
    connect(&m_comm, &SerialComm::portOpenChanged, this, [this](bool open) {
        if (open)
            return;
        m_repeat->stop(RepeatTransmit::Stop::PortClosed);
        m_messageClock->lineClosed();
        m_transmission->lineClosed();
    });
    connect(&m_comm, &SerialComm::portOpenChanged, this, &PanelModel::announceLineState);
    connect(&m_comm, &SerialComm::lineLost, this,
            [this](const QString &reason) { runTrapped(m_desktop, [this, &reason] { lineLost(reason); }); });
}

PanelModel::~PanelModel()
{
    delete m_repeat; // it holds the sender, which goes before the model's children
}

int PanelModel::savedNetworkPort() const
{
    try {
        if (!SettingsFile::isPresent(iniFile))
            return 0;
        const int port = SettingsRecord::portNumberOf(SettingsFile::read(iniFile));
        if (port < kFirstComPort || port > kLastComPort || !NetworkAddress::isNetworkName(m_ports.lookup(port)))
            return 0;
        return port;
    } catch (const std::exception &) {
        return 0; // the restore reads it again and says why
    }
}

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
    // A saved network port is opened by the restore; probing it first would connect
    // twice, and a server that takes one connection at a time could refuse the second.
    m_notProbed = savedNetworkPort();
    scanComPorts();
    restoreComSettings();
    if (m_notProbed != 0 && !m_comm.portOpen() && m_onError.errorPending())
        setUsability(m_notProbed, false, m_onError.pendingError());
    m_notProbed = 0;
    watchComItems();

    bool open = false;
    m_onError([&] { open = m_comm.portOpen(); });
    if (open)
        m_onError([&] { issueCommand('P'); });
    else
        showStatus(QString::fromLatin1(PanelText::kPortClosedAtStart), StatusColour::kRed);
}

void PanelModel::unload()
{
    endWaiting();
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
bool PanelModel::issueCommand(char command, QString *notSentWhy, const Owner &owner)
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
    // What plays and what is recorded hear of it before anyone else.
    m_transmission->commandSent(command, m_messageClock->chosen(), owner);
    m_messageClock->commandSent(command);
    emit commandSent(command);
    if (const PanelCommand *sent = CommandTable::find(command); sent && sent->status)
        showStatus(QString::fromLatin1(sent->status), sent->statusColour);
    return true;
}

void PanelModel::warnPortNotOpen()
{
    emit warningPortNotOpen();
    tellOperator(PanelText::kPortNotOpen, {});
}

void PanelModel::showStatus(const QString &caption, quint32 foreColor)
{
    m_statusCaption = caption;
    m_statusColour = foreColor;
    emit statusChanged(caption, foreColor);
}

PanelModel::Outcome PanelModel::sendFromOutside(char command, const Owner &owner)
{
    // While a box is up the window takes no clicks; neither does anyone else, so no
    // command slips into the middle of a procedure that waits for the operator.
    if (waitingForOperator())
        return {Refused::Busy, busyWords()};
    if (!m_comm.portOpen())
        return {Refused::PortNotOpen, portNotOpenWords()};
    // As a key in the window does: a running repeat ends first, with no byte of its own.
    m_repeat->stop(RepeatTransmit::Stop::Outside);
    QString notSentWhy;
    if (issueCommand(command, &notSentWhy, owner))
        return {};
    // Lost under the write (the lost line is told once, by its own road), or not taken.
    if (!m_comm.portOpen())
        return {Refused::PortNotOpen, portNotOpenWords()};
    return {Refused::NotSent, PanelText::notSent(notSentWhy)};
}

PanelModel::Outcome PanelModel::stopOwnTransmission(const Owner &stopper)
{
    // A repeat it started ends; its own stop comes back here for the "S".
    if (m_repeat->repeating() && stopper.covers(m_repeat->starter())) {
        m_repeat->stop(RepeatTransmit::Stop::CallerLeft);
        return {};
    }
    if (!m_transmission->isOwnedBy(stopper) || !m_comm.portOpen())
        return {}; // another door's message, or none: no byte
    QString notSentWhy;
    if (issueCommand('S', &notSentWhy, stopper))
        return {};
    if (!m_comm.portOpen())
        return {Refused::PortNotOpen, portNotOpenWords()};
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
    emit tellingOperator();
    if (beep)
        m_desktop.beep();
    // While the box waits, a caller outside the window hears what it says.
    const QString before = m_told;
    m_told
        = detail.isEmpty() ? QString::fromLatin1(prompt) : QStringLiteral("%1 (%2)").arg(QLatin1String(prompt), detail);
    m_desktop.messageBox(QString::fromLatin1(prompt), Desktop::Plain, {}, detail);
    m_told = before;
}

QString PanelModel::busyWords() const
{
    return m_told.isEmpty() ? kBusyWords : QStringLiteral("%1 It says: %2").arg(kBusyWords, m_told);
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
