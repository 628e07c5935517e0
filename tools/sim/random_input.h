// quellbore-sim --random-input SEED: keys pressed by a seeded generator,
// for soak runs. The same seed gives the same run.
#pragma once

#include <cstdint>

void RandomInputStart(uint64_t seed);
// Sets the headless keyboard for the frame.
void RandomInputFrame(int frame);
