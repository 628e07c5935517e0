// Rectangle drawing: clip intersection, mirroring, transparency, alpha.
#include <vector>

#include "tests/graphics/graphics_env.h"

namespace {

const ::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

const uint16_t kBackground = 0x1234;

// 8-bit colour of picture pixel (c, r): every pixel of a 64 x 16 picture
// differs from every other and none is black.
void PictureColour(int c, int r, uint8_t* rgba) {
    rgba[0] = (uint8_t)((c & 31) << 3);
    rgba[1] = (uint8_t)((((c >> 5) << 4) | r) << 3);
    rgba[2] = 0x80;
    rgba[3] = 255;
}

// What the 16-bit screen shows for an 8-bit colour: 5/6/5 top bits.
uint16_t ScreenColour(int r, int g, int b) {
    return (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// The stored 15-bit colour widened to 8 bits and put on the screen.
uint16_t ShownPixel(uint16_t stored) {
    int r5 = (stored >> 10) & 31, g5 = (stored >> 5) & 31, b5 = stored & 31;
    return ScreenColour((r5 << 3) | (r5 >> 2), (g5 << 3) | (g5 >> 2), (b5 << 3) | (b5 >> 2));
}

class BlitTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SetDrawTarget(BackScreen), 0);
        ASSERT_EQ(SetDrawClip(0, 0, 256, 256), 0);
        FillScreen(kBackground);
        std::vector<uint8_t> rgba(64 * 16 * 4);
        for (int r = 0; r < 16; r++)
            for (int c = 0; c < 64; c++) PictureColour(c, r, &rgba[(r * 64 + c) * 4]);
        picture_ = MakeImage(64, 16, rgba.data(), 0);
        ASSERT_GE(picture_, 0);
        record_ = GetImage(picture_);
    }
    void TearDown() override { DeleteImage(picture_); }

    uint16_t Source(int c, int r) const { return ShownPixel(record_->pixels[r * 64 + c]); }

    // The screen after one draw, pixel by pixel from the rules: inside the
    // clip and the destination rectangle, a target column shows source
    // column srcX + (tx - x), or mirrored srcX + width - 1 - (tx - x),
    // when that column and row lie inside the picture.
    void ExpectScreen(int x, int y, int srcX, int srcY, int width, int height, int mirror,
                      int clipL, int clipT, int clipR, int clipB) {
        int mismatches = 0;
        for (int ty = 0; ty < 256; ty++)
            for (int tx = 0; tx < 256; tx++) {
                uint16_t expected = kBackground;
                bool inside = tx >= clipL && tx < clipR && ty >= clipT && ty < clipB &&
                              tx >= x && tx < x + width && ty >= y && ty < y + height;
                if (inside) {
                    int c = mirror ? srcX + width - 1 - (tx - x) : srcX + (tx - x);
                    int r = srcY + (ty - y);
                    if (c >= 0 && c < 64 && r >= 0 && r < 16) expected = Source(c, r);
                }
                if (ScreenAt(tx, ty) != expected && mismatches++ < 5)
                    ADD_FAILURE() << "pixel " << tx << "," << ty << " is " << ScreenAt(tx, ty)
                                  << ", expected " << expected;
            }
        EXPECT_EQ(mismatches, 0);
    }

    int picture_ = -1;
    ImageRecord* record_ = nullptr;
};

