#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

#include <optional>

// The first line and the header fields of one HTTP request, as a browser or anyone
// else on the network sent them. Names are kept in lower case.
struct RequestHead {
    // A head longer than this is refused before it is read further.
    static constexpr qsizetype kMaxBytes = 8192;
    static constexpr qsizetype kMaxFields = 64;

    QByteArray method;
    QByteArray target; // the path with its query, as sent
    QList<QPair<QByteArray, QByteArray>> fields;

    // The field's value, empty when it is absent; fieldCount tells a repeated field.
    QByteArray field(QByteArrayView name) const;
    int fieldCount(QByteArrayView name) const;
    bool asksForWebSocket() const;
};

// Where the head ends in the bytes received so far (just past its empty line), or
// -1 while it has not ended.
qsizetype headEnd(QByteArrayView bytes);

// Reads a complete head (the bytes up to headEnd); nothing when it is not one.
std::optional<RequestHead> parseRequestHead(QByteArrayView head);
