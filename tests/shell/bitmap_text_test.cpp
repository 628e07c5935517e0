#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/call_log.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"

namespace {

// The x positions and cells that a text drew.
struct Glyph {
    int x, column, row;
    bool operator==(const Glyph&) const = default;
};

std::vector<Glyph> Glyphs(const CallLog& log, int y) {
    std::vector<Glyph> out;
    for (const SpriteCall& c : log.sprites) {
        EXPECT_EQ(c.slot, 4);
        EXPECT_EQ(c.y, y);
        EXPECT_EQ(c.w, 8);
        EXPECT_EQ(c.h, 8);
        out.push_back({c.x, c.srcX / 8, c.srcY / 8});
    }
    return out;
}

// The digits a number drew, as text.
std::string Digits(const CallLog& log) {
    std::string s;
    for (const SpriteCall& c : log.sprites) s += static_cast<char>('0' + c.srcX / 8);
    return s;
}

TEST(BitmapText, CharactersTakeEightPixelsEachBlanksIncluded) {
    CallLog log;
    DrawBitmapText(112, 96, "CLEAR !!");
    EXPECT_EQ(Glyphs(log, 96), (std::vector<Glyph>{
                                   {112, 2, 1}, {120, 1, 2}, {128, 4, 1}, {136, 0, 1}, {144, 7, 2},
                                   {160, 0, 4}, {168, 0, 4},
                               }));
}

TEST(BitmapText, EveryCellOfTheFont) {
    struct Case {
        char ch;
        int column, row;
    } cases[] = {
        {'0', 0, 0}, {'9', 9, 0}, {'A', 0, 1}, {'J', 9, 1}, {'K', 0, 2}, {'T', 9, 2}, {'U', 0, 3},
        {'Z', 5, 3}, {'!', 0, 4}, {'?', 1, 4}, {'.', 2, 4}, {'\'', 3, 4}, {'-', 4, 4},
    };
    for (const Case& c : cases) {
        int column = -1, row = -1;
        ASSERT_TRUE(BitmapFontCell(c.ch, &column, &row)) << c.ch;
        EXPECT_EQ(column, c.column) << c.ch;
        EXPECT_EQ(row, c.row) << c.ch;
    }
    for (char ch : std::string(" ,:/@[`{\x82\xff")) {
        int column = 0, row = 0;
        EXPECT_FALSE(BitmapFontCell(ch, &column, &row)) << static_cast<int>(ch);
    }
}

TEST(BitmapText, LowerCaseLooksLikeUpperCaseAndGapsKeepTheirPlace) {
    CallLog upper;
    DrawBitmapText(0, 0, "THE LAST STAGE");
    std::vector<SpriteCall> a = upper.sprites;
    upper.Clear();
    DrawBitmapText(0, 0, "the last stage");
    EXPECT_EQ(upper.sprites, a);

    upper.Clear();
    DrawBitmapText(10, 20, "a,b:c");
    std::vector<Glyph> g = Glyphs(upper, 20);
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[1].x, 26);
    EXPECT_EQ(g[2].x, 42);
}

TEST(BitmapText, NumbersHaveExactlyTheirDigits) {
    struct Case {
        int value, digits;
        const char* shown;
    } cases[] = {
        {999, 3, "999"},  {4, 3, "004"},   {0, 3, "000"},   {7, 2, "07"},
        {123, 2, "12"},   {9999, 3, "999"}, {5, 1, "5"},    {42, 0, ""},
        {INT_MAX, 10, "2147483647"},        {1, 10, "0000000001"}, {1, 11, ""}, {1, 100, ""},
    };
    for (const Case& c : cases) {
        CallLog log;
        DrawNumber(24, 4, c.value, c.digits);
        EXPECT_EQ(Digits(log), c.shown) << c.value << " " << c.digits;
        for (size_t k = 0; k < log.sprites.size(); ++k) {
            EXPECT_EQ(log.sprites[k].x, 24 + 8 * static_cast<int>(k));
            EXPECT_EQ(log.sprites[k].srcY, 0);
        }
    }
}

TEST(BitmapText, NumbersDrawTheirPrintfTextDigitByDigit) {
    // What "%0<digits>d" gives, a sign taking its place but drawing
    // nothing, for values the table above leaves out.
    for (int value : {-5, -1, -123, -2147483647 - 1, 0, 12345, 100, INT_MAX})
        for (int digits : {-1, 1, 2, 3, 5, 10}) {
            char format[16], text[24];
            std::snprintf(format, sizeof format, "%%0%dd", digits);
            std::snprintf(text, sizeof text, format, value);
            std::vector<SpriteCall> expected;
            for (int k = 0; k < digits && text[k] != '\0'; ++k)
                if (text[k] >= '0' && text[k] <= '9') expected.push_back({4, 24 + 8 * k, 4, 8 * (text[k] - '0'), 0, 8, 8});
            CallLog log;
            DrawNumber(24, 4, value, digits);
            EXPECT_EQ(log.sprites, expected) << value << " " << digits;
        }
}

TEST(BitmapText, HudShowsTheCountersInItsOrder) {
    GameState.Lives = 3;
    GameState.Coins = 7;
    GameState.DrillCharges = 1;
    GameState.Keys = 0;
    GameState.StageTimer = 45;
    CallLog log;
    DrawHud();
    const std::vector<SpriteCall> expected = {
        {8, 16, 0, 64, 0, 16, 16},   {4, 32, 4, 0, 0, 8, 8},      {4, 40, 4, 24, 0, 8, 8},
        {8, 64, 0, 48, 0, 16, 16},   {4, 80, 4, 0, 0, 8, 8},      {4, 88, 4, 56, 0, 8, 8},
        {8, 112, 0, 48, 32, 16, 16}, {4, 128, 4, 32, 16, 8, 8},   {4, 136, 4, 0, 16, 8, 8},
        {8, 208, 0, 64, 16, 16, 16}, {4, 224, 4, 0, 0, 8, 8},     {4, 232, 4, 0, 0, 8, 8},
        {4, 240, 4, 32, 0, 8, 8},
    };
    EXPECT_EQ(log.sprites, expected);

    // No charge: "--"; a key: its icon between the drill and the clock.
    log.Clear();
    GameState.DrillCharges = 0;
    GameState.Keys = 2;
    DrawHud();
    ASSERT_EQ(log.sprites.size(), expected.size() + 1);
    EXPECT_EQ(log.sprites[7], (SpriteCall{4, 128, 4, 32, 32, 8, 8}));
    EXPECT_EQ(log.sprites[8], (SpriteCall{4, 136, 4, 32, 32, 8, 8}));
    EXPECT_EQ(log.sprites[9], (SpriteCall{8, 160, 0, 48, 16, 16, 16}));
}

}  // namespace
