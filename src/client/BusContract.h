#pragma once

#include <QString>

// The panel's interface on the session bus, as the panel serves it and every program
// that drives a panel calls it. Each copy of the panel serves kService when it can,
// and always a name of its own, kProcessNamePrefix followed by its process id, so
// that a second panel (a second unit) stays reachable.
namespace panel {

inline constexpr auto kService = "org.orma.Qx50VoiceMemory";
inline constexpr auto kProcessNamePrefix = "org.orma.Qx50VoiceMemory.pid";
inline constexpr auto kPath = "/org/orma/Qx50VoiceMemory";
inline constexpr auto kInterface = "org.orma.Qx50VoiceMemory";

// The panel's refusals, each with the panel's words as its message.
inline constexpr auto kErrorPrefix = "org.orma.Qx50VoiceMemory.Error.";
inline constexpr auto kPortNotOpen = "org.orma.Qx50VoiceMemory.Error.PortNotOpen";
inline constexpr auto kNotACommand = "org.orma.Qx50VoiceMemory.Error.NotACommand";
inline constexpr auto kBusy = "org.orma.Qx50VoiceMemory.Error.Busy";
inline constexpr auto kNotSent = "org.orma.Qx50VoiceMemory.Error.NotSent";
inline constexpr auto kRepeating = "org.orma.Qx50VoiceMemory.Error.Repeating";
inline constexpr auto kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";

// The calls of a caller that drives the panel for clients of its own (a rigctld
// client, a page's session), each named by a tag: what one starts is that client's,
// and a stop nobody pressed cuts only what is the caller's own.
inline constexpr auto kSendFor = "SendFor"; // (s command, s client)
inline constexpr auto kStartRepeatFor = "StartRepeatFor"; // (s memory, d seconds, u count, s client)
inline constexpr auto kStopOwn = "StopOwn"; // (s client); an empty tag: any of the caller's own

// How long a caller waits for an answer: a caller should not hang on a stuck panel.
inline constexpr int kAnswerWithinMs = 5000;

// The name a panel in process `pid` takes for itself.
inline QString processName(qint64 pid)
{
    return QString::fromLatin1(kProcessNamePrefix) + QString::number(pid);
}

} // namespace panel
