#pragma once

#include "client/PanelClient.h"

#include <QDBusConnection>
#include <QString>

#include <optional>

struct SendOptions;

// qx50-send's calls on the memories' names and lengths: --messages lists the panel's
// active set, one memory a line ("5<TAB>2.8<TAB>CQ contest", "-" for a length not
// known); --describe prints the active set read out, the words the panel's read-set
// key speaks; --set NAME makes another set active; --new-set NAME makes a new, empty
// set and makes it active; --name N TEXT names memory N; --length N SECONDS gives its
// length (0: not known). The panel judges names, sets and lengths by its own rule.

// Runs the one the options ask for; the exit status: 0 done, 1 refused with the
// panel's reason, 2 no panel answered.
int runMessageCall(QDBusConnection &bus, const QString &service, const SendOptions &options);

// Memory N's known length in the panel's active set, in milliseconds. Nothing when
// not known; when the panel did not answer, `failed` says why.
std::optional<int> messageLengthMs(QDBusConnection &bus, const QString &service, int memory, panel::Answer *failed);

// Whether the panel says memory N's message still plays; true when it cannot be
// asked, so that a wait is never cut short by a panel that does not answer.
bool stillPlaying(QDBusConnection &bus, const QString &service, int memory);
