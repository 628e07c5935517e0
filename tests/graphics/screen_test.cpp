// Screen mode, clip, clearing, colours, presenting and its pacing.
#include <cstring>

#include "engine/core/core.h"
#include "tests/graphics/graphics_env.h"

namespace {

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessSetRefreshRate(60);
        ASSERT_EQ(SetDrawTarget(BackScreen), 0);
        ASSERT_EQ(SetDrawClip(0, 0, 256, 256), 0);
        SetWaitVSync(1);
    }
};

TEST_F(ScreenTest, StartsWithTheRequestedMemoryScreen) {
    EXPECT_EQ(g_Screen.started, 1);
    EXPECT_EQ(g_Screen.width, 256);
    EXPECT_EQ(g_Screen.height, 256);
    EXPECT_EQ(g_Screen.surfaceFormat, SurfaceR5G6B5);
    EXPECT_EQ(g_Screen.format.redMask, 0xF800u);
    EXPECT_EQ(g_Screen.format.greenMask, 0x07E0u);
    EXPECT_EQ(g_Screen.format.blueMask, 0x001Fu);
    EXPECT_EQ(g_Screen.format.noneMask, 0u);
    EXPECT_EQ(GetColorFormat(ColorFormatX1R5G5B5)->noneMask, 0x8000u);
    EXPECT_EQ(GetColorFormat(ColorFormatX8R8G8B8)->noneMask, 0xFF000000u);
}

TEST_F(ScreenTest, PackColorTakesTheTopBitsOfTheLowBytes) {
    struct {
        int r, g, b, packed;
    } cases[] = {
        {255, 255, 255, 0xFFFF}, {8, 4, 8, 0x0821},     {7, 3, 7, 0},
        {224, 224, 224, 0xE71C}, {255 + 256, 0, 0, 0xF800}, {0, -1, 0, 0x07E0},
    };
    for (auto& k : cases)
        EXPECT_EQ(PackColor(k.r, k.g, k.b), k.packed) << k.r << "," << k.g << "," << k.b;
}

TEST_F(ScreenTest, SetScreenModeRefusesBadModesAndKeepsTheOldOne) {
    EXPECT_EQ(SetScreenMode(256, 256, 24, 60), -1);
    EXPECT_EQ(SetScreenMode(0, 256, 16, 60), -1);
    EXPECT_EQ(SetScreenMode(256, 0, 16, 60), -1);
    EXPECT_EQ(g_Screen.requestBits, 16);
    EXPECT_EQ(g_Screen.width, 256);
    EXPECT_EQ(g_Screen.colourBits, 16);
}

TEST_F(ScreenTest, SetDrawClipSwapsAndClamps) {
    struct {
        int x1, y1, x2, y2;
        int l, t, r, b, empty;
    } cases[] = {
        {300, 300, -5, -5, 0, 0, 256, 256, 0},
        {0, 0, 256, 256, 0, 0, 256, 256, 0},
        {10, 10, 10, 50, 10, 10, 10, 50, 1},
        {40, 30, 20, 60, 20, 30, 40, 60, 0},
        {-20, 5, -10, 9, 0, 5, 0, 9, 1},  // wholly left of the screen
    };
    for (auto& k : cases) {
        EXPECT_EQ(SetDrawClip(k.x1, k.y1, k.x2, k.y2), 0);
        EXPECT_EQ(g_Screen.clipLeft, k.l);
        EXPECT_EQ(g_Screen.clipTop, k.t);
        EXPECT_EQ(g_Screen.clipRight, k.r);
        EXPECT_EQ(g_Screen.clipBottom, k.b);
        EXPECT_EQ(g_Screen.nothingDrawable, k.empty) << k.x1 << "," << k.y1;
    }
}

TEST_F(ScreenTest, DrawTargetChangeKeepsTheClipForTheSameSize) {
    SetDrawClip(10, 20, 30, 40);
    EXPECT_EQ(SetDrawTarget(FrontScreen), 0);
    EXPECT_EQ(SetDrawTarget(BackScreen), 0);
    EXPECT_EQ(g_Screen.clipLeft, 10);
    EXPECT_EQ(g_Screen.clipBottom, 40);
    EXPECT_EQ(SetDrawTarget(-6), -1);
    EXPECT_EQ(SetDrawTarget(0x08000000 | 0x7000), -1);
    EXPECT_EQ(g_Screen.drawTarget, BackScreen);
}

