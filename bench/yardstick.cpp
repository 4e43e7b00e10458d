// The start-up yardstick for a window with text: a Qt window with the panel's four
// menus and their items, fifteen labelled buttons and one label, and nothing else:
// no serial port, no settings file, no timer. What any window showing this much text
// costs to start is the fair floor for the panel.
//   qx50-yardstick          shows the window until it is ended
//   qx50-yardstick expose   prints "exposed" when the window is first exposed, then exits
//   qx50-yardstick framed   the same window drawn as the panel is: the buttons in two
//                           titled frames and the label in bold, which costs a second
//                           face of the font; it shows what the look itself costs
#include "ExposeReporter.h"

#include <QApplication>
#include <QGroupBox>
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

void addControls(QWidget *area, bool framed)
{
    QWidget *functionsArea = area;
    QWidget *memoryArea = area;
    if (framed) {
        functionsArea = new QGroupBox(QStringLiteral("Function"), area);
        functionsArea->setGeometry(4, 0, 105, 140);
        memoryArea = new QGroupBox(QStringLiteral("Memory"), area);
        memoryArea->setGeometry(138, 0, 105, 140);
    }
    const char *functions[] = {"MIC record", "RX record", "Play", "Transmit", "Stop"};
    for (int i = 0; i < 4; ++i)
        (new QPushButton(QString::fromLatin1(functions[i]), functionsArea))->setGeometry(16, 16 + i * 30, 73, 25);
    (new QPushButton(QString::fromLatin1(functions[4]), area))->setGeometry(16, framed ? 143 : 136, 73, 25);
    const int keypadLeft = framed ? 12 : 150; // inside the frame, or in the window
    for (int digit = 0; digit <= 9; ++digit)
        (new QPushButton(QString::number(digit), memoryArea))
            ->setGeometry(keypadLeft + (digit % 3) * 28, 16 + (digit / 3) * 32, 25, 25);
    auto *label = new QLabel(QStringLiteral("Com Port Closed"), area);
    label->setGeometry(16, 170, 130, 13);
    if (framed) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString mode = QApplication::arguments().value(1);
    ExposeReporter reporter("exposed", true);
    if (mode == QLatin1String("expose"))
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
    addControls(area, mode == QLatin1String("framed"));
    window.setCentralWidget(area);
    window.show();
    return QApplication::exec();
}
