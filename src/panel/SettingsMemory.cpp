// Saving, restoring and deleting the settings file: remembering the chosen port and
// the serial settings between runs.
#include "PanelModel.h"
#include "PanelTexts.h"

#include "serial/SettingsFile.h"
#include "serial/SettingsRecord.h"

#include <QFileInfo>

// The record takes the file's place whole or not at all: a save that fails keeps the
// previous file and says why under the fixed message.
void PanelModel::saveComSettings()
{
    const QByteArray record = SettingsRecord::build(m_comm.commPort(), m_comm.settings());
    m_onError.clear();
    m_onError([&] { SettingsFile::replace(iniFile, record); });
    if (m_onError.errorPending())
        tellOperator(PanelText::kSaveFailed, m_onError.pendingError(), false);
}

void PanelModel::restoreComSettings()
{
    if (!SettingsFile::isPresent(iniFile))
        return; // no file, no message

    // The detail says which file, and why it or the port it names was refused.
    const QString inFile = QStringLiteral("The settings file %1: ").arg(QFileInfo(iniFile).absoluteFilePath());
    QByteArray text;
    m_onError([&] { text = SettingsFile::read(iniFile); });

    const int port = SettingsRecord::portNumberOf(text);
    const QString settings = SettingsRecord::settingsTextOf(text);
    const QString readFailure = m_onError.pendingError(); // it explains an empty text below
    m_onError([&] { m_comm.setSettings(settings); });
    if (m_onError.errorPending()) {
        tellOperator(PanelText::kSelectFreePort,
                     inFile + (readFailure.isEmpty() ? m_onError.pendingError() : readFailure));
        return;
    }

    m_onError([&] {
        if (m_comm.portOpen())
            m_comm.setPortOpen(false);
    });
    m_onError([&] { m_comm.setCommPort(port); });
    if (m_onError.errorPending() || m_comm.portOpen())
        return; // no such port number: nothing opened, nothing said

    m_onError([&] { m_comm.setPortOpen(true); });
    if (m_onError.errorPending()) {
        tellOperator(PanelText::kSelectFreePort, m_onError.pendingError());
        return;
    }
    setCheckedPort(port); // ports 5 to 9 have no Com item
    setCloseOffered(true);
}

void PanelModel::deleteComSettings()
{
    if (SettingsFile::isPresent(iniFile))
        m_onError([&] { SettingsFile::remove(iniFile); });
}
