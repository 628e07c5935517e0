#include "game/actors/random.h"

namespace {
uint32_t randState = 1;
}

int GameRand() {
    randState = randState * 214013u + 2531011u;
    return static_cast<int>((randState >> 16) & 0x7FFFu);
}

uint32_t GameRandState() { return randState; }
void SetGameRandState(uint32_t state) { randState = state; }
