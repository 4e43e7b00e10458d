#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <utility>

// qx50-send's command line, read apart from what is done with it.
struct SendOptions {
    // The characters handed to the panel, one call each, in order. A bare COMMAND goes
    // as typed, for the panel to judge; --play N becomes N then "T".
    QStringList commands;
    // With --hold: how long to stay after playing, stopping the unit on a signal.
    std::optional<std::chrono::milliseconds> hold;
    // With --wait: play, then stay for the memory's known length and 0.2 s, as --hold.
    bool wait = false;
    std::optional<int> playMemory; // --play N
    // The messages calls (send/MessageCalls.h), each alone: --messages lists the active
    // set, --set NAME makes a set active, --new-set NAME makes one, --name N TEXT names
    // memory N, --length N SECONDS gives its length (seconds, or - for not known).
    bool listMessages = false;
    bool describeSet = false; // --describe: the active set read out, as the panel's key says it
    std::optional<QString> setName;
    std::optional<QString> newSet;
    std::optional<std::pair<int, QString>> nameMemory;
    std::optional<std::pair<int, double>> memoryLength;
    bool messageCall() const
    {
        return listMessages || describeSet || setName || newSet || nameMemory || memoryLength;
    }
    int port = 0; // 0: the panel owning the well-known name; 1 to 4: the one with COM n open
    bool help = false;

    static constexpr double kMaxHoldSeconds = 600;

    // The options, or the reason they are refused (with no panel asked).
    struct Parsed;
    static Parsed parse(const QStringList &arguments);
};

struct SendOptions::Parsed {
    std::optional<SendOptions> options;
    QString error;
};
