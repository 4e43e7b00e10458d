#include "Secrets.h"

#include <QRandomGenerator>

#include <array>

QByteArray randomHex128()
{
    std::array<quint32, 4> words {};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.data()), sizeof words).toHex();
}

bool sameSecret(QByteArrayView given, QByteArrayView secret)
{
    if (given.size() != secret.size() || secret.isEmpty())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < secret.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ secret[i]);
    return difference == 0;
}
