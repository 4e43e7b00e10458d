#include "RepeatTransmit.h"

#include "ui/Form1.h"
#include "ui/OperatorInput.h"

namespace {

// Whether stopping for this reason cuts the message on the air with "S".
bool endsWithStop(RepeatTransmit::Stop why)
{
    switch (why) {
    case RepeatTransmit::Stop::Asked:
    case RepeatTransmit::Stop::CallerLeft:
    case RepeatTransmit::Stop::WindowClosing: return true;
    case RepeatTransmit::Stop::Operator:
    case RepeatTransmit::Stop::Finished:
    case RepeatTransmit::Stop::PortClosed:
    case RepeatTransmit::Stop::NotTaken: break;
    }
    return false;
}

QString reasonWords(RepeatTransmit::Stop why)
{
    switch (why) {
    case RepeatTransmit::Stop::Asked: return QStringLiteral("Repeat stopped on request; Stop sent.");
    case RepeatTransmit::Stop::CallerLeft:
        return QStringLiteral("Repeat stopped: the program that started it is gone; Stop sent.");
    case RepeatTransmit::Stop::WindowClosing: return QStringLiteral("Repeat stopped: the program ends; Stop sent.");
    case RepeatTransmit::Stop::Operator: return QStringLiteral("Repeat stopped by the operator.");
    case RepeatTransmit::Stop::Finished: return QStringLiteral("Repeat finished.");
    case RepeatTransmit::Stop::PortClosed: return QStringLiteral("Repeat stopped: the Com port is closed.");
    case RepeatTransmit::Stop::NotTaken: return QStringLiteral("Repeat stopped: the command was not sent.");
    }
    return {};
}

} // namespace

RepeatTransmit::RepeatTransmit(Form1 &form)
    : QObject(&form)
    , m_form(form)
    , m_input(new OperatorInput(&form, {form.Exit, form.menuRepeatTransmit}, this))
{
    m_timer.setTimerType(Qt::PreciseTimer); // start to start, with no drift
    connect(&m_timer, &QTimer::timeout, this, &RepeatTransmit::tick);
    connect(m_input, &OperatorInput::acted, this, [this] { stop(Stop::Operator); });
    connect(&form.Comm1, &SerialComm::portOpenChanged, this, [this](bool open) {
        if (!open)
            stop(Stop::PortClosed);
    });
}

RepeatTransmit::~RepeatTransmit() = default;

bool RepeatTransmit::start(char memory, double seconds, int count, QString *notSentWhy)
{
    if (m_repeating || !m_form.Comm1.portOpen()
        || !refusal(QString(QChar::fromLatin1(memory)), seconds, count).isEmpty())
        return false;
    m_memory = memory;
    m_periodMs = static_cast<int>(std::lround(seconds * 1000));
    m_left = count;
    m_repeating = true;
    m_input->setWatching(true);
    emit told(QStringLiteral("Repeating memory %1, %2 times, every %3 seconds.")
                  .arg(QChar::fromLatin1(memory))
                  .arg(count)
                  .arg(seconds));
    m_timer.start(m_periodMs);
    transmit(notSentWhy);
    return m_repeating; // a first transmission the line did not take has ended it
}

void RepeatTransmit::tick()
{
    if (m_sending) // a box raised by the last send is still open
        return;
    if (m_left == 0)
        stop(Stop::Finished);
    else
        transmit();
}

// The memory digit, then "T"; either one not taken ends the repeat (a lost line has
// ended it already through the port's closing).
void RepeatTransmit::transmit(QString *notSentWhy)
{
    m_sending = true;
    const bool sent = m_form.issueCommand(m_memory, notSentWhy) && m_repeating && m_form.issueCommand('T', notSentWhy);
    m_sending = false;
    if (!m_repeating)
        return;
    if (!sent) {
        stop(m_form.Comm1.portOpen() ? Stop::NotTaken : Stop::PortClosed);
        return;
    }
    --m_left;
    emit changed();
}

void RepeatTransmit::stop(Stop why)
{
    if (!m_repeating)
        return;
    m_timer.stop();
    m_repeating = false;
    m_left = 0;
    m_input->setWatching(false);
    if (endsWithStop(why) && m_form.Comm1.portOpen())
        m_form.issueCommand('S');
    emit changed();
    emit told(reasonWords(why));
    emit stopped(why);
}
