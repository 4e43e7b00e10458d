#include "PanelFinder.h"

#include "PanelClient.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <memory>

namespace {

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

PanelFinder::PanelFinder(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
}

void PanelFinder::find(int port, Found found)
{
    if (port == 0) {
        found(latin1(panel::kService), {});
        return;
    }
    QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(list, panel::kAnswerWithinMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, port, found = std::move(found)] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> names = *watcher;
        if (names.isError()) {
            found({}, QStringLiteral("the session bus lists no names: %1").arg(names.error().message()));
            return;
        }
        QStringList panels;
        for (const QString &name : names.value())
            if (name.startsWith(latin1(panel::kProcessNamePrefix)))
                panels << name;
        askEach(panels, port, found);
    });
}

void PanelFinder::askEach(const QStringList &names, int port, Found found)
{
    if (names.isEmpty()) {
        found({}, panel::noPanelWith(port));
        return;
    }
    struct Search {
        Found found;
        qsizetype waiting;
        bool done = false;
    };
    auto search = std::make_shared<Search>(Search {std::move(found), names.size()});
    for (const QString &name : names) {
        QDBusMessage get = QDBusMessage::createMethodCall(name, latin1(panel::kPath),
                                                          latin1(panel::kPropertiesInterface), QStringLiteral("Get"));
        get.setAutoStartService(false);
        get << latin1(panel::kInterface) << latin1(panel::property::kComPort);
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get, panel::kAnswerWithinMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, name, port, search] {
            watcher->deleteLater();
            --search->waiting;
            if (search->done)
                return;
            const QDBusMessage reply = watcher->reply();
            if (reply.type() == QDBusMessage::ReplyMessage
                && reply.arguments().value(0).value<QDBusVariant>().variant().toInt() == port) {
                search->done = true;
                search->found(name, {});
            } else if (search->waiting == 0) {
                search->done = true;
                search->found({}, panel::noPanelWith(port));
            }
        });
    }
}
