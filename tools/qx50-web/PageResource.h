#pragma once

#include <QByteArray>

// The page as served: the one HTML file from the program's resources with the
// panel's contract (PageContract.h) and the repeat's limits written in, and a
// Content-Security-Policy that lets only its own inline style and script run and its
// own origin be reached.
struct PageResource {
    QByteArray html;
    QByteArray policy;
};

PageResource loadPage();
