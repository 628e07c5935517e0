// The default font, its settings, the glyph cache and string drawing.
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/core/core.h"
#include "engine/font/font.h"
#include "tests/graphics/graphics_env.h"

namespace {

const ::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

const uint16_t kBackground = 0x0000;

std::string LogText() {
    std::ifstream file(LogFilePath(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
    return n;
}

// The game's settings: "ＭＳ Ｐゴシック", size 9, thickness 1, style 0.
void UseGameFont() {
    SetTextFace(ShiftJisText("ＭＳ Ｐゴシック"), -1);
    SetTextSize(9);
    SetTextThickness(1);
    SetTextStyle(0);
}

std::vector<uint16_t> Snapshot() {
    return std::vector<uint16_t>(g_Screen.pixels, g_Screen.pixels + 256 * 256);
}

// Bounding box of the pixels that differ from the background.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int count = 0;
};
Box InkBox() {
    Box box;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            if (ScreenAt(x, y) != kBackground) {
                box.count++;
                if (x < box.left) box.left = x;
                if (x > box.right) box.right = x;
                if (y < box.top) box.top = y;
                if (y > box.bottom) box.bottom = y;
            }
    return box;
}

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SetDrawTarget(BackScreen), 0);
        ASSERT_EQ(SetDrawClip(0, 0, 256, 256), 0);
        FillScreen(kBackground);
        SetTextSize(12);  // a fresh default font with an empty cache
        UseGameFont();
        ASSERT_NE(Font(), nullptr);
    }
    FontRecord* Font() { return GetFont(g_TextSettings.defaultFont); }
};

TEST_F(FontTest, SettersTakeTheirDefaultsForMinusOne) {
    SetTextStyle(3);
    EXPECT_EQ(SetTextStyle(-1), 0);
    EXPECT_EQ(g_TextSettings.params.style, 0);
    EXPECT_EQ(SetTextSize(-1), 0);
    EXPECT_EQ(g_TextSettings.params.size, 16);
    EXPECT_EQ(SetTextThickness(-1), 0);
    EXPECT_EQ(g_TextSettings.params.thickness, 6);
    EXPECT_EQ(SetTextFace(nullptr, -1), 0);
    EXPECT_EQ(g_TextSettings.params.face[0], 0);
    EXPECT_EQ(g_TextSettings.params.charSet, FontCharSetShiftJis);
    // The engine's defaults make a 16-pixel font of the fixed-pitch face.
    FontRecord* font = Font();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->textHeight, 16);
    EXPECT_EQ(font->cellHeight, 16);
    EXPECT_EQ(font->cellWidth % 8, 0);
    EXPECT_GE(font->cellWidth, font->maxCharWidth + 2);
    GlyphFontMetrics metrics;
    ASSERT_EQ(GlyphGetFontMetrics(font->platformFont, &metrics), 0);
    EXPECT_STREQ(metrics.family, "IPAGothic");
}

TEST_F(FontTest, SameSettingsKeepTheFontAndAChangeMakesANewOne) {
    int handle = g_TextSettings.defaultFont;
    FontRecord* font = Font();
    DrawTextString(0, 0, "AB", 0xFFFF, 0);
    int rasterised = font->rasterisedCount;
    UseGameFont();
    DrawTextString(0, 0, "AB", 0xFFFF, 0);
    EXPECT_EQ(g_TextSettings.defaultFont, handle);
    EXPECT_EQ(Font()->rasterisedCount, rasterised);  // drawn from the cache

    SetTextSize(10);
    EXPECT_NE(g_TextSettings.defaultFont, handle);
    EXPECT_EQ(GetFont(handle), nullptr);  // the old handle is dead
    EXPECT_EQ(Font()->textHeight, 10);
}

TEST_F(FontTest, HandlesCarryKindCheckAndSlot) {
    int a = CreateFontToHandle("", 12, 1, 0, -1, -1, 0);
    int b = CreateFontToHandle("", 12, 1, 0, -1, -1, 0);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ((a >> 27) & 0xF, 4);
    EXPECT_EQ(a & 0xFFFF0000 & ~0x07FF0000, 0x20000000);
    EXPECT_EQ(((b >> 16) & 0x7FF), (((a >> 16) & 0x7FF) + 1) % 2048);
    EXPECT_NE(a & 0xFFFF, b & 0xFFFF);
    EXPECT_EQ(DeleteFontToHandle(a), 0);
    EXPECT_EQ(DeleteFontToHandle(a), -1);
    EXPECT_EQ(GetFont(a), nullptr);
    // A new font in a's slot gets a new check number; a stays dead.
    int c = CreateFontToHandle("", 12, 1, 0, -1, -1, 0);
    EXPECT_EQ(c & 0xFFFF, a & 0xFFFF);
    EXPECT_NE(c, a);
    EXPECT_EQ(GetFont(a), nullptr);
    EXPECT_EQ(GetFont(a | 0x40000000), nullptr);
    DeleteFontToHandle(b);
    DeleteFontToHandle(c);
}

