#pragma once

#include <QString>
#include <functional>

// Which device stands for COM port n. An empty text means the number names no port.
using PortLookup = std::function<QString(int port)>;

// Port numbers the component takes; anything else names no port.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;

// The system's mapping: COMn on Windows. Elsewhere, for n = 1 to 4, the device named
// by the environment variable QX50_COMn when it is set and not empty, else the
// device assigned in ports.conf (PortAssignments.h), else /dev/ttyS(n-1); above 4
// only the variable and the default. ports.conf is read at each lookup, so an
// assignment made in the window counts from the next opening.
PortLookup systemPortLookup();

// A device as the operator names it: a bare name such as ttyUSB0 means /dev/ttyUSB0.
// Paths (/..., ./..., ../...) and network addresses (anything with "://") stay as
// they are.
QString deviceFromName(const QString &name);

// The variable that overrides port n's device, and its value ("" when unset).
QString portVariableName(int port);
QString portVariable(int port);
