#include "RepeatTransmit.h"

#include "CommandSender.h"
#include "MessageBook.h"
#include "contract/PanelTexts.h"

namespace {

// Whether stopping for this reason cuts the message on the air with "S": always when
// asked, and when nobody asked only if the message on the air is the repeat's.
enum class StopByte { None, Always, OwnOnly };
StopByte stopByteFor(RepeatTransmit::Stop why)
{
    switch (why) {
    case RepeatTransmit::Stop::Asked: return StopByte::Always;
    case RepeatTransmit::Stop::CallerLeft:
    case RepeatTransmit::Stop::WindowClosing: return StopByte::OwnOnly;
    case RepeatTransmit::Stop::Operator:
    case RepeatTransmit::Stop::Finished:
    case RepeatTransmit::Stop::PortClosed:
    case RepeatTransmit::Stop::NotTaken:
    case RepeatTransmit::Stop::Outside: break;
    }
    return StopByte::None;
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

RepeatTransmit::RepeatTransmit(CommandSender &sender, const MessageBook &book, QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_book(book)
{
    m_timer.setTimerType(Qt::PreciseTimer); // start to start, with no drift
    connect(&m_timer, &QTimer::timeout, this, &RepeatTransmit::tick);
}

RepeatTransmit::~RepeatTransmit() = default;

RepeatTransmit::Started RepeatTransmit::start(char memory, double seconds, qint64 count, bool quiet,
                                              const Owner &starter)
{
    if (QString why = RepeatRule::refusal(QString(QChar::fromLatin1(memory)), seconds, count); !why.isEmpty())
        return {Refused::InvalidArgs, why};
    return begin(memory, static_cast<int>(std::lround(seconds * 1000)), 0, count, quiet, starter,
                 QStringLiteral("Repeating memory %1, %2 times, every %3 seconds.")
                     .arg(QChar::fromLatin1(memory))
                     .arg(count)
                     .arg(seconds));
}

RepeatTransmit::Started RepeatTransmit::startWithGap(char memory, double gap, qint64 count, bool quiet,
                                                     const Owner &starter)
{
    if (QString why = RepeatRule::gapRefusal(QString(QChar::fromLatin1(memory)), gap, count); !why.isEmpty())
        return {Refused::InvalidArgs, why};
    const int lengthMs = m_book.lengthMs(memory - '0');
    if (lengthMs <= 0)
        return {Refused::InvalidArgs,
                QStringLiteral("memory %1 has no known length for a gap after it").arg(QChar::fromLatin1(memory))};
    return begin(memory, lengthMs + static_cast<int>(std::lround(gap * 1000)), gap, count, quiet, starter,
                 QStringLiteral("Repeating memory %1, %2 times, %3 seconds after each message.")
                     .arg(QChar::fromLatin1(memory))
                     .arg(count)
                     .arg(gap));
}

RepeatTransmit::Started RepeatTransmit::begin(char memory, int periodMs, double gap, qint64 count, bool quiet,
                                              const Owner &starter, const QString &told)
{
    if (!m_sender.lineOpen())
        return {Refused::PortNotOpen, m_sender.lineClosedWords()};
    if (m_sender.operatorBusy())
        return {Refused::Busy, m_sender.busyWords()};
    if (m_repeating)
        return {Refused::Repeating, QStringLiteral("A repeat is running already; stop it first.")};
    m_memory = memory;
    m_starter = starter;
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
    if (!m_sender.lineOpen())
        return {Refused::PortNotOpen, m_sender.lineClosedWords()};
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
        = m_sender.send(m_memory, m_starter, notSentWhy) && m_repeating && m_sender.send('T', m_starter, notSentWhy);
    m_sending = false;
    if (!m_repeating)
        return;
    if (!sent) {
        stop(m_sender.lineOpen() ? Stop::NotTaken : Stop::PortClosed);
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
    switch (stopByteFor(why)) {
    case StopByte::Always:
        if (m_sender.lineOpen())
            m_sender.send('S', m_starter);
        break;
    case StopByte::OwnOnly: m_sender.stopOwn(m_starter); break;
    case StopByte::None: break;
    }
    emit changed();
    emit told(reasonWords(why));
    emit stopped(why);
}
