#include "PanelClient.h"

#include "client/PanelClient.h"
#include "client/PanelFinder.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <utility>

namespace {
using panel::kPropertiesInterface;

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

// What a refused or unanswered call tells the page: the panel's own words, or why no
// panel answered.
QString refusalOf(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {};
    const panel::Answer answer = panel::readAnswer(reply);
    if (answer.outcome == panel::Outcome::NoPanel && reply.errorName() == QLatin1String(panel::kInvalidArgs))
        return reply.errorMessage(); // the repeat's own refusal of its values
    return answer.reason;
}
} // namespace

PanelClient::PanelClient(QDBusConnection bus, QString service, int comPort, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_comPort(comPort)
{
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(m_bus);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &owner) {
                if (!owner.isEmpty()) {
                    readAll();
                    return;
                }
                m_state.clear();
                setPresent(false);
                if (m_comPort != 0)
                    lookAgain();
            });
    if (m_comPort != 0) {
        m_bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                      SLOT(nameOwnerChanged(QString, QString, QString)));
        m_bus.connect(QString(), latin1(panel::kPath), latin1(kPropertiesInterface), latin1(panel::kPropertiesChanged),
                      this, SLOT(anyPanelsPropertiesChanged(QString, QVariantMap, QStringList)));
    }
    follow(service);
}

void PanelClient::follow(const QString &service)
{
    if (!m_service.isEmpty())
        m_bus.disconnect(m_service, latin1(panel::kPath), latin1(kPropertiesInterface),
                         latin1(panel::kPropertiesChanged), this,
                         SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    m_service = service;
    m_bus.connect(m_service, latin1(panel::kPath), latin1(kPropertiesInterface), latin1(panel::kPropertiesChanged),
                  this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    m_watcher->setWatchedServices({m_service});
    readAll();
}

void PanelClient::nameOwnerChanged(const QString &name, const QString &, const QString &newOwner)
{
    if (!m_present && !newOwner.isEmpty() && name.startsWith(latin1(panel::kProcessNamePrefix)))
        lookAgain();
}

void PanelClient::anyPanelsPropertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
{
    if (!m_present && interface == latin1(panel::kInterface)
        && changed.value(latin1(panel::property::kComPort)).toInt() == m_comPort)
        lookAgain();
}

void PanelClient::lookAgain()
{
    if (m_looking) {
        m_lookAgain = true;
        return;
    }
    m_looking = true;
    auto *finder = new PanelFinder(m_bus, this);
    finder->find(m_comPort, [this, finder](const QString &service, const QString &) {
        finder->deleteLater();
        m_looking = false;
        if (!service.isEmpty() && !m_present)
            follow(service);
        else if (std::exchange(m_lookAgain, false) && !m_present)
            lookAgain();
    });
}

std::unique_ptr<PanelClient> PanelClient::find(int comPort, QString *why)
{
    QDBusConnection bus = panel::sessionBus();
    if (!bus.isConnected()) {
        *why = panel::noSessionBus("qx50-web");
        return nullptr;
    }
    const QString service = panel::findPanel(bus, comPort, why);
    if (service.isEmpty())
        return nullptr;
    return std::make_unique<PanelClient>(bus, service, comPort);
}

void PanelClient::readAll()
{
    QDBusMessage get = QDBusMessage::createMethodCall(m_service, latin1(panel::kPath), latin1(kPropertiesInterface),
                                                      QStringLiteral("GetAll"));
    get.setAutoStartService(false);
    get << latin1(panel::kInterface);
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(get, panel::kAnswerWithinMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *watcher) {
        watcher->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *watcher;
        if (reply.isError()) {
            setPresent(false);
            return;
        }
        QVariantMap all;
        const QVariantMap published = reply.value();
        for (auto it = published.begin(); it != published.end(); ++it)
            all.insert(it.key(), plain(it.key(), it.value()));
        m_state = all;
        setPresent(true);
        emit changed(m_state);
    });
}

void PanelClient::setPresent(bool present)
{
    if (present == m_present)
        return;
    m_present = present;
    emit presenceChanged(present);
}

QVariant PanelClient::plain(const QString &name, const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return value;
    // a{us}: each memory's message name, carried to the page as text keys.
    QVariantMap names;
    // a{ud}: each memory's message length in seconds, for the page's countdown.
    QVariantMap lengths;
    if (name == QLatin1String(panel::property::kMessageLengths)) {
        const auto argument = value.value<QDBusArgument>();
        if (argument.currentType() == QDBusArgument::MapType) {
            QMap<uint, double> byMemory;
            argument >> byMemory;
            for (auto it = byMemory.begin(); it != byMemory.end(); ++it)
                if (it.key() <= 9)
                    lengths.insert(QString::number(it.key()), it.value());
        }
        return lengths;
    }
    if (name == QLatin1String(panel::property::kMessageNames)) {
        const auto argument = value.value<QDBusArgument>();
        if (argument.currentType() == QDBusArgument::MapType) {
            QMap<uint, QString> byMemory;
            argument >> byMemory;
            for (auto it = byMemory.begin(); it != byMemory.end(); ++it)
                if (it.key() <= 9)
                    names.insert(QString::number(it.key()), it.value().left(80));
        }
    }
    return names;
}

void PanelClient::propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
{
    if (interface != latin1(panel::kInterface))
        return;
    QVariantMap properties;
    for (auto it = changed.begin(); it != changed.end(); ++it) {
        properties.insert(it.key(), plain(it.key(), it.value()));
        m_state.insert(it.key(), properties.value(it.key()));
    }
    setPresent(true);
    emit this->changed(properties);
}

void PanelClient::call(const QString &method, const QVariantList &arguments, Answer answer)
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(m_service, latin1(panel::kPath), latin1(panel::kInterface), method);
    message.setAutoStartService(false);
    message.setArguments(arguments);
    hand(message, std::move(answer));
}

void PanelClient::hand(const QDBusMessage &message, Answer answer)
{
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(message, panel::kAnswerWithinMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [answer = std::move(answer)](QDBusPendingCallWatcher *watcher) {
                watcher->deleteLater();
                answer(refusalOf(watcher->reply()));
            });
}

void PanelClient::send(const QString &command, Answer answer)
{
    call(latin1(panel::method::kSend), {command}, std::move(answer));
}

void PanelClient::setSounds(bool on, Answer answer)
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, latin1(panel::kPath),
                                                          latin1(kPropertiesInterface), QStringLiteral("Set"));
    message.setAutoStartService(false);
    message << latin1(panel::kInterface) << latin1(panel::property::kSounds) << QVariant::fromValue(QDBusVariant(on));
    hand(message, std::move(answer));
}

void PanelClient::stopRepeat(Answer answer)
{
    call(latin1(panel::method::kStopRepeat), {}, std::move(answer));
}

void PanelClient::sendFor(const QString &command, const QString &client, Answer answer)
{
    call(latin1(panel::method::kSendFor), {command, client}, std::move(answer));
}

void PanelClient::startRepeatFor(const QString &memory, double seconds, uint count, const QString &client,
                                 Answer answer)
{
    call(latin1(panel::method::kStartRepeatFor), {memory, seconds, count, client}, std::move(answer));
}

void PanelClient::stopOwn(const QString &client, Answer answer)
{
    call(latin1(panel::method::kStopOwn), {client}, std::move(answer));
}

void PanelClient::stopOwnAndWait()
{
    m_bus.call(panel::stopOwnCall(m_service, {}), QDBus::Block, panel::kAnswerWithinMs);
}
