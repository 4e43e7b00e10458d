#pragma once

#include <QtGlobal>

// The two colours of the status line, as 32-bit colour values: 0x80000000 + n names
// the desktop's system colour n, anything else is 0x00BBGGRR.
namespace StatusColour {
inline constexpr quint32 kButtonText = 0x80000012;
inline constexpr quint32 kRed = 0x000000FF;
} // namespace StatusColour
