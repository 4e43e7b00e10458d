// Saving, restoring and deleting the settings file: the window's operations that
// remember the chosen port and the serial settings between runs.
#include "serial/SettingsFile.h"
#include "serial/SettingsRecord.h"
#include "ui/Form1.h"

#include <QFileInfo>

// The record takes the file's place whole or not at all: a save that fails keeps the
// previous file and says why under the fixed message.
void Form1::SaveComSettings()
{
    const QByteArray record = SettingsRecord::build(Comm1.commPort(), Comm1.settings());
    m_onError.clear();
    m_onError([&] { SettingsFile::replace(IniFile, record); });
    if (m_onError.errorPending())
        m_desktop.messageBox(QStringLiteral("Failed to save com settings"), Desktop::Plain, {},
                             m_onError.pendingError());
}

void Form1::RestoreComSettings()
{
    if (!SettingsFile::isPresent(IniFile))
        return; // no file, no message

    // The detail says which file, and why it or the port it names was refused.
    const auto refuse = [this](const QString &why) {
        m_desktop.beep();
        m_desktop.messageBox(QStringLiteral("Select a Free Com Port"), Desktop::Plain, {}, why);
    };
    const QString inFile = QStringLiteral("The settings file %1: ").arg(QFileInfo(IniFile).absoluteFilePath());
    QByteArray text;
    m_onError([&] { text = SettingsFile::read(IniFile); });

    const int port = SettingsRecord::portNumberOf(text);
    const QString settings = SettingsRecord::settingsTextOf(text);
    const QString readFailure = m_onError.pendingError(); // it explains an empty text below
    m_onError([&] { Comm1.setSettings(settings); });
    if (m_onError.errorPending()) {
        refuse(inFile + (readFailure.isEmpty() ? m_onError.pendingError() : readFailure));
        return;
    }

    m_onError([&] {
        if (Comm1.portOpen())
            Comm1.setPortOpen(false);
    });
    m_onError([&] { Comm1.setCommPort(port); });
    if (m_onError.errorPending() || Comm1.portOpen())
        return; // no such port number: nothing opened, nothing said

    m_onError([&] { Comm1.setPortOpen(true); });
    if (m_onError.errorPending()) {
        refuse(m_onError.pendingError());
        return;
    }
    m_onError([&] { menuCom(port)->setChecked(true); }); // ports 5 to 9 have no item
    m_onError([&] { menuCloseComPort->setEnabled(true); });
}

void Form1::DeleteComSettings()
{
    if (SettingsFile::isPresent(IniFile))
        m_onError([&] { SettingsFile::remove(IniFile); });
}
