#pragma once

#include "contract/ComPorts.h"

// The port numbers the serial component takes; any other number names no port. A
// settings file may name a port above Com4, which opens without a menu item.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;
