#pragma once

#include <QHostAddress>
#include <QString>

// qx50-web's command line.
struct WebOptions {
    static constexpr quint16 kDefaultPort = 8650;

    int panelPort = 0; // 0: the panel owning the well-known name; else the one with COM n open
    QHostAddress address {QHostAddress::LocalHost};
    quint16 port = kDefaultPort;
    bool allowRemote = false;
    QString certificate; // with key: serve over TLS
    QString key;
    bool newToken = false;
    bool help = false;
};

extern const char *const kWebUsage;

// Reads the arguments after the program's name; a non-empty result says what is wrong.
QString parseWebOptions(const QStringList &arguments, WebOptions &options);
