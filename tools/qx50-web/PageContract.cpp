#include "PageContract.h"

#include "PageHub.h"
#include "RequestGuard.h"
#include "client/BusContract.h"
#include "contract/CommandTable.h"
#include "contract/PanelTexts.h"
#include "contract/StatusColour.h"

#include <QJsonArray>

QJsonObject pageContract()
{
    QJsonArray commands;
    for (const PanelCommand &command : CommandTable::all()) {
        QJsonObject entry {{"c", QString(QChar::fromLatin1(command.character))},
                           {"caption", QString::fromLatin1(command.caption)}};
        if (command.kind == CommandKind::Memory) {
            entry.insert("kind", "memory");
            entry.insert("row", command.key.row);
            entry.insert("column", command.key.column);
        } else {
            entry.insert("kind", "function");
            entry.insert("red", command.status && command.statusColour == StatusColour::kRed);
        }
        commands.append(entry);
    }
    QString keypad;
    for (const PanelCommand *key : CommandTable::keypad())
        keypad += QChar::fromLatin1(key->character);

    // The page's own words for what it shows, each with the property's name on the bus.
    using namespace panel::property;
    const QJsonObject properties {
        {"status", kStatus},           {"portOpen", kPortOpen}, {"comPort", kComPort},
        {"lineState", kLineState},     {"received", kReceived}, {"repeating", kRepeating},
        {"repeatsLeft", kRepeatsLeft}, {"playing", kPlaying},   {"messageNames", kMessageNames},
        {"messageLengths", kMessageLengths},
        {"sounds", kSounds},           {"waitingFor", kWaitingFor},
    };
    // The window's own words the page shows, "{port}" standing for the port's number.
    const QJsonObject texts {{"lostPortWaiting", PanelText::lostPortWaiting(QStringLiteral("{port}"))}};
    return {{"commands", commands},
            {"keypad", keypad},
            {"silenceMs", PageHub::kSilenceMs},
            {"properties", properties},
            {"texts", texts},
            {"socketPath", RequestGuard::kSocketPath},
            {"socketProtocol", RequestGuard::kSocketProtocol}};
}
