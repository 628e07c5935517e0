// Japanese text at the game's size: kana and kanji drawn dot for dot from a
// face made for 8 pixels, so look-alike characters stay apart; Latin
// letters keep the main face.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/platform/glyph.h"

namespace {

bool SmallFaceInstalled() {
    FILE* p = popen("fc-list MisakiGothic family 2>/dev/null", "r");
    if (!p) return false;
    char buf[256];
    bool any = fgets(buf, sizeof buf, p) != nullptr;
    pclose(p);
    return any;
}

struct Glyph {
    GlyphBitmap box{};
    std::vector<uint8_t> bits;
    int Ink() const {
        int n = 0;
        for (uint8_t b : bits)
            for (int k = 0; k < 8; ++k) n += (b >> k) & 1;
        return n;
    }
    bool operator==(const Glyph& o) const {
        return box.boxWidth == o.box.boxWidth && box.boxHeight == o.box.boxHeight && box.originX == o.box.originX &&
               box.originY == o.box.originY && bits == o.bits;
    }
};

Glyph Render(int font, uint32_t cp) {
    Glyph g;
    g.bits.resize(256);
    EXPECT_EQ(GlyphRender(font, cp, &g.box, g.bits.data(), (int)g.bits.size()), 0) << cp;
    g.bits.resize((size_t)g.box.pitch * (size_t)g.box.boxHeight);
    return g;
}

struct SmallJapanese : ::testing::Test {
    int font = -1;
    void SetUp() override {
        if (!SmallFaceInstalled()) GTEST_SKIP() << "fonts-misaki is not installed (scripts/install-deps.sh)";
        GlyphFontRequest r{"ＭＳ Ｐゴシック", 9, 100, 0, GlyphCharSetShiftJis};
        font = GlyphOpenFont(&r);
        ASSERT_GE(font, 0);
    }
    void TearDown() override {
        if (font >= 0) GlyphCloseFont(font);
    }
};

TEST_F(SmallJapanese, LookAlikesStayApartOnAnEightDotGrid) {
    // Pairs that merge into one blot when outlines are shrunk to 8 pixels.
    const uint32_t pairs[][2] = {
        {0x672B, 0x672A},  // 末 未
        {0x571F, 0x58EB},  // 土 士
        {0x306C, 0x3081},  // ぬ め
        {0x306D, 0x308C},  // ね れ
        {0x30B7, 0x30C4},  // シ ツ
        {0x30BD, 0x30F3},  // ソ ン
        {0x967A, 0x691C},  // 険 検
        {0x8A71, 0x8A9E},  // 話 語
    };
    for (auto& p : pairs) {
        Glyph a = Render(font, p[0]), b = Render(font, p[1]);
        EXPECT_FALSE(a == b) << std::hex << p[0] << " and " << p[1] << " look the same";
        for (const Glyph* g : {&a, &b}) {
            EXPECT_LE(g->box.boxWidth, 8);
            EXPECT_LE(g->box.boxHeight, 8);
            EXPECT_EQ(g->box.advance, 8);  // full width on the grid
            // A dense kanji keeps open space between its strokes.
            EXPECT_LT(g->Ink(), 64 * 3 / 4) << std::hex << p[0];
        }
    }
}

TEST_F(SmallJapanese, StoryLineSitsOnTheBaselineAndLatinKeepsTheMainFace) {
    GlyphFontMetrics m;
    ASSERT_EQ(GlyphGetFontMetrics(font, &m), 0);
    EXPECT_STREQ(m.family, "IPAPGothic");
    EXPECT_EQ(m.height, 9);
    // Kana and kanji reach from the top of the cell to at most one row
    // below the baseline.
    for (uint32_t cp : {0x3053u, 0x5192u, 0x967Au, 0x5BB6u, 0x3002u}) {
        Glyph g = Render(font, cp);
        EXPECT_LE(g.box.originY, m.ascent) << std::hex << cp;
        EXPECT_GE(g.box.originY - g.box.boxHeight, -m.descent) << std::hex << cp;
    }
    // A larger size, or a Latin letter, is the main face's own outline.
    GlyphFontRequest big{"ＭＳ Ｐゴシック", 16, 100, 0, GlyphCharSetShiftJis};
    int large = GlyphOpenFont(&big);
    ASSERT_GE(large, 0);
    EXPECT_GT(Render(large, 0x5192).box.boxHeight, 8);
    GlyphCloseFont(large);
    GlyphFontRequest plain{"IPAPGothic", 9, 100, 0, GlyphCharSetShiftJis};
    int same = GlyphOpenFont(&plain);
    ASSERT_GE(same, 0);
    EXPECT_TRUE(Render(font, 'Q') == Render(same, 'Q'));
    GlyphCloseFont(same);
}

}  // namespace
