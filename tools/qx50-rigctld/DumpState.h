#pragma once

#include <QByteArray>
#include <QList>

// What this program says of itself to "\dump_state" when no upstream rigctld does:
// a rig with no ranges, modes, functions or levels, in the layout Hamlib 4.5's NET
// rigctl client reads at connect (protocol version 1, then key=value lines to "done").
inline QList<QByteArray> dumpState()
{
    return {"1",
            "2",
            "0",
            "0 0 0 0 0 0 0",
            "0 0 0 0 0 0 0", // receive and transmit ranges: none
            "0 0",
            "0 0", // tuning steps, filters: none
            "0",
            "0",
            "0",
            "0", // max RIT, XIT, IF shift; announces
            "",
            "", // preamplifiers, attenuators
            "0x0",
            "0x0",
            "0x0",
            "0x0",
            "0x0",
            "0x0", // functions, levels, parameters
            "vfo_ops=0x0",
            "ptt_type=0x0",
            "targetable_vfo=0x0",
            "has_set_vfo=0",
            "has_get_vfo=0",
            "has_set_freq=0",
            "has_get_freq=0",
            "has_set_conf=0",
            "has_get_conf=0",
            "has_power2mW=0",
            "has_mW2power=0",
            "timeout=0",
            "rig_model=2",
            "done"};
}
