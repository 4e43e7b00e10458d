#pragma once

#include <QByteArray>
#include <QByteArrayView>

// 128 bits from the system's random source, as 32 hex digits.
QByteArray randomHex128();

// Compares a secret without letting the time taken tell how much of it matched.
bool sameSecret(QByteArrayView given, QByteArrayView secret);
