#include "PanelLink.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

PanelLink::PanelLink(QDBusConnection bus, int port, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_port(port)
    , m_finder(m_bus)
{
}

void PanelLink::send(const QStringList &commands, const QString &client, QObject *owner, Done done)
{
    m_jobs.push_back({commands, client, owner, std::move(done)});
    if (!m_busy)
        startNext();
}

void PanelLink::startNext()
{
    if (m_jobs.empty()) {
        m_busy = false;
        return;
    }
    m_busy = true;
    if (!m_bus.isConnected()) {
        finish({panel::Outcome::NoPanel, panel::noSessionBus("qx50-rigctld"), {}});
        return;
    }
    m_finder.find(m_port, [this](const QString &service, const QString &why) {
        if (service.isEmpty())
            finish({panel::Outcome::NoPanel, why, {}});
        else
            sendStep(service, 0);
    });
}

void PanelLink::sendStep(const QString &service, qsizetype index)
{
    const QStringList &commands = m_jobs.front().commands;
    const QString &client = m_jobs.front().client;
    if (index == commands.size()) {
        finish({panel::Outcome::Sent, {}, {}});
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(panel::sendForCall(service, commands[index], client), panel::kAnswerWithinMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, service, index] {
        watcher->deleteLater();
        const panel::Answer answer = panel::readAnswer(watcher->reply());
        if (answer.outcome != panel::Outcome::Sent)
            finish(answer);
        else
            sendStep(service, index + 1);
    });
}

void PanelLink::finish(const panel::Answer &answer)
{
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    if (job.owner)
        job.done(answer);
    startNext();
}
