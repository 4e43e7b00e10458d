// Start-up and shutdown of the program's one window.
#include "panel/UntrappedFailure.h"
#include "ui/Form1.h"

#include <QCloseEvent>

void Form1::loadAndShow()
{
    runTrapped(m_desktop, [this] { Form_Load(); });
    show();
}

void Form1::Form_Load()
{
    IniFile = m_desktop.executableBaseName() + QStringLiteral(".ini");

    // Centred on the design height, then shortened: the top edge stays where it is.
    const QSize screen = m_desktop.screenSize();
    const QSize window = frameGeometry().size();
    move((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2);
    setOuterHeight(kShortHeight);
    m_model.showStatus(QString(), m_model.statusColour());
    m_model.load();
}

void Form1::Form_Unload()
{
    m_model.unload();
}

// A repeat's message may be on the air: "S" cuts it before the port is given back.
void Form1::closeEvent(QCloseEvent *event)
{
    runTrapped(m_desktop, [this] {
        repeat->stop(RepeatTransmit::Stop::WindowClosing);
        Form_Unload();
    });
    event->accept(); // closing is never refused
}

// Ends at once, with no unload step; only a repeat's message on the air is cut.
void Form1::Exit_Click()
{
    repeat->stop(RepeatTransmit::Stop::WindowClosing);
    m_desktop.endProgram(0);
}