TEST_F(BlitTest, PlacesClipsAndMirrorsLikeTheRules) {
    struct Case {
        int x, y, srcX, srcY, width, height, mirror;
        int clip[4];
    } cases[] = {
        {-8, 0, 0, 0, 16, 16, 0, {0, 0, 256, 256}},     // left edge: columns 8 ... 15
        {250, 250, 0, 0, 16, 16, 0, {0, 0, 256, 256}},  // corner: 6 x 6 left
        {10, 10, 0, 0, 0, 16, 0, {0, 0, 256, 256}},     // width 0
        {10, 10, 0, 0, 16, -3, 0, {0, 0, 256, 256}},    // negative height
        {100, 50, 16, 0, 16, 16, 1, {0, 0, 256, 256}},  // mirrored source rectangle
        {10, 10, 56, 8, 16, 16, 0, {0, 0, 256, 256}},   // source partly outside
        {10, 10, -4, -2, 16, 16, 1, {0, 0, 256, 256}},  // mirrored, outside on the left
        {20, 30, 0, 0, 64, 16, 0, {30, 35, 60, 40}},    // inner clip
        {20, 30, 3, 1, 40, 12, 1, {30, 35, 60, 40}},    // inner clip, mirrored
        {-70, 0, 0, 0, 64, 16, 0, {0, 0, 256, 256}},    // wholly off screen
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << "draw at " << k.x << "," << k.y << " src " << k.srcX
                                          << "," << k.srcY << " size " << k.width << "x"
                                          << k.height << " mirror " << k.mirror);
        FillScreen(kBackground);
        SetDrawClip(k.clip[0], k.clip[1], k.clip[2], k.clip[3]);
        EXPECT_EQ(DrawImageRect(k.x, k.y, k.srcX, k.srcY, k.width, k.height, picture_, 1, k.mirror),
                  0);
        ExpectScreen(k.x, k.y, k.srcX, k.srcY, k.width, k.height, k.mirror, k.clip[0], k.clip[1],
                     k.clip[2], k.clip[3]);
        // The call's own clip never outlives it.
        EXPECT_EQ(g_Screen.clipLeft, k.clip[0]);
        EXPECT_EQ(g_Screen.clipTop, k.clip[1]);
        EXPECT_EQ(g_Screen.clipRight, k.clip[2]);
        EXPECT_EQ(g_Screen.clipBottom, k.clip[3]);
    }
}

TEST_F(BlitTest, EdgeCasesLandWhereExpected) {
    // Source columns 8 ... 15 at target columns 0 ... 7.
    DrawImageRect(-8, 0, 0, 0, 16, 16, picture_, 1, 0);
    EXPECT_EQ(ScreenAt(0, 0), Source(8, 0));
    EXPECT_EQ(ScreenAt(7, 15), Source(15, 15));
    EXPECT_EQ(ScreenAt(8, 0), kBackground);

    // Only the top-left 6 x 6 of a rectangle at the corner.
    FillScreen(kBackground);
    DrawImageRect(250, 250, 0, 0, 16, 16, picture_, 1, 0);
    EXPECT_EQ(ScreenAt(250, 250), Source(0, 0));
    EXPECT_EQ(ScreenAt(255, 255), Source(5, 5));
    EXPECT_EQ(ScreenAt(249, 250), kBackground);

    // Mirrored: source column 16 at 115, column 31 at 100.
    FillScreen(kBackground);
    DrawImageRect(100, 50, 16, 0, 16, 16, picture_, 1, 1);
    EXPECT_EQ(ScreenAt(115, 50), Source(16, 0));
    EXPECT_EQ(ScreenAt(100, 50), Source(31, 0));
    EXPECT_EQ(ScreenAt(100, 65), Source(31, 15));
    EXPECT_EQ(ScreenAt(99, 50), kBackground);
    EXPECT_EQ(ScreenAt(116, 50), kBackground);
}

TEST_F(BlitTest, InvalidHandlesAndEmptyClip) {
    SetDrawClip(10, 20, 200, 210);
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 16, 16, -1, 1, 1), -1);
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 16, 16, -1, 1, 0), -1);
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 16, 16, picture_ + 1, 1, 0), -1);  // wrong slot
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 16, 16, picture_ ^ 0x00010000, 1, 0), -1);  // check
    // Later draws are clipped as before the failed ones.
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 64, 16, picture_, 1, 0), 0);
    ExpectScreen(0, 0, 0, 0, 64, 16, 0, 10, 20, 200, 210);

    // An empty clip makes drawing a no-op until the next clip.
    FillScreen(kBackground);
    SetDrawClip(10, 10, 10, 50);
    EXPECT_EQ(g_Screen.nothingDrawable, 1);
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 64, 16, picture_, 1, 0), 0);
    EXPECT_EQ(ScreenAt(10, 10), kBackground);
    SetDrawClip(0, 0, 256, 256);
    EXPECT_EQ(g_Screen.nothingDrawable, 0);
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 64, 16, picture_, 1, 0), 0);
    EXPECT_EQ(ScreenAt(10, 10), Source(10, 10));
}