TEST_F(ScreenTest, ClearScreenFillsTheWholeTargetDespiteTheClip) {
    FillScreen(0x5555);
    SetDrawClip(10, 10, 20, 20);
    EXPECT_EQ(ClearScreen(), 0);
    for (int i = 0; i < 256 * 256; i++) ASSERT_EQ(g_Screen.pixels[i], 0) << i;
    // Even with an empty clip.
    FillScreen(0x5555);
    SetDrawClip(10, 10, 10, 20);
    EXPECT_EQ(ClearScreen(), 0);
    EXPECT_EQ(ScreenAt(255, 255), 0);
}

TEST_F(ScreenTest, PresentFrameShowsTheBackScreen) {
    FillScreen(0);
    g_Screen.pixels[3 * 256 + 7] = 0xF800;
    int before = HeadlessPresentCount();
    EXPECT_EQ(PresentFrame(), 0);
    EXPECT_EQ(HeadlessPresentCount(), before + 1);
    int w, h, pitch, format;
    const uint16_t* frame = HeadlessLastFrame(&w, &h, &pitch, &format);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256);
    EXPECT_EQ(format, PlatformPixelR5G6B5);
    EXPECT_EQ(frame[3 * pitch + 7], 0xF800);
    EXPECT_EQ(frame[3 * pitch + 8], 0);

    // Once the program is to quit, presenting refuses.
    g_Window.quit = 1;
    EXPECT_EQ(PresentFrame(), -1);
    g_Window.quit = 0;
    EXPECT_EQ(HeadlessPresentCount(), before + 1);
}

TEST_F(ScreenTest, MeasuresTheDisplayPeriod) {
    EXPECT_NEAR((double)g_Screen.framePeriod, 16667.0, 30.0);
    HeadlessSetRefreshRate(100);
    EXPECT_NEAR((double)MeasureFramePeriod(), 10000.0, 30.0);
}

// Blanks every millisecond show when the wait decides to block.
TEST_F(ScreenTest, WaitSleepsUntilThreeMillisecondsBeforeTheBlank) {
    HeadlessSetRefreshRate(1000);
    long long saved = g_Screen.framePeriod;

    // Sleeping goes in 1 ms steps, so blocking starts within 1 ms after the
    // threshold, and the blank comes within 1 ms after that.
    g_Screen.framePeriod = 16667;  // 60 Hz: block from 13.667 ms on
    WaitForVerticalBlank();
    long long start = g_Screen.lastBlankTime;
    WaitForVerticalBlank();
    long long waited = g_Screen.lastBlankTime - start;
    EXPECT_GE(waited, 13667);
    EXPECT_LE(waited, 15667);

    g_Screen.framePeriod = 0;  // unknown: block from 4 ms on
    WaitForVerticalBlank();
    start = g_Screen.lastBlankTime;
    WaitForVerticalBlank();
    waited = g_Screen.lastBlankTime - start;
    EXPECT_GE(waited, 4000);
    EXPECT_LE(waited, 6000);

    // Already past the threshold: straight to the next blank.
    WaitForVerticalBlank();
    start = g_Screen.lastBlankTime;
    HeadlessAdvanceMicroseconds(6500);
    WaitForVerticalBlank();
    waited = g_Screen.lastBlankTime - start;
    EXPECT_GE(waited, 6500);
    EXPECT_LE(waited, 7100);

    g_Screen.framePeriod = saved;
}

TEST_F(ScreenTest, PresentingPacesToTheDisplay) {
    PresentFrame();
    long long start = EngineMicroseconds();
    for (int i = 0; i < 60; i++) ASSERT_EQ(PresentFrame(), 0);
    long long elapsed = EngineMicroseconds() - start;
    EXPECT_NEAR((double)elapsed, 1000000.0, 2000.0);

    // Not waiting: no time passes beyond the polls.
    SetWaitVSync(0);
    start = EngineMicroseconds();
    for (int i = 0; i < 10; i++) ASSERT_EQ(PresentFrame(), 0);
    EXPECT_LT(EngineMicroseconds() - start, 1000);
    SetWaitVSync(1);
}

}  // namespace
