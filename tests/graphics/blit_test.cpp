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
        {30, 40, 16, 0, 16, 16, 0, {0, 0, 256, 256}},   // a whole tile
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

// A keyed picture: each row alternates opaque and keyed runs of lengths
// 1 to 9 from a different start, so that span ends fall everywhere a
// window or clip edge can; one row is wholly opaque and one wholly keyed.
class KeyedBlitTest : public ::testing::Test {
protected:
    static constexpr int W = 160, H = 12;

    void SetUp() override {
        ASSERT_EQ(SetDrawTarget(BackScreen), 0);
        ASSERT_EQ(SetDrawClip(0, 0, 256, 256), 0);
        std::vector<uint8_t> rgba(W * H * 4);
        for (int r = 0; r < H; r++) {
            int c = 0, length = 1 + r % 3;
            bool opaque = r % 2 == 0;
            while (c < W) {
                for (int k = 0; k < length && c < W; k++, c++) {
                    bool o = r == 10 ? true : r == 11 ? false : opaque;
                    if (o) PictureColour(c % 64, r, &rgba[(r * W + c) * 4]);
                    // keyed pixels stay black: the key
                }
                length = length % 9 + 1;
                opaque = !opaque;
            }
            for (int i = 0; i < W; i++) rgba[(r * W + i) * 4 + 3] = 255;
        }
        picture_ = MakeImage(W, H, rgba.data(), 0);
        ASSERT_GE(picture_, 0);
        record_ = GetImage(picture_);
    }
    void TearDown() override {
        DeleteImage(picture_);
        SetDrawTarget(BackScreen);
        SetDrawClip(0, 0, 256, 256);
    }

    uint16_t Stored(int c, int r) const { return record_->pixels[r * W + c]; }

    // Source pixel of target (tx, ty) for a draw, or false outside the
    // destination, the clip or the picture.
    bool SourceOf(int tx, int ty, const int* k, const int* clip, int* c, int* r) const {
        int x = k[0], y = k[1], srcX = k[2], srcY = k[3], width = k[4], height = k[5], mirror = k[6];
        if (tx < clip[0] || tx >= clip[2] || ty < clip[1] || ty >= clip[3]) return false;
        if (tx < x || tx >= x + width || ty < y || ty >= y + height) return false;
        *c = mirror ? srcX + width - 1 - (tx - x) : srcX + (tx - x);
        *r = srcY + (ty - y);
        return *c >= 0 && *c < W && *r >= 0 && *r < H;
    }

    int picture_ = -1;
    ImageRecord* record_ = nullptr;
};

// x, y, srcX, srcY, width, height, mirror, and the clip.
struct KeyedCase {
    int draw[7];
    int clip[4];
};
const KeyedCase kKeyedCases[] = {
    {{40, 20, 16, 0, 16, 12, 0}, {0, 0, 256, 256}},     // a tile-sized window
    {{-5, 20, 16, 0, 16, 12, 0}, {0, 0, 256, 256}},     // cut by the screen edge
    {{40, 20, 33, 0, 5, 12, 0}, {0, 0, 256, 256}},      // narrower than eight
    {{40, 20, 50, 0, 9, 12, 0}, {0, 0, 256, 256}},      // eight and one
    {{40, 20, 7, 0, 100, 12, 0}, {0, 0, 256, 256}},     // wide: span by span
    {{40, 20, 7, 0, 100, 12, 0}, {53, 22, 121, 29}},    // clip edges inside spans
    {{10, 20, 0, 0, 160, 12, 0}, {0, 0, 256, 256}},     // the whole picture
    {{120, 20, 140, -3, 40, 16, 0}, {0, 0, 256, 256}},  // partly outside it
    {{40, 20, 61, 0, 64, 12, 0}, {47, 0, 90, 256}},     // the widest narrow one
    {{250, 250, 0, 0, 70, 12, 0}, {0, 0, 256, 256}},    // the corner
};

