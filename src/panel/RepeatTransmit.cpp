#include "RepeatTransmit.h"

#include "PanelModel.h"
#include "PanelTexts.h"

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
    case RepeatTransmit::Stop::NotTaken:
    case RepeatTransmit::Stop::Outside: break;
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
    case RepeatTransmit::Stop::Outside: return QStringLiteral("Repeat stopped by another command.");
    }
    return {};
}

} // namespace

RepeatTransmit::RepeatTransmit(PanelModel &model)
    : QObject(&model)
    , m_model(model)
{
    m_timer.setTimerType(Qt::PreciseTimer); // start to start, with no drift
    connect(&m_timer, &QTimer::timeout, this, &RepeatTransmit::tick);
    connect(&model.line(), &Line::portOpenChanged, this, [this](bool open) {
        if (!open)
            stop(Stop::PortClosed);
    });
}

RepeatTransmit::~RepeatTransmit() = default;

RepeatTransmit::Started RepeatTransmit::start(char memory, double seconds, qint64 count, bool quiet)
{
    if (QString why = RepeatRule::refusal(QString(QChar::fromLatin1(memory)), seconds, count); !why.isEmpty())
        return {Refused::InvalidArgs, why};
    return begin(memory, static_cast<int>(std::lround(seconds * 1000)), 0, count, quiet,
                 QStringLiteral("Repeating memory %1, %2 times, every %3 seconds.")
                     .arg(QChar::fromLatin1(memory))
                     .arg(count)
                     .arg(seconds));
}

RepeatTransmit::Started RepeatTransmit::startWithGap(char memory, double gap, qint64 count, bool quiet)
{
    if (QString why = RepeatRule::gapRefusal(QString(QChar::fromLatin1(memory)), gap, count); !why.isEmpty())
        return {Refused::InvalidArgs, why};
    const int lengthMs = m_model.messages().lengthMs(memory - '0');
    if (lengthMs <= 0)
        return {Refused::InvalidArgs,
                QStringLiteral("memory %1 has no known length for a gap after it").arg(QChar::fromLatin1(memory))};
    return begin(memory, lengthMs + static_cast<int>(std::lround(gap * 1000)), gap, count, quiet,
                 QStringLiteral("Repeating memory %1, %2 times, %3 seconds after each message.")
                     .arg(QChar::fromLatin1(memory))
                     .arg(count)
                     .arg(gap));
}

RepeatTransmit::Started RepeatTransmit::begin(char memory, int periodMs, double gap, qint64 count, bool quiet,
                                              const QString &told)
{
    if (!m_model.line().portOpen())
        return {Refused::PortNotOpen, m_model.line().portNotOpenWords()};
    if (m_model.boxes().waitingForOperator())
        return {Refused::Busy, m_model.boxes().busyWords()};
    if (m_repeating)
        return {Refused::Repeating, QStringLiteral("A repeat is running already; stop it first.")};
    m_memory = memory;
    m_periodMs = periodMs;
    m_gapSeconds = gap;
    m_left = static_cast<int>(count);
    m_repeating = true;
    emit this->told(told);
    m_timer.start(m_periodMs);
    QString notSentWhy;
    transmit(quiet ? &notSentWhy : nullptr);
    if (m_repeating)
        return {};
    // A first transmission the line did not take has ended it.
    if (!m_model.line().portOpen())
        return {Refused::PortNotOpen, m_model.line().portNotOpenWords()};
    return {Refused::NotSent, PanelText::notSent(notSentWhy)};
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
    const bool sent
        = m_model.issueCommand(m_memory, notSentWhy) && m_repeating && m_model.issueCommand('T', notSentWhy);
    m_sending = false;
    if (!m_repeating)
        return;
    if (!sent) {
        stop(m_model.line().portOpen() ? Stop::NotTaken : Stop::PortClosed);
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
    if (endsWithStop(why) && m_model.line().portOpen())
        m_model.issueCommand('S');
    emit changed();
    emit told(reasonWords(why));
    emit stopped(why);
}
