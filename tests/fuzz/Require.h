#pragma once

#include <cstdlib>

// A fuzz target's invariant: broken, the run stops here and libFuzzer keeps the input.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}