TEST_F(KeyedBlitTest, SpansAndMasksMatchThePixelRules) {
    for (int mirror = 0; mirror < 2; mirror++)
        for (int transparent = 0; transparent < 2; transparent++)
            for (const KeyedCase& base : kKeyedCases) {
                KeyedCase k = base;
                k.draw[6] = mirror;
                SCOPED_TRACE(::testing::Message()
                             << "draw at " << k.draw[0] << "," << k.draw[1] << " src " << k.draw[2] << ","
                             << k.draw[3] << " size " << k.draw[4] << "x" << k.draw[5] << " mirror " << mirror
                             << " transparent " << transparent << " clip " << k.clip[0] << "," << k.clip[1]
                             << "," << k.clip[2] << "," << k.clip[3]);
                FillScreen(kBackground);
                SetDrawClip(k.clip[0], k.clip[1], k.clip[2], k.clip[3]);
                ASSERT_EQ(DrawImageRect(k.draw[0], k.draw[1], k.draw[2], k.draw[3], k.draw[4], k.draw[5],
                                        picture_, transparent, mirror),
                          0);
                int mismatches = 0;
                for (int ty = 0; ty < 256; ty++)
                    for (int tx = 0; tx < 256; tx++) {
                        int c, r;
                        uint16_t expected = kBackground;
                        if (SourceOf(tx, ty, k.draw, k.clip, &c, &r) && (!transparent || (Stored(c, r) & 0x8000)))
                            expected = ShownPixel(Stored(c, r));
                        if (ScreenAt(tx, ty) != expected && mismatches++ < 3)
                            ADD_FAILURE() << "pixel " << tx << "," << ty << " is " << ScreenAt(tx, ty)
                                          << ", expected " << expected;
                    }
                EXPECT_EQ(mismatches, 0);
            }
}

TEST_F(KeyedBlitTest, OntoAnotherPictureKeptAsStored) {
    int canvas = CreateEmptyImage(200, 16, 0, 1);
    ASSERT_GE(canvas, 0);
    ImageRecord* target = GetImage(canvas);
    const int clip[4] = {0, 0, 200, 16};
    for (int mirror = 0; mirror < 2; mirror++)
        for (int transparent = 0; transparent < 2; transparent++)
            for (int width : {16, 5, 9, 100, W}) {
                int draw[7] = {-3, 2, 4, 0, width, 12, mirror};
                SCOPED_TRACE(::testing::Message() << "width " << width << " mirror " << mirror
                                                  << " transparent " << transparent);
                for (int i = 0; i < 200 * 16; i++) target->pixels[i] = 0x2345;
                ASSERT_EQ(SetDrawTarget(canvas), 0);
                ASSERT_EQ(DrawImageRect(draw[0], draw[1], draw[2], draw[3], draw[4], draw[5], picture_,
                                        transparent, mirror),
                          0);
                int mismatches = 0;
                for (int ty = 0; ty < 16; ty++)
                    for (int tx = 0; tx < 200; tx++) {
                        int c, r;
                        uint16_t expected = 0x2345;
                        if (SourceOf(tx, ty, draw, clip, &c, &r)) {
                            // Keyed: opaque pixels as stored. Unkeyed: every
                            // pixel, made opaque.
                            if (!transparent) expected = Stored(c, r) | 0x8000;
                            else if (Stored(c, r) & 0x8000) expected = Stored(c, r);
                        }
                        uint16_t got = target->pixels[ty * 200 + tx];
                        if (got != expected && mismatches++ < 3)
                            ADD_FAILURE() << "pixel " << tx << "," << ty << " is " << got << ", expected " << expected;
                    }
                EXPECT_EQ(mismatches, 0);
            }
    ASSERT_EQ(SetDrawTarget(BackScreen), 0);
    DeleteImage(canvas);
}

