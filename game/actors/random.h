// The game's one random generator: the classic linear congruential one,
// never seeded, so every run draws the same sequence from state 1.
#pragma once

#include <cstdint>

// state = state * 214013 + 2531011 (mod 2^32); returns (state >> 16) & 0x7FFF.
int GameRand();
// For tests and tools: read or restart the sequence (1 at program start).
uint32_t GameRandState();
void SetGameRandState(uint32_t state);
