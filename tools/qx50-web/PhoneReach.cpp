#include "PhoneReach.h"

#include <QNetworkInterface>

#include <algorithm>

namespace phone_reach {

QList<QHostAddress> ownAddresses()
{
    QList<QHostAddress> own;
    for (const QHostAddress &address : QNetworkInterface::allAddresses())
        if (!address.isLoopback() && !address.isLinkLocal())
            own << address;
    // A phone is most often told an IPv4 address: those come first.
    std::stable_sort(own.begin(), own.end(), [](const QHostAddress &a, const QHostAddress &b) {
        return a.protocol() == QAbstractSocket::IPv4Protocol && b.protocol() != QAbstractSocket::IPv4Protocol;
    });
    return own;
}

QByteArray howToServeAPhone(quint16 port)
{
    QByteArray addresses;
    for (const QHostAddress &address : ownAddresses())
        addresses += (addresses.isEmpty() ? "" : ", ") + address.toString().toLatin1();
    return "qx50-web: loopback is this machine alone, which no phone reaches; to serve a phone on this network:\n"
           "  qx50-web --listen ADDRESS:"
        + QByteArray::number(port)
        + " --allow-remote --tls CERT KEY\n"
          "  with ADDRESS one of this machine's: "
        + (addresses.isEmpty() ? QByteArray("none now (no network is up)") : addresses) + '\n';
}

} // namespace phone_reach
