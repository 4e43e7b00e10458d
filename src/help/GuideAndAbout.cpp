// The Help menu: the operator's guide in the desktop's viewer, and the About box.
#include "GuidePath.h"
#include "ui/Form1.h"

#include <QFileInfo>

namespace {
constexpr int kShowDefault = 10; // the viewer chooses its own window state
constexpr auto kAboutTitle = "ORMA-QX50 Voice Memory";

// Told from the file once the desktop has refused it: a missing or unreadable guide,
// or one that is there with nothing on this desktop to show it.
QString whyGuideNotShown(const QString &path)
{
    const QFileInfo document(path);
    if (!document.exists())
        return QStringLiteral("There is no guide at %1.").arg(path);
    if (!document.isFile())
        return QStringLiteral("%1 is not a file.").arg(path);
    if (!document.isReadable())
        return QStringLiteral("The guide at %1 cannot be read: permission denied.").arg(path);
    return QStringLiteral("The guide is at %1, but this desktop has no program to show HTML documents; "
                          "install a web browser.")
        .arg(path);
}
} // namespace

void Form1::menuGuide_Click()
{
    const QString path = guideDocumentPath(m_desktop.executableDirectory());
    if (!OpenDocument(path, kShowDefault))
        m_desktop.messageBox(QStringLiteral("Help file not found!"), Desktop::Warning, {}, whyGuideNotShown(path));
}

bool Form1::OpenDocument(const QString &path, int showMode)
{
#ifndef Q_OS_WIN
    // The desktop's launcher reports success before the viewer has looked at the file,
    // so a missing or unreadable guide is caught here.
    const QFileInfo document(path);
    if (!document.isFile() || !document.isReadable())
        return false;
#endif
    return m_desktop.handToViewer(path, showMode);
}

void Form1::menuAbout_Click()
{
    m_desktop.messageBox(QStringLiteral("ORMA-QX50 Voice Memory\rVersion 1.00\r"
                                        "A control panel for the voice-memory unit of the ORMA QX50 transceiver"),
                         Desktop::Information, QString::fromLatin1(kAboutTitle));
}