TEST_F(BlitTest, TransparentKeyLeavesOutExactKeyPixelsOnly) {
    ASSERT_EQ(SetTransparentColor(0, 0, 0), 0);
    // Black, near black (4, 2, 4), and a colour.
    const uint8_t rgba[] = {0, 0, 0, 255, 4, 2, 4, 255, 200, 100, 50, 255};
    int sprite = MakeImage(3, 1, rgba, 0);
    ASSERT_GE(sprite, 0);
    // Stored as 15-bit colour: green keeps 5 bits on the way.
    const uint16_t colour = ShownPixel((200 >> 3) << 10 | (100 >> 3) << 5 | (50 >> 3));
    EXPECT_EQ(DrawImageRect(10, 10, 0, 0, 3, 1, sprite, 1, 0), 0);
    EXPECT_EQ(ScreenAt(10, 10), kBackground);  // the key: left out
    EXPECT_EQ(ScreenAt(11, 10), 0x0000);       // opaque, reduces to black
    EXPECT_EQ(ScreenAt(12, 10), colour);
    // Mirrored the same pixels are left out.
    EXPECT_EQ(DrawImageRect(20, 10, 0, 0, 3, 1, sprite, 1, 1), 0);
    EXPECT_EQ(ScreenAt(20, 10), colour);
    EXPECT_EQ(ScreenAt(21, 10), 0x0000);
    EXPECT_EQ(ScreenAt(22, 10), kBackground);
    // Without the transparent flag the key pixel is drawn in its colour.
    EXPECT_EQ(DrawImageRect(30, 10, 0, 0, 3, 1, sprite, 0, 0), 0);
    EXPECT_EQ(ScreenAt(30, 10), 0x0000);
    DeleteImage(sprite);

    // The key is taken when an image is made: a later key changes nothing.
    SetTransparentColor(200, 100, 50);
    sprite = MakeImage(3, 1, rgba, 0);
    SetTransparentColor(0, 0, 0);
    FillScreen(kBackground);
    DrawImageRect(10, 10, 0, 0, 3, 1, sprite, 1, 0);
    EXPECT_EQ(ScreenAt(10, 10), 0x0000);
    EXPECT_EQ(ScreenAt(12, 10), kBackground);
    DeleteImage(sprite);
}

TEST_F(BlitTest, OwnAlphaBlendsWithTheTarget) {
    // Alpha 255, 0 and about a half (0x88 keeps 8 of 15 in 4 bits).
    const uint8_t rgba[] = {255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 0x88};
    int sprite = MakeImage(3, 1, rgba, 1);
    ASSERT_GE(sprite, 0);
    FillScreen(0x0000);
    EXPECT_EQ(DrawImageRect(0, 0, 0, 0, 3, 1, sprite, 1, 0), 0);
    EXPECT_EQ(ScreenAt(0, 0), 0xFFFF);
    EXPECT_EQ(ScreenAt(1, 0), 0x0000);
    // 255 x 136 / 255 = 136: red 136 >> 3, green 136 >> 2, blue 136 >> 3.
    EXPECT_EQ(ScreenAt(2, 0), ScreenColour(136, 136, 136));
    DeleteImage(sprite);
}

TEST_F(BlitTest, DrawsIntoDrawableImages) {
    int canvas = CreateEmptyImage(32, 8, 0, 1);
    int plain = CreateEmptyImage(32, 8, 0, 0);
    ASSERT_GE(canvas, 0);
    EXPECT_EQ(SetDrawTarget(plain), -1);
    EXPECT_EQ(SetDrawTarget(-1), -1);
    EXPECT_EQ(SetDrawTarget(canvas), 0);
    // A target of another size brings the whole-target clip.
    EXPECT_EQ(g_Screen.clipRight, 32);
    EXPECT_EQ(g_Screen.clipBottom, 8);
    EXPECT_EQ(DrawImageRect(-4, 0, 0, 0, 64, 16, picture_, 1, 0), 0);
    ImageRecord* target = GetImage(canvas);
    EXPECT_EQ(target->pixels[0], record_->pixels[4]);
    EXPECT_EQ(target->pixels[7 * 32 + 31], record_->pixels[7 * 64 + 35]);
    // Clearing an image target leaves it see-through.
    EXPECT_EQ(ClearScreen(), 0);
    EXPECT_EQ(target->pixels[0] & 0x8000, 0);
    // Back to the screen: the whole-screen clip again, the canvas drawable.
    EXPECT_EQ(SetDrawTarget(BackScreen), 0);
    EXPECT_EQ(g_Screen.clipRight, 256);
    target->pixels[0] = 0xFC00;  // opaque red
    EXPECT_EQ(DrawImageRect(5, 5, 0, 0, 1, 1, canvas, 1, 0), 0);
    EXPECT_EQ(ScreenAt(5, 5), 0xF800);
    DeleteImage(canvas);
    DeleteImage(plain);
}

}  // namespace