TEST_F(FontTest, FortyFontsAtMost) {
    std::vector<int> made;
    for (;;) {
        int h = CreateFontToHandle("", 8, 1, 0, -1, -1, 0);
        if (h < 0) break;
        made.push_back(h);
        ASSERT_LT(made.size(), 41u);
    }
    EXPECT_EQ(made.size(), (size_t)FontSlotCount - 1);  // the default font holds one
    EXPECT_EQ(CountOf(LogText(), "作成できるフォントハンドル数 40 の限界を超えました"), 1);
    for (int h : made) DeleteFontToHandle(h);
}

TEST_F(FontTest, FacesMapToTheInstalledGothics) {
    struct {
        const char* face;
        int charSet;
        const char* family;
    } cases[] = {
        {"ＭＳ Ｐゴシック", -1, "IPAPGothic"},
        {"ＭＳ ゴシック", -1, "IPAGothic"},
        {"", -1, "IPAGothic"},
        {"MS PGothic", FontCharSetShiftJis, "IPAPGothic"},
        {"No Such Face At All", FontCharSetShiftJis, "IPAGothic"},
        {"No Such Face At All", FontCharSetHangul, "IPAGothic"},
    };
    for (auto& k : cases) {
        int h = CreateFontToHandle(ShiftJisText(k.face), 12, 1, 0, k.charSet, -1, 0);
        ASSERT_GE(h, 0) << k.face;
        GlyphFontMetrics metrics;
        ASSERT_EQ(GlyphGetFontMetrics(GetFont(h)->platformFont, &metrics), 0);
        EXPECT_STREQ(metrics.family, k.family) << k.face;
        DeleteFontToHandle(h);
    }
}

TEST_F(FontTest, TopEdgeSitsAtTheGivenY) {
    ASSERT_EQ(DrawTextString(20, 100, "Quellbore Ver 1.01 (c) 2004", PackColor(255, 255, 255), 0),
              0);
    Box box = InkBox();
    ASSERT_GT(box.count, 0);
    EXPECT_GE(box.top, 100);
    EXPECT_LE(box.top, 101);
    EXPECT_LE(box.bottom, 100 + 9);
    EXPECT_GE(box.left, 20);
    EXPECT_LE(box.left, 22);
}

TEST_F(FontTest, SpacesOnlyAdvance) {
    FontRecord* font = Font();
    EXPECT_EQ(DrawTextString(50, 50, " ", 0xFFFF, 0), 0);
    EXPECT_EQ(DrawTextString(50, 50, "\x81\x40", 0xFFFF, 0), 0);  // full-width space
    EXPECT_EQ(InkBox().count, 0);
    const FontGlyph* space = CacheCharacter(font, ' ');
    const FontGlyph* wide = CacheCharacter(font, 0x4081);
    const FontGlyph* a = CacheCharacter(font, 'A');
    ASSERT_TRUE(space && wide && a);
    EXPECT_GT(space->advance, 0);
    EXPECT_GT(wide->advance, space->advance);

    // "A B" is "A", then "B" one space further on; likewise the wide one.
    struct {
        const char* text;
        int gap;
    } cases[] = {{"A B", space->advance}, {"A\x81\x40" "B", wide->advance}};
    for (auto& k : cases) {
        FillScreen(kBackground);
        DrawTextString(10, 10, k.text, 0xFFFF, 0);
        std::vector<uint16_t> whole = Snapshot();
        FillScreen(kBackground);
        DrawTextString(10, 10, "A", 0xFFFF, 0);
        DrawTextString(10 + a->advance + k.gap, 10, "B", 0xFFFF, 0);
        EXPECT_TRUE(whole == Snapshot()) << k.text;
    }
}

