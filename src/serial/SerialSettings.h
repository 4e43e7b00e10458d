#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Line settings written as "baud,parity,data bits,stop bits", e.g. "9600,n,8,1",
// with the ranges the classic Windows serial control accepted.
struct SerialSettings {
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baudRate = 9600;
    char parity = 'N'; // N, E, O, M or S, upper case
    int dataBits = 8; // 4 to 8
    StopBits stopBits = StopBits::One;

    // Strict: no spaces, no trailing characters, either letter case.
    static std::optional<SerialSettings> parse(QStringView text);
    // Why parse() refuses the text, for the operator: the text is shown with its
    // control characters spelled out, its first 60 characters at most then "…", and a
    // line end after good settings is named.
    static QString refusal(QStringView text);

    bool operator==(const SerialSettings &) const = default;
};
