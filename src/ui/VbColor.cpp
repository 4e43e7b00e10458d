#include "VbColor.h"

#include <QGuiApplication>
#include <QPalette>

QColor VbColor::toColor(quint32 value)
{
    if ((value & 0x80000000u) == 0)
        return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                      static_cast<int>((value >> 16) & 0xFF));

    const QPalette palette = QGuiApplication::palette();
    switch (value & 0xFFu) {
    case 5: return palette.color(QPalette::Base);
    case 8: return palette.color(QPalette::WindowText);
    case 12: return palette.color(QPalette::Dark);
    case 15: return palette.color(QPalette::Button);
    case 18: return palette.color(QPalette::ButtonText);
    default: return palette.color(QPalette::WindowText);
    }
}