TEST_F(FontTest, DoubleByteCharactersStayWhole) {
    FontRecord* font = Font();
    // "ア" is 0x83 0x41: its second byte alone would be 'A'.
    const char* line = ShiftJisText("ゲームをクリアした! 123");
    ASSERT_EQ(std::strcmp(ShiftJisText("ア"), "\x83\x41"), 0);
    EXPECT_EQ(DrawTextString(0, 0, line, 0xFFFF, 0), 0);
    EXPECT_NE(font->codeTable[0x4183], 0);  // ア
    EXPECT_NE(font->codeTable[0x5183], 0);  // ゲ (0x83 0x51)
    EXPECT_EQ(font->codeTable[0x83], 0);
    EXPECT_EQ(font->codeTable[0x41], 0);    // no lone 'A' from "ア"
    DrawTextString(0, 20, "A", 0xFFFF, 0);
    EXPECT_NE(font->codeTable[0x41], 0);

    // A lead byte that ends the string is a character of its own: it is
    // left out and nothing after the terminator is read.
    char truncated[4] = {'B', '\x83', 0, 'C'};
    FillScreen(kBackground);
    EXPECT_EQ(DrawTextString(0, 0, truncated, 0xFFFF, 0), 0);
    EXPECT_GT(InkBox().count, 0);
    EXPECT_EQ(font->codeTable[0x83], 0);
    EXPECT_EQ(font->codeTable[0x4383], 0);
    EXPECT_EQ(font->codeTable[int('C')], 0);
    EXPECT_GE(CountOf(LogText(), "GetGlyphOutline 関数が失敗しました"), 1);
}

TEST_F(FontTest, ColourIsDecodedThroughTheScreenFormat) {
    int r, g, b;
    DecodeTextColour(PackColor(224, 224, 224), &r, &g, &b);
    EXPECT_EQ(r, 230);
    EXPECT_EQ(g, 226);
    EXPECT_EQ(b, 230);
    DecodeTextColour(0, &r, &g, &b);
    EXPECT_EQ(r + g + b, 0);
    DecodeTextColour(0xFFFF, &r, &g, &b);
    EXPECT_EQ(r + g + b, 3 * 255);

    DrawTextString(10, 10, "W", PackColor(224, 224, 224), 0);
    int inked = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 40; x++) {
            uint16_t p = ScreenAt(x, y);
            if (p == kBackground) continue;
            inked++;
            EXPECT_EQ(p, 0xE71C);  // (230, 226, 230) on the R5G6B5 screen
        }
    EXPECT_GT(inked, 0);
}

TEST_F(FontTest, TextIsClippedToTheClipRectangle) {
    DrawTextString(5, 5, "WWWWWWWW", 0xFFFF, 0);
    Box full = InkBox();
    ASSERT_GT(full.count, 0);
    FillScreen(kBackground);
    SetDrawClip(10, 8, 30, 11);
    DrawTextString(5, 5, "WWWWWWWW", 0xFFFF, 0);
    Box clipped = InkBox();
    EXPECT_GT(clipped.count, 0);
    EXPECT_LT(clipped.count, full.count);
    EXPECT_GE(clipped.left, 10);
    EXPECT_LE(clipped.right, 29);
    EXPECT_GE(clipped.top, 8);
    EXPECT_LE(clipped.bottom, 10);

    FillScreen(kBackground);
    SetDrawClip(10, 10, 10, 50);
    EXPECT_EQ(DrawTextString(5, 5, "WWWW", 0xFFFF, 0), 0);
    EXPECT_EQ(InkBox().count, 0);
    SetDrawClip(0, 0, 256, 256);
    // Far outside the screen nothing is drawn and nothing breaks.
    EXPECT_EQ(DrawTextString(-100000, 2000000000, "WWWW", 0xFFFF, 0), 0);
    EXPECT_EQ(DrawTextString(2000000000, 0, "WWWW", 0xFFFF, 0), 0);
    EXPECT_EQ(InkBox().count, 0);
}

