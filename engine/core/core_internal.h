// Steps the core's own files share (not for other modules).
#pragma once

#include <cstdint>

// Timing: counter frequency, clock comparison, engine random seed.
void CoreQueryCounterFrequency();
void CoreCompareClocks();
void CoreSeedRandom(uint32_t seed);
int EngineRandom();
// The system information lines written at start-up.
void CoreLogSystemInformation();
