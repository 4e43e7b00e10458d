#pragma once

#include <QString>
#include <functional>

// Which device stands for COM port n. An empty text means the number names no port.
using PortLookup = std::function<QString(int port)>;

// Port numbers the component takes; anything else names no port.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;

// The system's mapping: COMn on Windows; elsewhere the device named by the
// environment variable QX50_COMn, or /dev/ttyS(n-1) when it is unset.
PortLookup systemPortLookup();
