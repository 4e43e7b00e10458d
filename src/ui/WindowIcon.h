#pragma once

#include <QIcon>

// The window's 32 x 32 icon, drawn in a few flat colours: a handheld radio.
QIcon makeWindowIcon();
