// Whose transmission it is, on the session bus: a caller sends for one of its clients
// with a tag, stops only its own when nobody pressed Stop, and what it started is
// stopped when it leaves the bus. Plain Send stays the caller's alone and is not
// watched, so a program that sends "T" and exits leaves its message on the air.
#include "ControlBus.h"

#include "panel/PanelModel.h"
#include "panel/UntrappedFailure.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

using namespace panel;

Owner ControlBus::callerOwner(const QString &client) const
{
    if (!calledFromDBus())
        return Owner::window();
    return Owner::busCaller(message().service(), client);
}

void ControlBus::SendFor(const QString &command, const QString &client)
{
    watchTaggingCaller();
    send(command, client);
}

void ControlBus::StartRepeatFor(const QString &memory, double seconds, uint count, const QString &client)
{
    watchTaggingCaller();
    const char digit = memory.size() == 1 ? memory.front().toLatin1() : '\0';
    startRepeat([&](const Owner &starter) { return m_model.repeat().start(digit, seconds, count, true, starter); },
                client);
}

void ControlBus::StopOwn(const QString &client)
{
    const Owner stopper = callerOwner(client);
    runTrapped(m_desktop, [&] {
        const PanelModel::Outcome stopped = m_model.stopOwnTransmission(stopper);
        switch (stopped.refused) {
        case PanelModel::Refused::No:
        case PanelModel::Refused::Busy: return;
        case PanelModel::Refused::PortNotOpen: refuse(kPortNotOpen, stopped.why); return;
        case PanelModel::Refused::NotSent: refuse(kNotSent, stopped.why); return;
        }
    });
}

void ControlBus::watchTaggingCaller()
{
    if (!calledFromDBus())
        return;
    const QString caller = message().service();
    if (m_taggingCallers.contains(caller))
        return;
    m_taggingCallers.insert(caller);
    watchCallers();
    // Gone before the watch began: found by asking once.
    if (!m_connection.interface()->isServiceRegistered(caller).value())
        QMetaObject::invokeMethod(
            this, [this, caller] { callerLeft(caller); }, Qt::QueuedConnection);
}

void ControlBus::callerLeft(const QString &caller)
{
    const bool tagged = m_taggingCallers.remove(caller);
    const bool repeatStarter = caller == m_repeatCaller;
    watchCallers();
    if (tagged || repeatStarter)
        runTrapped(m_desktop, [&] { m_model.stopOwnTransmission(Owner::busCaller(caller)); });
}

void ControlBus::watchCallers()
{
    QSet<QString> watched = m_taggingCallers;
    if (!m_repeatCaller.isEmpty())
        watched.insert(m_repeatCaller);
    m_caller->setWatchedServices(watched.values());
}
