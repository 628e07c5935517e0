// The engine started as the game sets it up.
#pragma once

#include "engine/engine.h"

// Its caption, a 256 x 256 16-bit screen at 60 Hz, a window at twice that
// size, then EngineInit. True when the engine started.
inline bool StartEngineLikeTheGame(const char* caption = "Quellbore Ver 1.01") {
    SetWindowCaption(caption);
    SetScreenMode(256, 256, 16, 60);
    ChangeWindowMode(1);
    SetWindowScale(2.0, -1.0);
    return EngineInit() == 0;
}
