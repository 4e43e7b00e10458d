#pragma once

#include "FormFixture.h"
#include "PtyUnit.h"
#include "app/ControlBus.h"

#include <memory>

// A window with COM2 on a unit, served on the session bus of the test (the suites
// that use it run under dbus-run-session). The port is not opened here.
struct BusPanel {
    FormFixture f;
    PtyUnit unit;
    std::unique_ptr<ControlBus> bus;

    BusPanel()
    {
        f.ports[2] = unit.devicePath();
        bus = std::make_unique<ControlBus>(f.form->model(), f.desktop);
    }
};
