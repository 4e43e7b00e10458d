// The start-up yardstick for a window with text: a Qt window with the panel's four
// menus and their items, fifteen labelled buttons and one label, and nothing else:
// no serial port, no settings file, no timer. What any window showing this much text
// costs to start is the fair floor for the panel.
//   qx50-yardstick          shows the window until it is ended
//   qx50-yardstick expose   prints "exposed" when the window is first exposed, then exits
#include "ExposeReporter.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

void addMenus(QMenuBar *bar)
{
    bar->addMenu(QStringLiteral("Files"))->addAction(QStringLiteral("Exit"));

    QMenu *options = bar->addMenu(QStringLiteral("Options"));
    options->addAction(QStringLiteral("Keyboard Commands"))->setCheckable(true);
    options->addAction(QStringLiteral("Show Serial Com RX data"))->setCheckable(true);

    QMenu *com = bar->addMenu(QStringLiteral("Com"));
    for (int index = 1; index <= 4; ++index)
        com->addAction(QStringLiteral("Com%1").arg(index))->setCheckable(true);
    com->addSeparator();
    com->addAction(QStringLiteral("Close Com port"))->setEnabled(false);

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    help->addAction(QStringLiteral("Guide"));
    help->addSeparator();
    help->addAction(QStringLiteral("About"));
}

void addControls(QWidget *area)
{
    const char *functions[] = {"MIC record", "RX record", "Play", "Transmit", "Stop"};
    for (int i = 0; i < 5; ++i)
        (new QPushButton(QString::fromLatin1(functions[i]), area))->setGeometry(16, 16 + i * 30, 73, 25);
    for (int digit = 0; digit <= 9; ++digit)
        (new QPushButton(QString::number(digit), area))
            ->setGeometry(150 + (digit % 3) * 28, 16 + (digit / 3) * 32, 25, 25);
    (new QLabel(QStringLiteral("Com Port Closed"), area))->setGeometry(16, 170, 130, 13);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ExposeReporter reporter("exposed", true);
    if (QApplication::arguments().value(1) == QLatin1String("expose"))
        app.installEventFilter(&reporter);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("ORMA QX50 Voice Memory"));
    // The panel's own font, so both windows pay for the same font lookup.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("MS Sans Serif"), font.family()});
    font.setPointSizeF(8.25);
    window.setFont(font);
    addMenus(window.menuBar());
    auto *area = new QWidget(&window);
    area->setFixedSize(268, 190);
    addControls(area);
    window.setCentralWidget(area);
    window.show();
    return QApplication::exec();
}
