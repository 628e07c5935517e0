#include "game/shell/input_latch.h"

#include "engine/engine.h"
#include "game/shell/game_state.h"

namespace {

// Pad bits of ReadPadState(1).
constexpr int PadDown = 0x1, PadLeft = 0x2, PadRight = 0x4, PadUp = 0x8;
constexpr int PadJump = 0x10 | 0x80;   // pad buttons 0 and 3
constexpr int PadDrill = 0x20 | 0x100; // pad buttons 1 and 4

bool IsButtonDown(int key, int padBits) {
    if (IsKeyDown(key) == 1) return true;
    // The pad is asked anew for every button.
    return (ReadPadState(1) & padBits) != 0;
}

int* const Latches[LatchCount] = {
    &GameState.ButtonUp,      &GameState.ButtonDown, &GameState.ButtonLeft, &GameState.ButtonRight,
    &GameState.ButtonConfirm, &GameState.ButtonJump, &GameState.ButtonDrill,
};

}  // namespace

int NextLatch(int previous, bool down) {
    if (!down) return LatchUp;
    return (previous == LatchPressed || previous == LatchHeld) ? LatchHeld : LatchPressed;
}

void ApplyLatches(const bool down[LatchCount]) {
    for (int i = 0; i < LatchCount; ++i) *Latches[i] = NextLatch(*Latches[i], down[i]);
}

void LatchButtons() {
    const bool down[LatchCount] = {
        IsButtonDown(KeyUp, PadUp),          IsButtonDown(KeyDown, PadDown), IsButtonDown(KeyLeft, PadLeft),
        IsButtonDown(KeyRight, PadRight),    IsButtonDown(KeyEnter, PadJump), IsButtonDown(KeyZ, PadJump),
        IsButtonDown(KeyX, PadDrill),
    };
    ApplyLatches(down);
}
