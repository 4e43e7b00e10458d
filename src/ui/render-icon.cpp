// Writes the window's icon as a 32 x 32 PNG for the desktop's icon theme, so the
// installed icon is the one the window shows. Usage: render-icon OUTPUT.png
#include "ui/WindowIcon.h"

#include <QGuiApplication>
#include <QPixmap>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    return makeWindowIcon().pixmap(32, 32).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
