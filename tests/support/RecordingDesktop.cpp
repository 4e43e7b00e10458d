#include "RecordingDesktop.h"

QStringList RecordingDesktop::prompts() const
{
    QStringList all;
    for (const Box &box : boxes)
        all << box.prompt;
    return all;
}

void RecordingDesktop::clear()
{
    events.clear();
    boxes.clear();
    documents.clear();
    showModes.clear();
    endings.clear();
}

void RecordingDesktop::messageBox(const QString &prompt, int style, const QString &title, const QString &detail)
{
    const Box box {prompt, style, title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title, detail};
    events << QStringLiteral("box: ") + prompt;
    boxes << box;
    if (whileBoxShown)
        whileBoxShown(box);
}

void RecordingDesktop::beep()
{
    events << QStringLiteral("beep");
}

bool RecordingDesktop::handToViewer(const QString &path, int showMode)
{
    showModes << showMode;
    events << QStringLiteral("viewer: ") + path;
    documents << path;
    return viewerAccepts;
}

void RecordingDesktop::endProgram(int exitCode)
{
    events << QStringLiteral("end: %1").arg(exitCode);
    endings << exitCode;
}
