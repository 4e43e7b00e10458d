#pragma once

#include <QString>

#include <cstdio>

// Every line qx50-send writes to standard error starts with its name, as other
// command-line programs' do, so that a logger's own log shows who said it: its own
// words, the panel's refusals and the bus's alike.
inline void complain(const QString &text)
{
    std::fprintf(stderr, "qx50-send: %s\n", text.toLocal8Bit().constData());
}
