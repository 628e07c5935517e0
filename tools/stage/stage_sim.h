// The game's own stage simulation as the stage tools use it (solve.cpp):
// the gameplay scene's per-frame steps on the headless engine, no drawing.
#pragma once

#include <cstdint>

struct CarelessRun {
    bool reached = false;  // got to the door's column
    int deaths = 0;
    int frames = 0;          // frames simulated, retries included
    double furthest = 0.0;  // the furthest x reached, at most the door's
};

// One run of a careless player on a stage (the engine started, the working
// folder holding data/): random running jumps and throws, back four steps
// after every death. Stops at the door's column or after frameCap frames.
CarelessRun RunCarelessPlayer(int extra, int index, uint32_t seed, int frameCap);
