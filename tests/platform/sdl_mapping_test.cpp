// The SDL backend's pure mappings (no display needed): physical keys to
// Japanese-layout virtual keys, controller buttons to the classic order.
#include <gtest/gtest.h>

#include "engine/platform/sdl/sdl_keymap.h"

namespace {

TEST(SdlKeymap, PhysicalKeysMapToTheJapaneseLayoutsVirtualKeys) {
    // Scancodes are USB usage numbers.
    struct Case {
        int scancode;
        int vk;
        const char* what;
    } cases[] = {
        {4, 'A', "A"},          {29, 'Z', "Z"},          {27, 'X', "X"},
        {30, '1', "1"},         {39, '0', "0"},          {40, 0x0D, "Enter"},
        {88, 0x0D, "keypad Enter"}, {41, 0x1B, "Escape"}, {44, 0x20, "Space"},
        {42, 0x08, "Backspace"}, {43, 0x09, "Tab"},      {76, 0x2E, "Delete"},
        {79, 0x27, "Right"},    {80, 0x25, "Left"},      {81, 0x28, "Down"},
        {82, 0x26, "Up"},       {90, 0x62, "keypad 2"},  {92, 0x64, "keypad 4"},
        {94, 0x66, "keypad 6"}, {96, 0x68, "keypad 8"},  {98, 0x60, "keypad 0"},
        {99, 0x6E, "keypad ."}, {84, 0x6F, "keypad /"},  {85, 0x6A, "keypad *"},
        {86, 0x6D, "keypad -"}, {87, 0x6B, "keypad +"},
        {45, 0xBD, "-"},        {46, 0xDE, "^ (caret)"}, {47, 0xC0, "@"},
        {48, 0xDB, "["},        {49, 0xDD, "]"},         {50, 0xDD, "] (ISO)"},
        {51, 0xBB, ";"},        {52, 0xBA, ":"},         {54, 0xBC, ","},
        {55, 0xBE, "."},        {56, 0xBF, "/"},         {135, 0xE2, "\\ Ro"},
        {137, 0xDC, "Yen"},     {53, 0xF3, "Hankaku/Zenkaku"},
        {58, 0x70, "F1"},       {69, 0x7B, "F12"},       {57, 0x14, "Caps Lock"},
        {71, 0x91, "Scroll Lock"}, {72, 0x13, "Pause"},  {83, 0x90, "Num Lock"},
        {73, 0x2D, "Insert"},   {74, 0x24, "Home"},      {75, 0x21, "Page Up"},
        {77, 0x23, "End"},      {78, 0x22, "Page Down"},
        {224, 0xA2, "left Control"}, {225, 0xA0, "left Shift"}, {226, 0xA4, "left Alt"},
        {228, 0xA3, "right Control"}, {229, 0xA1, "right Shift"}, {230, 0xA5, "right Alt"},
        {227, 0x5B, "left Windows"},
        {0, 0, "no key"},       {1, 0, "error roll-over"}, {-1, 0, "negative"},
        {511, 0, "last"},       {512, 0, "past the table"}, {100000, 0, "far past"},
    };
    for (const Case& c : cases) EXPECT_EQ(SdlScancodeToVirtualKey(c.scancode), c.vk) << c.what;
}

TEST(SdlKeymap, ShiftsControlsAndAltsAlsoSetTheSideNeutralCode) {
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(225), 0x10);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(229), 0x10);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(224), 0x11);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(228), 0x11);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(226), 0x12);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(230), 0x12);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(29), 0);
    EXPECT_EQ(SdlScancodeToGenericVirtualKey(-5), 0);
}

TEST(SdlControllerMapping, ButtonsLandOnThePadButtonsTheGameReads) {
    // SDL_GameControllerButton numbering: A B X Y back guide start
    // leftstick rightstick leftshoulder rightshoulder dpad(4) misc paddles(4) touchpad.
    // South and Start on 0 and 3 (jump, confirm), east and west on 1 and 4 (drill).
    const int expected[SdlControllerButtonCount] = {0, 1, 4, 2, 7, 10, 3, 8, 9, 5, 6,
                                                    -1, -1, -1, -1, 11, 12, 13, 14, 15, 16};
    int seen[SdlClassicButtonCount] = {};
    for (int b = 0; b < SdlControllerButtonCount; ++b) {
        int classic = SdlControllerButtonToClassic(b);
        EXPECT_EQ(classic, expected[b]) << "SDL button " << b;
        if (classic >= 0) {
            ASSERT_LT(classic, SdlClassicButtonCount);
            ++seen[classic];
        }
    }
    for (int c = 0; c < SdlClassicButtonCount; ++c) EXPECT_EQ(seen[c], 1) << "classic button " << c;
    EXPECT_EQ(SdlControllerButtonToClassic(-1), -1);
    EXPECT_EQ(SdlControllerButtonToClassic(SdlControllerButtonCount), -1);
}

TEST(SdlControllerMapping, DpadAndHatBecomeOneHatValue) {
    struct Case {
        int up, down, left, right, hat;
    } cases[] = {
        {0, 0, 0, 0, -1},    {1, 0, 0, 0, 0},     {1, 0, 0, 1, 4500},  {0, 0, 0, 1, 9000},
        {0, 1, 0, 1, 13500}, {0, 1, 0, 0, 18000}, {0, 1, 1, 0, 22500}, {0, 0, 1, 0, 27000},
        {1, 0, 1, 0, 31500}, {1, 1, 0, 0, -1},    {0, 0, 1, 1, -1},    {1, 1, 1, 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SdlDpadToHat(c.up, c.down, c.left, c.right), c.hat)
            << c.up << c.down << c.left << c.right;
    // SDL hat bits: 1 up, 2 right, 4 down, 8 left.
    EXPECT_EQ(SdlHatBitsToHat(0), -1);
    EXPECT_EQ(SdlHatBitsToHat(1 | 2), 4500);
    EXPECT_EQ(SdlHatBitsToHat(4 | 8), 22500);
    EXPECT_EQ(SdlTriggersToZ(32767, 0), 32767);
    EXPECT_EQ(SdlTriggersToZ(0, 32767), -32767);
    EXPECT_EQ(SdlTriggersToZ(20000, 20000), 0);
}

}  // namespace
