#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Qt aborts the program, with advice to reinstall it, when the window system it
// would use is not there. Asked before Qt starts, this says so in the operator's
// words instead: a start outside a desktop session (from a plain console, over ssh
// without X forwarding, from a service) has neither DISPLAY nor WAYLAND_DISPLAY.
// A platform chosen that needs no display (QT_QPA_PLATFORM or -platform, such as
// offscreen) is left to Qt.
namespace DisplayCheck {

// The text to print when the window cannot start for want of a display; empty when
// it can. arguments: as main receives them. variable: an environment variable's
// value, empty when it is not set.
QString whyNoDisplay(const QStringList &arguments, const std::function<QString(const char *)> &variable);

// For this process: prints the reason on standard error, and says whether there was one.
bool displayMissing(int argc, char *argv[]);

} // namespace DisplayCheck
