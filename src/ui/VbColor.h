#pragma once

#include "contract/StatusColour.h"

#include <QColor>
#include <QtGlobal>

// Colours as 32-bit values: 0x80000000 + n names the desktop's system colour n,
// anything else is 0x00BBGGRR.
namespace VbColor {
constexpr quint32 kWindowBackground = 0x80000005;
constexpr quint32 kApplicationWorkspace = 0x8000000C;
constexpr quint32 kButtonText = StatusColour::kButtonText;
constexpr quint32 kRed = StatusColour::kRed;

// The colour a value stands for under the application's current palette.
QColor toColor(quint32 value);
} // namespace VbColor
