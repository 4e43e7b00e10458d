#pragma once

#include "BusContract.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

#include <optional>

// The library of every program that drives a panel (qx50-send, qx50-rigctld, the
// phone page): finding a panel on the session bus, calling it and reading its
// answers. The panel owning the well-known name answers by default; with a port
// number, the panel whose open port is that COM port answers, found among the names
// each panel takes for itself.
namespace panel {

enum class Outcome { Sent, Refused, NoPanel };

struct Answer {
    Outcome outcome = Outcome::NoPanel;
    QString reason; // empty when sent: the panel's own text, or why no panel answered
    QString error; // the bus error's name, empty when sent
};

// The session bus, made ready for use from Qt's bus thread.
QDBusConnection sessionBus();
// Why a program of ours found no session bus, in words for the operator: started
// outside the desktop session (over ssh, from cron), it has none to reach the panel.
QString noSessionBus(const char *program);

// A COM port number as a caller names it (--port N): one of the window's Com ports.
std::optional<int> comPortNumber(const QString &text);

// Why no panel answers for COM port `port`.
QString noPanelWith(int port);

// The bus name to call: kService when port is 0, else the name of the panel with COM
// port open. An empty name comes with the reason in `why`.
QString findPanel(QDBusConnection &bus, int port, QString *why);

// A call of the panel's interface (or of another, such as its properties) under
// `service`, never starting a panel.
QDBusMessage panelCall(const QString &service, const char *interface, const QString &method, const QVariantList &args);

// The call that hands one command character to the panel under `service`.
QDBusMessage sendCall(const QString &service, const QString &command);

// The same for one of the caller's clients, named by `client`: what it starts is that
// client's own.
QDBusMessage sendForCall(const QString &service, const QString &command, const QString &client);
// The stop nobody pressed: "S" only when what plays or transmits is this caller's,
// started for `client` or, with an empty one, for any of its clients.
QDBusMessage stopOwnCall(const QString &service, const QString &client);

// What a reply to sendCall means to the caller.
Answer readAnswer(const QDBusMessage &reply);

} // namespace panel
