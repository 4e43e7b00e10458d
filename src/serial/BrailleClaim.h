#pragma once

#include <QString>

#include <optional>

// brltty, the braille display driver, takes USB serial bridges that some braille
// displays are built on (CH340, CP210x, FTDI). Where it runs, a plugged-in adapter of
// that kind gets no ttyUSB device: its interface is handed to usbfs for brltty instead.
struct BrailleClaim {
    QString chip; // "CH340"
    QString id; // vendor and product, "1a86:7523"
    QString usbPath; // where it hangs in the USB tree, "1-2"

    // A few words for a list of devices.
    QString summary() const;
    // What happened and what to do, leaving braille displays working.
    QString reason() const;
};

// A USB serial bridge present with no tty, its interface bound to usbfs, while a
// brltty process runs. The sysfs and /proc roots are parameters so that a test can
// hand a tree of its own.
std::optional<BrailleClaim> findBrailleClaim(const QString &sysRoot = QStringLiteral("/sys"),
                                             const QString &procRoot = QStringLiteral("/proc"));
