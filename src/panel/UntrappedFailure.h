#pragma once

#include "Desktop.h"

#include <QString>
#include <exception>

// A failure that no handler expected: the operator is told what failed and the
// program ends with a non-zero status.
void reportUntrappedFailure(Desktop &desktop, const QString &what);

// Runs an event handler so that no exception ever crosses Qt's event loop.
template <typename Handler>
void runTrapped(Desktop &desktop, Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &failure) {
        reportUntrappedFailure(desktop, QString::fromUtf8(failure.what()));
    } catch (...) {
        reportUntrappedFailure(desktop, QStringLiteral("an unknown failure"));
    }
}
