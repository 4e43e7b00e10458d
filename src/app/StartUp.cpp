// Start-up and shutdown of the program's one window.
#include "UntrappedFailure.h"
#include "ui/Form1.h"
#include "ui/VbColor.h"

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
    Status->setCaption(QString());

    m_onError.clear();
    ScanComPorts();
    RestoreComSettings();

    bool open = false;
    m_onError([&] { open = Comm1.portOpen(); });
    if (open) {
        m_onError([&] { issueCommand('P'); });
    } else {
        showStatus(QStringLiteral("Com Port Closed"), VbColor::kRed);
    }
}

void Form1::Form_Unload()
{
    if (Comm1.portOpen())
        Comm1.setPortOpen(false);
}

void Form1::closeEvent(QCloseEvent *event)
{
    runTrapped(m_desktop, [this] { Form_Unload(); });
    event->accept(); // closing is never refused
}

void Form1::Exit_Click()
{
    m_desktop.endProgram(0);
}
