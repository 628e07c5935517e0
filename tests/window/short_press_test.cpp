// A key or pad button tapped between two frames is seen for exactly one
// frame; held keys read as before.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/platform/headless/headless.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"
#include "headless_engine.h"

namespace {

class ShortPress : public HeadlessEngineTest {
protected:
    void SetUp() override {
        HeadlessEngineTest::SetUp();
        if (!started) return;
        for (int b = 0; b < 32; ++b) HeadlessSetJoystickButton(0, b, 0);
        GameState = GameStateRecord{};
    }
    // A frame: the pump, then the latch, as the main loop runs them.
    static void Frame() {
        Pump();
        LatchButtons();
    }
};

TEST_F(ShortPress, ATapInsideOnePumpLatchesJumpOnce) {
    HeadlessTapKey('Z');
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchPressed);
    EXPECT_EQ(IsKeyDown(44), 1) << "the whole frame sees it";
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
    EXPECT_EQ(IsKeyDown(44), 0);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
    // Two taps in two frames: two jumps.
    HeadlessTapKey('Z');
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchPressed);
    HeadlessTapKey('Z');
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchHeld) << "down in two frames running";
}

TEST_F(ShortPress, AHeldKeyIsPressedHeldThenReleased) {
    HeadlessSetKey('Z', 1);
    const int expected[] = {LatchPressed, LatchHeld, LatchHeld};
    for (int want : expected) {
        Frame();
        EXPECT_EQ(GameState.ButtonJump, want);
    }
    HeadlessSetKey('Z', 0);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp) << "released during the pump: up from this pump on";
    // Tapped while held: nothing new.
    HeadlessSetKey('Z', 1);
    Frame();
    HeadlessTapKey('Z');
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchHeld);
}

TEST_F(ShortPress, APadButtonTapConfirmsOnce) {
    HeadlessTapJoystickButton(0, 0);
    Frame();
    EXPECT_EQ(GameState.ButtonConfirm, LatchPressed);
    EXPECT_EQ(GameState.ButtonJump, LatchPressed) << "every read of the frame sees it";
    Frame();
    EXPECT_EQ(GameState.ButtonConfirm, LatchUp);
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
}

}  // namespace
