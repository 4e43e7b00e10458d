#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>

// How a phone reaches qx50-web: the addresses of this machine another machine can
// reach, and what to say when qx50-web listens where no phone can.
namespace phone_reach {

// This machine's addresses on its networks, IPv4 first; no loopback, no link-local.
QList<QHostAddress> ownAddresses();

// The lines that tell how to serve a phone on this network, naming this machine's
// addresses and the port to use.
QByteArray howToServeAPhone(quint16 port);

} // namespace phone_reach
