#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

// Finds the panel to call without blocking: the bus's list of names is asked for, then
// every panel's open port at once, and the first panel with the port wins. A panel
// that is stuck (stopped, or busy with a box) costs only its own answer's time limit,
// and holds up neither the other panels' answers nor this program's other clients.
// The names and the property are those of BusContract.h.
class PanelFinder : public QObject {
    Q_OBJECT
public:
    // The panel's bus name, or an empty one with the reason.
    using Found = std::function<void(const QString &service, const QString &why)>;

    explicit PanelFinder(QDBusConnection bus, QObject *parent = nullptr);

    // port 0: the well-known name, at once; 1 to 4: the panel with COM port open.
    void find(int port, Found found);

private:
    void askEach(const QStringList &names, int port, Found found);

    QDBusConnection m_bus;
};
