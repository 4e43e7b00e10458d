#pragma once

#include <QString>

// What can be learnt about a device without opening it. Opening a serial port raises
// its modem lines, which resets some devices and can key a transmitter, so nothing
// here opens the device itself.
struct DeviceProbe {
    enum class Finding {
        Free, // present, and this user may open it; no holder seen
        Missing, // nothing at that path
        NotSerial, // something other than a character device
        NoAccess, // this user may not read and write it
        Held, // another program holds it (a lock file or a lock on it)
        Network, // a network port: checked when it opens, nothing is connected here
        Unknown, // the path cannot be examined
    };

    Finding finding = Finding::Unknown;
    QString summary; // a few words for a list of devices: "present, free"
    QString reason; // the cause and what to do about it; empty when free

    // Whether an opening cannot succeed at all: nothing is tried then.
    bool rulesOutOpening() const
    {
        return finding == Finding::Missing || finding == Finding::NotSerial || finding == Finding::Unknown;
    }
};

DeviceProbe probeDevice(const QString &device);
// The same short of looking for a holder (whose lock table the kernel is slow to
// list): enough to rule an opening out, cheap enough for every opening.
DeviceProbe probePresence(const QString &device);

// Why an opening was refused, told from what the system shows about the device:
// permission denied (naming the group that may open it and how to join it), or in
// use (naming the holder where it can be seen).
QString permissionReason(const QString &device);
QString inUseReason(const QString &device);

// The PID of another live program whose lock file (Qt or UUCP style) announces
// that it uses the device, under this name or the one its links lead to; 0 when none.
qint64 lockFileHolder(const QString &device);

// The program that holds the device, as "minicom (PID 1234)": the one behind a lock
// file of Qt or UUCP style, the one holding a lock on the device, or a process of
// this user with the device open. This process is never named. Empty when none is
// seen.
QString deviceHolder(const QString &device);
