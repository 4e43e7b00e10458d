#include "SettingsMemory.h"

#include "contract/PanelTexts.h"

#include "serial/NetworkAddress.h"
#include "serial/SettingsFile.h"
#include "serial/SettingsRecord.h"

#include <QFileInfo>

SettingsMemory::SettingsMemory(Line &line, OperatorBoxes &boxes)
    : m_line(line)
    , m_boxes(boxes)
{
}

void SettingsMemory::save()
{
    const QByteArray record = SettingsRecord::build(m_line.commPort(), m_line.settings());
    m_onError.clear();
    m_onError([&] { SettingsFile::replace(iniFile, record); });
    if (m_onError.errorPending())
        m_boxes.tell(PanelText::kSaveFailed, m_onError.pendingError(), false);
}

QString SettingsMemory::restore()
{
    m_onError.clear();
    if (!SettingsFile::isPresent(iniFile))
        return {}; // no file, no message

    // The detail says which file, and why it or the port it names was refused.
    const QString inFile = QStringLiteral("The settings file %1: ").arg(QFileInfo(iniFile).absoluteFilePath());
    QByteArray text;
    m_onError([&] { text = SettingsFile::read(iniFile); });

    const int port = SettingsRecord::portNumberOf(text);
    const QString settings = SettingsRecord::settingsTextOf(text);
    const QString readFailure = m_onError.pendingError(); // it explains an empty text below
    m_onError([&] { m_line.setSettings(settings); });
    if (m_onError.errorPending()) {
        m_boxes.tell(PanelText::kSelectFreePort,
                     inFile + (readFailure.isEmpty() ? m_onError.pendingError() : readFailure));
        return m_onError.pendingError();
    }

    m_onError([&] {
        if (m_line.portOpen())
            m_line.setPortOpen(false);
    });
    m_onError([&] { m_line.setCommPort(port); });
    if (m_onError.errorPending() || m_line.portOpen())
        return m_onError.pendingError(); // no such port number: nothing opened, nothing said

    m_onError([&] { m_line.setPortOpen(true); });
    if (m_onError.errorPending()) {
        m_boxes.tell(PanelText::kSelectFreePort, m_onError.pendingError());
        return m_onError.pendingError();
    }
    m_line.setCheckedPort(port); // ports 5 to 9 have no Com item
    m_line.setCloseOffered(true);
    return {};
}

void SettingsMemory::remove()
{
    if (SettingsFile::isPresent(iniFile))
        m_onError([&] { SettingsFile::remove(iniFile); });
}

int SettingsMemory::savedNetworkPort() const
{
    try {
        if (!SettingsFile::isPresent(iniFile))
            return 0;
        const int port = SettingsRecord::portNumberOf(SettingsFile::read(iniFile));
        if (port < kFirstComPort || port > kLastComPort || !NetworkAddress::isNetworkName(m_line.ports().lookup(port)))
            return 0;
        return port;
    } catch (const std::exception &) {
        return 0; // the restore reads it again and says why
    }
}
