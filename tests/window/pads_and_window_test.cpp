// Pads plugged in while running, the d-pad, full screen and a window the
// player sizes, through the engine on the headless backend.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/input/input.h"
#include "engine/platform/headless/headless.h"
#include "headless_engine.h"

namespace {

using PadsAndWindow = HeadlessEngineTest;

TEST_F(PadsAndWindow, TheDpadMovesLikeTheStick) {
    struct Case {
        int hat, bits;
    } cases[] = {
        {-1, 0},       {0, 0x8},      {4500, 0x8 | 0x4}, {9000, 0x4},    {13500, 0x4 | 0x1},
        {18000, 0x1},  {22500, 0x1 | 0x2}, {27000, 0x2}, {31500, 0x2 | 0x8}, {2000, 0x8},
        {36000, 0},    {-500, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InputHatBits(c.hat), c.bits) << c.hat;
        HeadlessSetJoystickHat(0, c.hat);
        Pump();
        EXPECT_EQ(ReadPadState(1), c.bits) << c.hat;
    }
    HeadlessSetJoystickHat(0, -1);
}

TEST_F(PadsAndWindow, APadPluggedInWhileRunningIsSeenAndOneOutReadsNothing) {
    HeadlessSetJoystickCount(0);
    Pump();
    EXPECT_EQ(ReadPadState(1), 0);
    EXPECT_EQ(InputPadCount(), 0);
    HeadlessSetJoystickCount(1);
    HeadlessSetJoystickButton(0, 1, 1);
    Pump();
    EXPECT_EQ(ReadPadState(1), 0x20);
    EXPECT_EQ(InputPadCount(), 1);
    HeadlessSetJoystickCount(0);
    Pump();
    EXPECT_EQ(ReadPadState(1), 0) << "pulled out with the button down: nothing sticks";
    HeadlessSetJoystickCount(1);
    Pump();
}

TEST_F(PadsAndWindow, TheFullscreenKeyTogglesAndTheDraggedSizeIsKept) {
    HeadlessWindowInfo w;
    int cw = 0, ch = 0;
    ASSERT_EQ(GetWindowMode(), 1);
    ASSERT_EQ(GetWindowClientSize(&cw, &ch), 0);
    EXPECT_EQ(cw, 512);
    EXPECT_EQ(ch, 512);

    HeadlessResizeWindow(700, 600);
    Pump();
    ASSERT_EQ(GetWindowClientSize(&cw, &ch), 0);
    EXPECT_EQ(cw, 700);
    EXPECT_EQ(ch, 600);

    HeadlessPressFullscreenKey();
    Pump();
    HeadlessGetWindow(&w);
    EXPECT_EQ(GetWindowMode(), 0);
    EXPECT_EQ(w.fullscreen, 1);
    EXPECT_EQ(w.cursorVisible, 0);
    ASSERT_EQ(GetWindowClientSize(&cw, &ch), 0);
    EXPECT_EQ(cw, 700) << "the windowed size is remembered while full screen";

    HeadlessPressFullscreenKey();
    Pump();
    HeadlessGetWindow(&w);
    EXPECT_EQ(GetWindowMode(), 1);
    EXPECT_EQ(w.fullscreen, 0);
    EXPECT_EQ(w.cursorVisible, 1);
    EXPECT_EQ(w.clientWidth, 700);
    EXPECT_EQ(w.clientHeight, 600);
    EXPECT_EQ(w.x, (1024 - 700) / 2);

    // The engine's own call (the command line's --fullscreen) goes the same way.
    EXPECT_EQ(ChangeWindowMode(0), 0);
    HeadlessGetWindow(&w);
    EXPECT_EQ(w.fullscreen, 1);
    EXPECT_EQ(ChangeWindowMode(1), 0);
    SetWindowScale(2.0, -1.0);
    HeadlessGetWindow(&w);
    EXPECT_EQ(w.clientWidth, 512);
    EXPECT_EQ(PresentFrame(), 0);
}

}  // namespace
