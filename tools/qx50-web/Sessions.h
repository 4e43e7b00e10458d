#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The sessions the token has been exchanged for, each known by the random value of
// its cookie. A fixed number are kept, the oldest dropped first, so that no client
// can make the list grow.
class Sessions {
public:
    static constexpr qsizetype kMax = 16;

    // A new session's cookie value: 128 bits from the system's random source, in hex.
    QByteArray open();
    bool holds(QByteArrayView id) const;

private:
    QList<QByteArray> m_ids; // oldest first
};

// 128 bits from the system's random source, as 32 hex digits.
QByteArray randomHex128();

// Compares a secret without letting the time taken tell how much of it matched.
bool sameSecret(QByteArrayView given, QByteArrayView secret);
