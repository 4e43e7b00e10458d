#pragma once

#include <QString>

// The received-data panel keeps only the newest characters the unit sent.
constexpr qsizetype kReceivedTextLimit = 188;

// The kept text followed by what has just arrived, cut to its last
// kReceivedTextLimit characters. Nothing is filtered or translated.
inline QString keepNewest(const QString &kept, const QString &arrived)
{
    if (arrived.isEmpty())
        return kept;
    if (arrived.size() >= kReceivedTextLimit)
        return arrived.right(kReceivedTextLimit);
    return (kept + arrived).right(kReceivedTextLimit);
}