TEST_F(FontTest, EvictsTheOldestAndRasterisesAgainAlike) {
    // Big cells give the smallest cache: 20 glyphs.
    int h = CreateFontToHandle("", 160, 1, 0, -1, -1, 0);
    ASSERT_GE(h, 0);
    FontRecord* font = GetFont(h);
    ASSERT_EQ(font->capacity, FontMinGlyphs);

    DrawStringToHandle(0, 0, "A", 0xFFFF, h, 0);
    std::vector<uint16_t> first = Snapshot();
    std::vector<uint8_t> firstCell(font->cells, font->cells + font->cellBytes);
    FontGlyph firstGlyph = *CacheCharacter(font, 'A');

    // 25 distinct characters: A ... E lose their cells to U ... Y.
    EXPECT_EQ(DrawStringToHandle(0, 0, "ABCDEFGHIJKLMNOPQRSTUVWXY", 0xFFFF, h, 0), 0);
    EXPECT_EQ(font->rasterisedCount, 25);
    for (char c = 'A'; c <= 'E'; c++) EXPECT_EQ(font->codeTable[(int)c], 0) << c;
    for (char c = 'F'; c <= 'Y'; c++) EXPECT_NE(font->codeTable[(int)c], 0) << c;
    EXPECT_EQ(font->nextGlyph, 5);

    FillScreen(kBackground);
    DrawStringToHandle(0, 0, "A", 0xFFFF, h, 0);
    EXPECT_EQ(font->rasterisedCount, 26);
    EXPECT_EQ(font->codeTable[int('F')], 0);  // A took F's cell this time
    const FontGlyph* again = CacheCharacter(font, 'A');
    EXPECT_EQ(again->advance, firstGlyph.advance);
    EXPECT_EQ(again->boxWidth, firstGlyph.boxWidth);
    EXPECT_EQ(again->xOffset, firstGlyph.xOffset);
    EXPECT_EQ(again->yOffset, firstGlyph.yOffset);
    int index = font->codeTable[int('A')] - 1;
    EXPECT_EQ(0, std::memcmp(font->cells + (size_t)index * font->cellBytes, firstCell.data(),
                             firstCell.size()));
    EXPECT_TRUE(first == Snapshot());
    DeleteFontToHandle(h);
}

TEST_F(FontTest, NoDefaultFontRefusesToDraw) {
    std::string before = LogText();
    g_Window.destroyed = 1;  // creating fonts is refused while the window goes
    SetTextSize(11);
    EXPECT_EQ(g_TextSettings.defaultFont, -1);
    EXPECT_EQ(DrawTextString(0, 0, "A", 0xFFFF, 0), -1);
    EXPECT_EQ(DrawTextString(0, 0, "", 0xFFFF, 0), 0);
    g_Window.destroyed = 0;
    EXPECT_EQ(CountOf(LogText(), "フォントハンドル値が異常です") -
                  CountOf(before, "フォントハンドル値が異常です"),
              1);
    // The next refresh makes it again.
    EXPECT_EQ(DrawTextString(0, 0, "A", 0xFFFF, 0), 0);
    EXPECT_NE(Font(), nullptr);
    EXPECT_EQ(Font()->textHeight, 11);
}

TEST_F(FontTest, EdgedAndSmoothStylesDraw) {
    for (int style = 1; style <= 3; style++) {
        FillScreen(kBackground);
        SetTextSize(16);
        SetTextStyle(style);
        FontRecord* font = Font();
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(font->style, style);
        EXPECT_EQ(DrawTextString(10, 10, "O", 0xFFFF, PackColor(0, 0, 255)), 0);
        int white = 0, blue = 0;
        for (int i = 0; i < 256 * 256; i++) {
            if (g_Screen.pixels[i] == 0xFFFF) white++;
            if (g_Screen.pixels[i] == 0x001F) blue++;
        }
        EXPECT_GT(white, 0) << style;
        if (style & FontStyleEdge) {
            EXPECT_GT(blue, 0) << style;
        }
        if (style == 1) {
            EXPECT_EQ(font->cellHeight, 18);
        }
    }
    SetTextStyle(0);
}

TEST(ShiftJisTextTest, ConvertsOnceAndKeepsTheResult) {
    const char* text = "ゲームオーバー";
    const char* a = ShiftJisText(text);
    EXPECT_EQ(std::strcmp(a, "\x83\x51\x81\x5B\x83\x80\x83\x49\x81\x5B\x83\x6F\x81\x5B"), 0);
    EXPECT_EQ(ShiftJisText(text), a);
    std::string copy = text;
    EXPECT_EQ(ShiftJisText(copy.c_str()), a);  // same text, another pointer
    EXPECT_STREQ(ShiftJisText("plain ASCII"), "plain ASCII");
    EXPECT_STREQ(ShiftJisText(""), "");
    EXPECT_STREQ(ShiftJisText(nullptr), "");
    EXPECT_STREQ(ShiftJisText("a\xF0\x9F\x98\x80" "b"), "a?b");  // no Shift-JIS form
}

}  // namespace