TEST_F(KeyedBlitTest, APictureDrawnIntoIsShownAsItIsNow) {
    // Wider than the masked windows, so that its spans are used too.
    constexpr int CW = 100, CH = 12;
    int canvas = CreateEmptyImage(CW, CH, 0, 1);
    ASSERT_GE(canvas, 0);
    ImageRecord* self = GetImage(canvas);
    auto expectShown = [&](const char* when) {
        for (int width : {CW, 40, 9}) {  // span by span, masked, masked
            FillScreen(kBackground);
            ASSERT_EQ(DrawImageRect(0, 0, 0, 0, width, CH, canvas, 1, 0), 0);
            for (int r = 0; r < CH; r++)
                for (int c = 0; c < width; c++) {
                    uint16_t p = self->pixels[r * CW + c];
                    ASSERT_EQ(ScreenAt(c, r), (p & 0x8000) ? ShownPixel(p) : kBackground)
                        << when << ": " << c << "," << r << " width " << width;
                }
        }
    };
    expectShown("empty");

    // Drawn into after it was shown: keyed, then unkeyed (all opaque).
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    ASSERT_EQ(DrawImageRect(0, 0, 30, 0, CW, CH, picture_, 1, 0), 0);
    ASSERT_EQ(SetDrawTarget(BackScreen), 0);
    expectShown("keyed into");
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    ASSERT_EQ(DrawImageRect(0, 0, 0, 0, CW, CH, picture_, 0, 0), 0);
    ASSERT_EQ(SetDrawTarget(BackScreen), 0);
    expectShown("opaque");

    // Cleared: keyed throughout again.
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    ASSERT_EQ(ClearScreen(), 0);
    ASSERT_EQ(SetDrawTarget(BackScreen), 0);
    expectShown("cleared");

    // Drawn onto itself one row down, keyed: each row is read after the
    // row above it was written, as a plain copy top to bottom does.
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    ASSERT_EQ(DrawImageRect(0, 0, 0, 0, CW, CH, picture_, 1, 0), 0);
    std::vector<uint16_t> expected(self->pixels, self->pixels + CW * CH);
    for (int r = 1; r < CH; r++)
        for (int c = 0; c < CW; c++)
            if (expected[(r - 1) * CW + c] & 0x8000) expected[r * CW + c] = expected[(r - 1) * CW + c];
    ASSERT_EQ(DrawImageRect(0, 1, 0, 0, CW, CH, canvas, 1, 0), 0);
    EXPECT_EQ(std::vector<uint16_t>(self->pixels, self->pixels + CW * CH), expected);
    ASSERT_EQ(SetDrawTarget(BackScreen), 0);
    expectShown("drawn onto itself");
    DeleteImage(canvas);
}

TEST_F(KeyedBlitTest, ALaterKeyOrA32BitScreenDrawsTheSame) {
    auto drawAll = [&] {
        FillScreen(kBackground);
        for (const KeyedCase& k : kKeyedCases) {
            SetDrawClip(k.clip[0], k.clip[1], k.clip[2], k.clip[3]);
            DrawImageRect(k.draw[0], k.draw[1] + 16 * (&k - kKeyedCases), k.draw[2], k.draw[3], k.draw[4],
                          k.draw[5], picture_, 1, 0);
        }
        SetDrawClip(0, 0, 256, 256);
        return std::vector<uint16_t>(g_Screen.pixels, g_Screen.pixels + 256 * 256);
    };
    const std::vector<uint16_t> before = drawAll();

    // The key of a picture is the one it was made with.
    ASSERT_EQ(SetTransparentColor(255, 255, 255), 0);
    EXPECT_EQ(drawAll(), before);
    ASSERT_EQ(SetTransparentColor(0, 0, 0), 0);

    // A 32-bit screen keeps a 16-bit memory image: the same pixels.
    ASSERT_EQ(SetScreenMode(256, 256, 32, 60), 0);
    EXPECT_EQ(g_Screen.colourBits, 32);
    EXPECT_EQ(drawAll(), before);
    ASSERT_EQ(SetScreenMode(256, 256, 16, 60), 0);
}

}  // namespace
