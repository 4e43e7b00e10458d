#pragma once

#include <QString>

// The panel's fixed words: the boxes' prompts and the status captions that are not a
// command's. Every door (the window, the bus, the tools) uses these, never its own copy.
namespace PanelText {
inline constexpr auto kPortNotOpen = "Com Port is not open!";
inline constexpr auto kPortNotAvailable = "The Com Port is not available";
inline constexpr auto kSelectFreePort = "Select a Free Com Port";
inline constexpr auto kSaveFailed = "Failed to save com settings";
inline constexpr auto kCommandNotSent = "The command was not sent"; // the box, and the bus's refusal
inline constexpr auto kPortClosedAtStart = "Com Port Closed"; // start-up and a lost line
inline constexpr auto kPortClosedByOperator = "Com Port is Closed"; // Close Com port

// The line under the status while a lost port is waited for, the window's and the
// phone page's alike.
inline QString lostPortWaiting(const QString &port)
{
    return QStringLiteral("COM%1 lost \u2013 waiting for it to come back").arg(port);
}

// A command not sent, for a caller that is no operator: the box's words and the
// line's reason after them.
inline QString notSent(const QString &why)
{
    const QString text = QString::fromLatin1(kCommandNotSent);
    return why.isEmpty() ? text : QStringLiteral("%1: %2").arg(text, why);
}
} // namespace PanelText
