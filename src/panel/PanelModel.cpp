#include "PanelModel.h"

#include "CommandSender.h"
#include "contract/CommandTable.h"
#include "contract/PanelTexts.h"
#include "contract/StatusColour.h"

#include "serial/SerialError.h"

namespace {

// The repeat's road to the line: the model's own dispatch, and its rule for stops.
class ModelSender : public CommandSender {
public:
    explicit ModelSender(PanelModel &model)
        : m_model(model)
    {
    }
    bool lineOpen() const override { return m_model.line().portOpen(); }
    QString lineClosedWords() const override { return m_model.line().portNotOpenWords(); }
    bool operatorBusy() const override { return m_model.boxes().waitingForOperator(); }
    QString busyWords() const override { return m_model.boxes().busyWords(); }
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
    , m_boxes(desktop)
    , m_line(m_boxes, std::move(ports))
    , m_settingsMemory(m_line, m_boxes)
    , m_portChoice(m_line, m_settingsMemory, m_boxes)
    , m_statusCaption(QString::fromLatin1(CommandTable::find('M')->status)) // the window's design state
    , m_statusColour(StatusColour::kButtonText)
{
    m_messages = new MessageBook(MessageBook::fileBeside(m_line.ports().assignmentsFile), this);
    m_sender = std::make_unique<ModelSender>(*this);
    m_repeat = new RepeatTransmit(*m_sender, *m_messages, this);
    m_transmission = new Transmission(*m_messages, this);
    m_messageClock = new MessageClock(*m_messages, *m_transmission, this);
    m_eventLine = new EventLine(*m_messages, *m_messageClock, this);
    m_hearing = new HearingChoices(PanelPreferences::besideAssignments(m_line.ports().assignmentsFile), this);
    // A closed or lost line ends what went on over it, before anyone hears it closed.
    connect(&m_line, &Line::portOpenChanged, this, [this](bool open) {
        if (open)
            return;
        m_repeat->stop(RepeatTransmit::Stop::PortClosed);
        m_messageClock->lineClosed();
        m_transmission->lineClosed();
    });
    connect(&m_portChoice, &PortChoice::opened, this, &PanelModel::greetUnit);
    connect(&m_portChoice, &PortChoice::closed, this,
            [this] { showStatus(QString::fromLatin1(PanelText::kPortClosedByOperator), StatusColour::kRed); });
    connect(&m_line, &Line::lostForGood, this,
            [this] { showStatus(QString::fromLatin1(PanelText::kPortClosedAtStart), StatusColour::kRed); });
}

PanelModel::~PanelModel()
{
    delete m_repeat; // it holds the sender, which goes before the model's children
}

void PanelModel::load()
{
    const int notProbed = m_settingsMemory.savedNetworkPort();
    m_portChoice.scanComPorts(notProbed);
    const QString restoreFailure = m_settingsMemory.restore();
    if (notProbed != 0 && !m_line.portOpen() && !restoreFailure.isEmpty())
        m_line.setUsability(notProbed, false, restoreFailure);
    m_line.watchComItems();

    if (m_line.portOpen())
        greetUnit();
    else
        showStatus(QString::fromLatin1(PanelText::kPortClosedAtStart), StatusColour::kRed);
}

void PanelModel::unload()
{
    if (m_line.portOpen() || m_line.state() == LineState::Waiting)
        m_line.setPortOpen(false);
}

void PanelModel::greetUnit()
{
    ContinueOnFailure onError; // a failure here is the lost line's to tell
    onError([&] { issueCommand('P'); });
}

void PanelModel::sendCommand(char command)
{
    if (m_line.portOpen())
        issueCommand(command);
    else
        warnPortNotOpen();
}

// The byte goes out first; only then does the status line name the function.
bool PanelModel::issueCommand(char command, QString *notSentWhy, const Owner &owner)
{
    try {
        m_line.send(QString(QChar::fromLatin1(command)));
    } catch (const LineLost &) {
        return false; // not sent, so not shown; the lost line tells the operator once
    } catch (const OutputRefused &refused) {
        // The unit has stopped reading; the port stays open for the next command.
        if (notSentWhy) {
            *notSentWhy = QString::fromUtf8(refused.what());
            return false;
        }
        m_boxes.tell(PanelText::kCommandNotSent, QString::fromUtf8(refused.what()));
        return false;
    }
    // What plays and what is recorded hear of it before anyone else; the line's last
    // event is old news first, so a recording this command ends can take its place.
    m_eventLine->commandSent();
    m_transmission->commandSent(command, m_messageClock->chosen(), owner);
    m_messageClock->commandSent(command);
    emit commandSent(command);
    if (const PanelCommand *sent = CommandTable::find(command); sent && sent->status)
        showStatus(QString::fromLatin1(sent->status), sent->statusColour);
    return true;
}

// A lost port waited for gets no box: the operator knows it is lost, and a box left
// up would stand in the way of every door once the port is back. A beep, and the
// line and the screen reader say what is waited for.
void PanelModel::warnPortNotOpen()
{
    emit warningPortNotOpen();
    if (m_line.state() == Line::State::Waiting)
        m_line.remindWaiting();
    else
        m_boxes.tell(PanelText::kPortNotOpen, {});
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
    if (m_boxes.waitingForOperator())
        return {Refused::Busy, m_boxes.busyWords()};
    if (!m_line.portOpen())
        return {Refused::PortNotOpen, m_line.portNotOpenWords()};
    // As a key in the window does: a running repeat ends first, with no byte of its own.
    m_repeat->stop(RepeatTransmit::Stop::Outside);
    QString notSentWhy;
    if (issueCommand(command, &notSentWhy, owner))
        return {};
    // Lost under the write (the lost line is told once, by its own road), or not taken.
    if (!m_line.portOpen())
        return {Refused::PortNotOpen, m_line.portNotOpenWords()};
    return {Refused::NotSent, PanelText::notSent(notSentWhy)};
}

PanelModel::Outcome PanelModel::stopOwnTransmission(const Owner &stopper)
{
    // A repeat it started ends; its own stop comes back here for the "S".
    if (m_repeat->repeating() && stopper.covers(m_repeat->starter())) {
        m_repeat->stop(RepeatTransmit::Stop::CallerLeft);
        return {};
    }
    if (!m_transmission->isOwnedBy(stopper) || !m_line.portOpen())
        return {}; // another door's message, or none: no byte
    QString notSentWhy;
    if (issueCommand('S', &notSentWhy, stopper))
        return {};
    if (!m_line.portOpen())
        return {Refused::PortNotOpen, m_line.portNotOpenWords()};
    return {Refused::NotSent, PanelText::notSent(notSentWhy)};
}
