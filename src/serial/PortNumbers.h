#pragma once

// The ports the window offers: Com1 to Com4, each an item of the Com menu, a row of
// the port devices dialog and an entry of ports.conf.
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 4;
constexpr int kComPortCount = kLastComPort - kFirstComPort + 1;

// The port numbers the serial component takes; any other number names no port. A
// settings file may name a port above Com4, which opens without a menu item.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;
