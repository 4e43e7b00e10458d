#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class QDBusServiceWatcher;
class QDBusPendingCallWatcher;

// The one place qx50-web talks to the panel. It keeps the panel's published
// properties, passes on their changes, and makes the three calls asynchronously, so
// that a slow panel never holds up the pages being served. Properties the running
// panel does not publish are simply absent from state().
//
// Panels come and go. Without a COM port the panel is the one owning the well-known
// name, whichever process that is. With one, it is known by its own process's name,
// which a restarted panel does not keep: when it leaves the bus, the panel with that
// port is looked for again whenever a panel's name appears or a panel's port changes.
class PanelClient : public QObject {
    Q_OBJECT

public:
    // Called with an empty text when the panel took the call, else with its refusal.
    using Answer = std::function<void(const QString &refusal)>;

    // comPort 0: the panel on the well-known name `service`; 1 to 4: the one whose
    // port that is, found on `service` now.
    PanelClient(QDBusConnection bus, QString service, int comPort, QObject *parent = nullptr);
    // The panel on the session bus: the one owning the well-known name when comPort is
    // 0, else the one whose open port is COM comPort. Nothing, with the reason in
    // `why`, when there is no session bus or no such panel.
    static std::unique_ptr<PanelClient> find(int comPort, QString *why);

    bool present() const { return m_present; }
    // Every property the panel publishes, under its bus name. MessageNames is turned
    // into a map from the memory digit to the message's name.
    const QVariantMap &state() const { return m_state; }

    void send(const QString &command, Answer answer);
    void stopRepeat(Answer answer);
    // The panel's Sounds property, as Options -> Sounds sets it.
    void setSounds(bool on, Answer answer);
    // For one page, named by `client`: what it starts is that page's own.
    void sendFor(const QString &command, const QString &client, Answer answer);
    void startRepeatFor(const QString &memory, double seconds, uint count, const QString &client, Answer answer);
    // The stop nobody pressed: "S" only when what plays or transmits is the page's.
    void stopOwn(const QString &client, Answer answer);
    // The same for every page, waiting for the panel's answer: for the last moments
    // of the program, when no answer could come back later.
    void stopOwnAndWait();

signals:
    void changed(const QVariantMap &properties);
    void presenceChanged(bool present);

private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);
    void anyPanelsPropertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &);
    void nameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    void follow(const QString &service);
    void lookAgain();
    void readAll();
    void call(const QString &method, const QVariantList &arguments, Answer answer);
    // The message goes to the panel; its answer (a refusal's words, or none) to `answer`.
    void hand(const QDBusMessage &message, Answer answer);
    void setPresent(bool present);
    static QVariant plain(const QString &name, const QVariant &value);

    QDBusConnection m_bus;
    QString m_service;
    int m_comPort;
    QDBusServiceWatcher *m_watcher = nullptr;
    bool m_looking = false;
    bool m_lookAgain = false; // a panel changed while the last look was under way
    QVariantMap m_state;
    bool m_present = false;
};
