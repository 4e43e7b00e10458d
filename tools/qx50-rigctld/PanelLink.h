#pragma once

#include "client/PanelClient.h"
#include "client/PanelFinder.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <functional>

// The one road from every client to the panel. Each job's characters go in order and
// whole, one job after another, so two clients' memories never interleave on the line.
// The calls, the search for the panel among several included, are asynchronous: a
// slow panel holds up no client's reading or writing.
class PanelLink : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const panel::Answer &)>;

    // port 0: the panel owning the well-known name; 1 to 4: the one with COM n open.
    PanelLink(QDBusConnection bus, int port, QObject *parent = nullptr);

    // Sends the characters one by one for the client named `client`, stopping at the
    // first refusal; `done` hears the outcome unless `owner` is gone by then. What
    // they start is that client's own, stopped if this program leaves the bus.
    void send(const QStringList &commands, const QString &client, QObject *owner, Done done);

private:
    struct Job {
        QStringList commands;
        QString client;
        QPointer<QObject> owner;
        Done done;
    };
    void startNext();
    void sendStep(const QString &service, qsizetype index);
    void finish(const panel::Answer &answer);

    QDBusConnection m_bus;
    int m_port;
    PanelFinder m_finder;
    std::deque<Job> m_jobs;
    bool m_busy = false;
};
