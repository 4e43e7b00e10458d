#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// A serial port served over the network, named as pyserial names it:
// "rfc2217://HOST:PORT" (telnet with RFC 2217 serial control) or
// "socket://HOST:PORT" (a raw TCP byte stream that ignores the line settings).
// HOST may be a name, an IPv4 address or an IPv6 address in brackets. pyserial's
// options after '?' are accepted and ignored.
struct NetworkAddress {
    enum class Kind { Rfc2217, Socket };

    Kind kind = Kind::Rfc2217;
    QString host;
    quint16 port = 0;

    // True when the name is meant as a network address ("SCHEME://..."), valid or
    // not, whatever its scheme: the choice between a network line and a local device
    // rests on this alone, wherever it is made. parse() then says what is wrong.
    static bool isNetworkName(QStringView device);

    // The address, or nothing with the reason in *problem.
    static std::optional<NetworkAddress> parse(QStringView device, QString *problem = nullptr);

    bool operator==(const NetworkAddress &) const = default;
};
