#pragma once

#include <QString>

// Who started what plays or transmits, so that a stop nobody pressed (a page gone
// silent, a program that ends) cuts only its own message and never another door's.
// The window is one owner; every program on the bus is one by its unique name, and
// within it each of its clients (a rigctld client, a page's session) by the tag it
// gives. The repeat sends on behalf of whoever started it.
struct Owner {
    enum class Door { Window, Bus };

    Door door = Door::Window;
    QString caller; // the bus caller's unique name
    QString client; // the caller's own tag for one of its clients; empty: the caller itself

    static Owner window() { return {}; }
    static Owner busCaller(QString caller, QString client = {})
    {
        return {Door::Bus, std::move(caller), std::move(client)};
    }

    bool operator==(const Owner &) const = default;

    // Whether a stop in this owner's name may cut what `started` started: the same
    // door and caller, and the same client unless this stop names none (a caller
    // stopping for all of its clients).
    bool covers(const Owner &started) const
    {
        return door == started.door && caller == started.caller && (client.isEmpty() || client == started.client);
    }
};
