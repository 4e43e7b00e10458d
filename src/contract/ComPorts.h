#pragma once

// The ports the window offers: Com1 to Com4, each an item of the Com menu, a row of
// the port devices dialog and an entry of ports.conf. Every program that names a
// panel by its port (qx50-send, qx50-web) takes the same range from here.
constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 4;
constexpr int kComPortCount = kLastComPort - kFirstComPort + 1;
