#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine_session.h"
#include "engine/platform/headless/headless.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"

namespace {

TEST(InputLatch, PressedForOneFrameThenHeld) {
    struct Case {
        int previous;
        bool down;
        int next;
    } cases[] = {
        {0, false, 0}, {1, false, 0}, {2, false, 0}, {0, true, 1}, {1, true, 2}, {2, true, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(NextLatch(c.previous, c.down), c.next) << c.previous << " " << c.down;
}

TEST(InputLatch, AllSevenLatchInTheirOrder) {
    GameState = GameStateRecord{};
    const bool first[LatchCount] = {true, false, true, false, true, true, false};
    ApplyLatches(first);
    EXPECT_EQ(GameState.ButtonUp, 1);
    EXPECT_EQ(GameState.ButtonDown, 0);
    EXPECT_EQ(GameState.ButtonLeft, 1);
    EXPECT_EQ(GameState.ButtonRight, 0);
    EXPECT_EQ(GameState.ButtonConfirm, 1);
    EXPECT_EQ(GameState.ButtonJump, 1);
    EXPECT_EQ(GameState.ButtonDrill, 0);
    const bool second[LatchCount] = {true, true, false, false, true, true, true};
    ApplyLatches(second);
    EXPECT_EQ(GameState.ButtonUp, 2);
    EXPECT_EQ(GameState.ButtonDown, 1);
    EXPECT_EQ(GameState.ButtonLeft, 0);
    EXPECT_EQ(GameState.ButtonConfirm, 2);  // held Enter chooses nothing in the next scene
    EXPECT_EQ(GameState.ButtonDrill, 1);
}

// Through the engine with the headless keyboard and pad.
class LatchThroughEngine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!EngineStarted()) GTEST_SKIP() << "engine did not start";
        HeadlessClearKeys();
        HeadlessSetJoystickAxis(0, 1, 0);
        for (int b = 0; b < 8; ++b) HeadlessSetJoystickButton(0, b, 0);
        GameState = GameStateRecord{};
    }
    void Frame() {
        HeadlessAdvanceMicroseconds(16000);  // the keyboard is sampled once per millisecond
        ProcessWindowMessages();
        LatchButtons();
    }
};

// Windows virtual-key codes of the headless keyboard.
constexpr int VkReturn = 0x0D, VkUp = 0x26, VkZ = 0x5A, VkX = 0x58;

TEST_F(LatchThroughEngine, ZAndEnterTogetherSetBothLatches) {
    HeadlessSetKey(VkZ, 1);
    HeadlessSetKey(VkReturn, 1);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, 1);
    EXPECT_EQ(GameState.ButtonConfirm, 1);
    EXPECT_EQ(GameState.ButtonDrill, 0);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, 2);
    EXPECT_EQ(GameState.ButtonConfirm, 2);
    HeadlessClearKeys();
    Frame();
    EXPECT_EQ(GameState.ButtonJump, 0);
    EXPECT_EQ(GameState.ButtonConfirm, 0);
}

TEST_F(LatchThroughEngine, PadButtonZeroFeedsJumpAndConfirm) {
    HeadlessSetJoystickButton(0, 0, 1);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, 1);
    EXPECT_EQ(GameState.ButtonConfirm, 1);
    HeadlessSetJoystickButton(0, 0, 0);
    HeadlessSetJoystickButton(0, 4, 1);  // drill
    Frame();
    EXPECT_EQ(GameState.ButtonJump, 0);
    EXPECT_EQ(GameState.ButtonDrill, 1);
    HeadlessSetKey(VkX, 1);
    Frame();
    EXPECT_EQ(GameState.ButtonDrill, 2);
}

TEST_F(LatchThroughEngine, KeyAndStickTogetherAreOneButton) {
    HeadlessSetKey(VkUp, 1);
    Frame();
    HeadlessSetJoystickAxis(0, 1, -32768);  // stick up as well
    Frame();
    EXPECT_EQ(GameState.ButtonUp, 2);
    HeadlessSetKey(VkUp, 0);
    Frame();
    EXPECT_EQ(GameState.ButtonUp, 2);  // the stick alone still holds it
    HeadlessSetJoystickAxis(0, 1, 0);
    Frame();
    EXPECT_EQ(GameState.ButtonUp, 0);
}

}  // namespace
