// One headless engine for the whole test program, started on first use.
#pragma once

#include <cstdlib>

#include "engine/engine.h"
#include "engine/platform/headless/headless.h"

inline bool EngineStarted() {
    static const bool started = [] {
        HeadlessSetJoystickCount(1);  // pads are found when the engine starts
        SetScreenMode(256, 256, 16, 60);
        ChangeWindowMode(1);
        const bool ok = EngineInit() == 0;
        if (ok) std::atexit([] { EngineEnd(); });
        return ok;
    }();
    return started;
}
