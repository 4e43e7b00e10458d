#include "QtDesktop.h"

#include "OutsideText.h"
#include "ViewerHandOver.h"

#include "serial/OpenLines.h"
#include "serial/RunningExecutable.h"
#include "panel/FailureLog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

#include <cstdio>
#include <cstdlib>

namespace {

QMessageBox::Icon iconFor(int style)
{
    switch (style) {
    case Desktop::Critical: return QMessageBox::Critical;
    case Desktop::Warning: return QMessageBox::Warning;
    case Desktop::Information: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Lines may come separated by a lone carriage return, which a label would not break on.
QString withLineFeeds(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

void QtDesktop::messageBox(const QString &prompt, int style, const QString &title, const QString &detail)
{
    QMessageBox box(iconFor(style), title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title,
                    withLineFeeds(prompt), QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (!detail.isEmpty()) {
        qCWarning(failureLog).noquote() << withLineFeeds(prompt) << "--" << detail;
        box.setInformativeText(shownAsWritten(withLineFeeds(detail)));
    }
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void QtDesktop::beep()
{
    QApplication::beep();
}

bool QtDesktop::handToViewer(const QString &path, int showMode)
{
#ifdef Q_OS_WIN
    const QByteArray file = path.toLocal8Bit();
    const auto result
        = reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", file.constData(), nullptr, nullptr, showMode));
    return static_cast<qint32>(result) > 32; // 32 and below are the shell's error codes
#else
    (void)showMode;
    // xdg-open tells whether the desktop took the document; without it, Qt's own way
    // (a desktop portal) is all there is.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return ViewerHandOver(opener).hand(path);
#endif
}

QSize QtDesktop::screenSize() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

QString QtDesktop::executableDirectory() const
{
    return runningExecutableDirectory();
}

QString QtDesktop::executableBaseName() const
{
    return QFileInfo(runningExecutableFile()).completeBaseName();
}

// Nothing of the window runs any more, but the serial component goes with the
// program: its port is closed, which takes Qt's lock file for the device away.
void QtDesktop::endProgram(int exitCode)
{
    OpenLines::closeAll();
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
