// Single-key commands: each function letter and memory digit typed in the window.
#include "Form1.h"
#include "contract/CommandTable.h"
#include "panel/UntrappedFailure.h"

#include <QTimer>

// Every character key warns while the port is closed, whether keyboard commands
// are on or not and whether the key is a command or not.
void Form1::Form_KeyPress(int characterCode)
{
    if (!Comm1.portOpen()) {
        warnPortNotOpenAfterKey();
        return;
    }
    if (!menuKeyboardCommands->isChecked())
        return;
    if (const auto command = CommandTable::commandForKey(characterCode))
        m_model.issueCommand(*command);
}

// The box opens once the key has gone on to the focused control. Opened inside the
// preview it would take the key's release, and a button pressed by the key (Space)
// would stay down. A box raised meanwhile for the same key (that button's click)
// stands for this one.
void Form1::warnPortNotOpenAfterKey()
{
    if (m_keyWarningPending)
        return;
    m_keyWarningPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_keyWarningPending)
            runTrapped(m_desktop, [this] { m_model.warnPortNotOpen(); });
    });
}

void Form1::menuKeyboardCommands_Click()
{
    menuKeyboardCommands->setChecked(!menuKeyboardCommands->isChecked());
}
