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

// The interface's members, each name typed here only. The panel declares the same
// names to Qt's bus as its slots and properties, and a test holds those to this table.
namespace method {
inline constexpr auto kSend = "Send";
inline constexpr auto kStartRepeat = "StartRepeat";
inline constexpr auto kStopRepeat = "StopRepeat";
inline constexpr auto kSetMessageName = "SetMessageName";
inline constexpr auto kSetMessageLength = "SetMessageLength";
inline constexpr auto kAddMessageSet = "AddMessageSet";
inline constexpr auto kStartRepeatWithGap = "StartRepeatWithGap";
// The calls of a caller that drives the panel for clients of its own (a rigctld
// client, a page's session), each named by a tag: what one starts is that client's,
// and a stop nobody pressed cuts only what is the caller's own.
inline constexpr auto kSendFor = "SendFor";
inline constexpr auto kStartRepeatFor = "StartRepeatFor";
inline constexpr auto kStopOwn = "StopOwn"; // an empty tag: any of the caller's own
// The active set read out: its name and each named memory with its length.
inline constexpr auto kDescribeSet = "DescribeSet";
} // namespace method

namespace property {
inline constexpr auto kStatus = "Status";
inline constexpr auto kPortOpen = "PortOpen";
inline constexpr auto kComPort = "ComPort";
inline constexpr auto kReceived = "Received";
inline constexpr auto kRepeating = "Repeating";
inline constexpr auto kRepeatsLeft = "RepeatsLeft";
inline constexpr auto kMessageNames = "MessageNames";
inline constexpr auto kMessageLengths = "MessageLengths";
inline constexpr auto kMessageSet = "MessageSet";
inline constexpr auto kPlaying = "Playing";
inline constexpr auto kLineState = "LineState";
// The lost port waited for, which ComPort no longer names (it names an open port).
inline constexpr auto kWaitingFor = "WaitingFor";
// Whether what happens on the air is heard as the desktop's event sounds.
inline constexpr auto kSounds = "Sounds";
} // namespace property

namespace busSignal {
inline constexpr auto kMessageEnded = "MessageEnded";
} // namespace busSignal

// The bus's own interface that carries the properties and their changes.
inline constexpr auto kPropertiesInterface = "org.freedesktop.DBus.Properties";
inline constexpr auto kPropertiesChanged = "PropertiesChanged";

// Every member with its D-Bus type signature: a method's and a signal's arguments in
// order, a property's value.
struct Member {
    enum class Kind { Method, Property, Signal };
    Kind kind;
    const char *name;
    const char *signature;
    bool writable = false; // properties only
};

inline constexpr Member kMembers[] = {
    {Member::Kind::Method, method::kSend, "s"},
    {Member::Kind::Method, method::kStartRepeat, "sdu"},
    {Member::Kind::Method, method::kStopRepeat, ""},
    {Member::Kind::Method, method::kSetMessageName, "us"},
    {Member::Kind::Method, method::kSetMessageLength, "ud"}, // memory, seconds (0: not known)
    {Member::Kind::Method, method::kAddMessageSet, "s"},
    {Member::Kind::Method, method::kStartRepeatWithGap, "sdu"},
    {Member::Kind::Method, method::kSendFor, "ss"}, // command, client
    {Member::Kind::Method, method::kStartRepeatFor, "sdus"}, // memory, seconds, count, client
    {Member::Kind::Method, method::kStopOwn, "s"}, // client
    {Member::Kind::Method, method::kDescribeSet, "s"}, // returns the words
    {Member::Kind::Property, property::kStatus, "s"},
    {Member::Kind::Property, property::kPortOpen, "b"},
    {Member::Kind::Property, property::kComPort, "i"}, // 0 when no port is open
    {Member::Kind::Property, property::kReceived, "s"},
    {Member::Kind::Property, property::kRepeating, "b"},
    {Member::Kind::Property, property::kRepeatsLeft, "u"},
    {Member::Kind::Property, property::kMessageNames, "a{us}"},
    {Member::Kind::Property, property::kMessageLengths, "a{ud}"}, // seconds
    {Member::Kind::Property, property::kMessageSet, "s", true},
    {Member::Kind::Property, property::kPlaying, "s"}, // "" or the memory digit
    {Member::Kind::Property, property::kLineState, "s"}, // "open", "waiting" or "closed"
    {Member::Kind::Property, property::kWaitingFor, "i"}, // 0 unless LineState is "waiting"
    {Member::Kind::Property, property::kSounds, "b", true},
    {Member::Kind::Signal, busSignal::kMessageEnded, "u"},
};

// How long a caller waits for an answer: a caller should not hang on a stuck panel.
inline constexpr int kAnswerWithinMs = 5000;

// The name a panel in process `pid` takes for itself.
inline QString processName(qint64 pid)
{
    return QString::fromLatin1(kProcessNamePrefix) + QString::number(pid);
}

} // namespace panel
