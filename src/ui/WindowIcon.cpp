#include "WindowIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon makeWindowIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x80, 0x80, 0x80)); // antenna
    p.drawRect(21, 1, 3, 10);
    p.setBrush(QColor(0x00, 0x00, 0x80)); // body
    p.drawRect(7, 9, 18, 22);
    p.setBrush(QColor(0x00, 0xFF, 0xFF)); // display
    p.drawRect(10, 12, 12, 5);
    p.setBrush(QColor(0xC0, 0xC0, 0xC0)); // keys
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRect(10 + col * 4, 20 + row * 3, 3, 2);
    p.setBrush(QColor(0xFF, 0x00, 0x00)); // transmit lamp
    p.drawRect(20, 12, 2, 2);
    p.end();
    return QIcon(pixmap);
}
