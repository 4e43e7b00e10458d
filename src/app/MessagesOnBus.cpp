// The memories' names and lengths on the session bus: the properties follow the
// model's message book and what plays, and SetMessageName, the MessageSet property and
// StartRepeatWithGap take the model's own rules. A name refused only because another
// program held the messages file's lock is Busy, for the caller to try again.
#include "ControlBus.h"

#include "panel/PanelModel.h"
#include "panel/UntrappedFailure.h"

#include <QDBusMetaType>

#include <cmath>

using namespace panel;

void ControlBus::registerMessageTypes()
{
    qDBusRegisterMetaType<MessageNameMap>();
    qDBusRegisterMetaType<MessageLengthMap>();
}

void ControlBus::watchMessages()
{
    const MessageBook &book = m_model.messages();
    connect(&book, &MessageBook::changed, this, [this] {
        announce({{QString::fromLatin1(property::kMessageNames), QVariant::fromValue(messageNames())},
                  {QString::fromLatin1(property::kMessageLengths), QVariant::fromValue(messageLengths())}});
    });
    connect(&book, &MessageBook::activeSetChanged, this, [this](const QString &name) {
        announce({{QString::fromLatin1(property::kMessageSet), name}});
    });
    const Transmission &transmission = m_model.transmission();
    connect(&transmission, &Transmission::playingChanged, this, [this] {
        const QString now = playing();
        if (now != m_playingAnnounced) // the countdown's ticks change nothing here
            announce({{QString::fromLatin1(property::kPlaying), m_playingAnnounced = now}});
    });
    connect(&transmission, &Transmission::messageEnded, this,
            [this](int memory) { emit MessageEnded(static_cast<uint>(memory)); });
}

MessageNameMap ControlBus::messageNames() const
{
    MessageNameMap names;
    for (int memory = 0; memory < MessageRule::kSlots; ++memory)
        if (const QString name = m_model.messages().name(memory); !name.isEmpty())
            names.insert(static_cast<uint>(memory), name);
    return names;
}

MessageLengthMap ControlBus::messageLengths() const
{
    MessageLengthMap lengths;
    for (int memory = 0; memory < MessageRule::kSlots; ++memory)
        if (const int ms = m_model.messages().lengthMs(memory); ms > 0)
            lengths.insert(static_cast<uint>(memory), ms / 1000.0);
    return lengths;
}

QString ControlBus::messageSet() const
{
    return m_model.messages().activeSet();
}

// A property's Set cannot carry a refusal in Qt's bus: a name that is no set changes
// nothing, and a caller that must know reads MessageSet back (qx50-send --set does).
void ControlBus::setMessageSet(const QString &name)
{
    runTrapped(m_desktop, [&] { m_model.messages().selectSet(name); });
}

QString ControlBus::playing() const
{
    const int memory = m_model.transmission().playing();
    return memory < 0 ? QString() : QString::number(memory);
}

void ControlBus::SetMessageName(uint memory, const QString &name)
{
    runTrapped(m_desktop, [&] {
        const int slot = memory < static_cast<uint>(MessageRule::kSlots) ? static_cast<int>(memory) : -1;
        if (const QString why = m_model.messages().setName(slot, name); !why.isEmpty())
            refuse(m_model.messages().lockRefused() ? kBusy : kInvalidArgs, why);
    });
}

void ControlBus::SetMessageLength(uint memory, double seconds)
{
    runTrapped(m_desktop, [&] {
        const int slot = memory < static_cast<uint>(MessageRule::kSlots) ? static_cast<int>(memory) : -1;
        // Out of range (NaN included) is left for the book's own rule to word.
        const int ms = seconds >= 0 && seconds <= MessageRule::kMaxLengthMs / 1000.0
            ? static_cast<int>(std::lround(seconds * 1000))
            : -1;
        if (const QString why = m_model.messages().setLength(slot, ms); !why.isEmpty())
            refuse(kInvalidArgs, why);
    });
}

void ControlBus::AddMessageSet(const QString &name)
{
    runTrapped(m_desktop, [&] {
        if (const QString why = m_model.messages().addSet(name); !why.isEmpty())
            refuse(kInvalidArgs, why);
    });
}

void ControlBus::StartRepeatWithGap(const QString &memory, double gap, uint count)
{
    const char digit = memory.size() == 1 ? memory.front().toLatin1() : '\0';
    startRepeat([&](const Owner &starter) { return m_model.repeat().startWithGap(digit, gap, count, true, starter); });
}
