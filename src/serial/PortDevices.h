#pragma once

#include "PortNumbers.h"

#include <QString>
#include <functional>
#include <utility>

// Which device stands for COM port n. An empty text means the number names no port.
using PortLookup = std::function<QString(int port)>;

// The window's one source of port devices: the lookup the serial component opens
// ports by, and the ports.conf (see PortAssignments.h) that the port devices dialog
// reads and writes. Tests hand it a lookup and a file of their own.
struct PortDevices {
    // No assignments file: the dialog can show assignments but not keep them.
    PortDevices(PortLookup lookup, QString assignmentsFile = {})
        : lookup(std::move(lookup))
        , assignmentsFile(std::move(assignmentsFile))
    {
    }

    PortLookup lookup;
    QString assignmentsFile;

    // The system's mapping: COMn on Windows. Elsewhere, for n = 1 to 4, the device
    // named by the environment variable QX50_COMn when it is set and not empty, else
    // the device assigned in assignmentsFile, else /dev/ttyS(n-1); above 4 only the
    // variable and the default. The file is read at each lookup, so an assignment
    // made in the window counts from the next opening.
    static PortDevices system(const QString &assignmentsFile);
};

// A device as the operator names it: a bare name such as ttyUSB0 means /dev/ttyUSB0.
// Paths (/..., ./..., ../...) and network addresses (NetworkAddress::isNetworkName)
// stay as they are.
QString deviceFromName(const QString &name);

// The variable that overrides port n's device, and its value ("" when unset).
QString portVariableName(int port);
QString portVariable(int port);
