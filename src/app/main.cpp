#include "serial/PortDevices.h"
#include "ui/Form1.h"
#include "ui/QtDesktop.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(Desktop::kApplicationTitle));

    QtDesktop desktop;
    Form1 form(desktop, systemPortLookup());
    form.loadAndShow();
    return QApplication::exec();
}
