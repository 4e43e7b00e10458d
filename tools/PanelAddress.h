#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>

// How the tools outside the panel find it on the session bus and read its answers.
// The panel owning the well-known name answers by default; with a port number, the
// panel whose open port is that COM port answers, found among the names each panel
// takes for itself (kProcessNamePrefix followed by its process id).
namespace panel {

inline constexpr auto kService = "org.orma.Qx50VoiceMemory";
inline constexpr auto kProcessNamePrefix = "org.orma.Qx50VoiceMemory.pid";
inline constexpr auto kPath = "/org/orma/Qx50VoiceMemory";
inline constexpr auto kInterface = "org.orma.Qx50VoiceMemory";
inline constexpr auto kPortNotOpen = "org.orma.Qx50VoiceMemory.Error.PortNotOpen";
inline constexpr int kAnswerWithinMs = 5000; // a caller should not hang on a stuck panel

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

// The bus name to call: kService when port is 0, else the name of the panel with COM
// port open. An empty name comes with the reason in `why`.
QString findPanel(QDBusConnection &bus, int port, QString *why);

// The call that hands one command character to the panel under `service`.
QDBusMessage sendCall(const QString &service, const QString &command);

// What a reply to sendCall means to the caller.
Answer readAnswer(const QDBusMessage &reply);

} // namespace panel
