#include "game/shell/input_latch.h"

#include "engine/engine.h"
#include "game/shell/game_state.h"

namespace {

// Pad bits of ReadPadState(1).
constexpr int PadDown = 0x1, PadLeft = 0x2, PadRight = 0x4, PadUp = 0x8;
constexpr int PadJump = 0x10 | 0x80;   // pad buttons 0 and 3
constexpr int PadDrill = 0x20 | 0x100; // pad buttons 1 and 4

LatchKeys g_Keys = {{{KeyUp}, {KeyDown}, {KeyLeft}, {KeyRight}, {KeyEnter}, {KeyZ}, {KeyX}},
                    {1, 1, 1, 1, 1, 1, 1}};

bool IsButtonDown(int latch, int padBits) {
    for (int k = 0; k < g_Keys.count[latch]; ++k)
        if (IsKeyDown(g_Keys.codes[latch][k]) == 1) return true;
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

LatchKeys DefaultLatchKeys() {
    LatchKeys keys = {{{KeyUp}, {KeyDown}, {KeyLeft}, {KeyRight}, {KeyEnter}, {KeyZ}, {KeyX}},
                      {1, 1, 1, 1, 1, 1, 1}};
    return keys;
}

void SetLatchKeys(const LatchKeys& keys) {
    for (int i = 0; i < LatchCount; ++i) {
        int n = keys.count[i] < 0 ? 0 : (keys.count[i] > LatchMaxKeys ? LatchMaxKeys : keys.count[i]);
        g_Keys.count[i] = 0;
        for (int k = 0; k < n; ++k)
            if (keys.codes[i][k] > 0 && keys.codes[i][k] < 256) g_Keys.codes[i][g_Keys.count[i]++] = keys.codes[i][k];
    }
}

void LatchButtons() {
    const bool down[LatchCount] = {
        IsButtonDown(0, PadUp),    IsButtonDown(1, PadDown), IsButtonDown(2, PadLeft),
        IsButtonDown(3, PadRight), IsButtonDown(4, PadJump), IsButtonDown(5, PadJump),
        IsButtonDown(6, PadDrill),
    };
    ApplyLatches(down);
}
