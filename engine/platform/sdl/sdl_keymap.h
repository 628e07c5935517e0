// Pure mappings of the SDL backend, kept free of SDL headers so that they
// can be checked without a display.
//
// Physical keys arrive as SDL scancodes, which are the USB HID keyboard
// usage numbers. Each maps to the Windows virtual-key code of the key at
// the same place on a Japanese 106/109-key keyboard.
#pragma once

#include <cstdint>

enum {
    SdlScancodeCount = 512,
    SdlKeymapVkShift = 0x10,
    SdlKeymapVkControl = 0x11,
    SdlKeymapVkMenu = 0x12,
};

namespace sdl_keymap_detail {

struct KeyPair {
    uint16_t scancode;
    uint8_t vk;
};

// Scancode (USB HID usage) -> virtual key, Japanese layout by position.
inline constexpr KeyPair Pairs[] = {
    // Letters A..Z are usages 4..29, digits 1..9, 0 are 30..39.
    {4, 'A'}, {5, 'B'}, {6, 'C'}, {7, 'D'}, {8, 'E'}, {9, 'F'}, {10, 'G'},
    {11, 'H'}, {12, 'I'}, {13, 'J'}, {14, 'K'}, {15, 'L'}, {16, 'M'}, {17, 'N'},
    {18, 'O'}, {19, 'P'}, {20, 'Q'}, {21, 'R'}, {22, 'S'}, {23, 'T'}, {24, 'U'},
    {25, 'V'}, {26, 'W'}, {27, 'X'}, {28, 'Y'}, {29, 'Z'},
    {30, '1'}, {31, '2'}, {32, '3'}, {33, '4'}, {34, '5'}, {35, '6'}, {36, '7'},
    {37, '8'}, {38, '9'}, {39, '0'},
    {40, 0x0D},  // Return -> VK_RETURN
    {41, 0x1B},  // Escape
    {42, 0x08},  // Backspace -> VK_BACK
    {43, 0x09},  // Tab
    {44, 0x20},  // Space
    {45, 0xBD},  // '-' -> VK_OEM_MINUS
    {46, 0xDE},  // '^' (US '=') -> VK_OEM_7
    {47, 0xC0},  // '@' (US '[') -> VK_OEM_3
    {48, 0xDB},  // '[' (US ']') -> VK_OEM_4
    {49, 0xDD},  // ']' (US '\', reported for the JIS ']' key) -> VK_OEM_6
    {50, 0xDD},  // ']' (ISO '#', same place) -> VK_OEM_6
    {51, 0xBB},  // ';' -> VK_OEM_PLUS
    {52, 0xBA},  // ':' (US ''') -> VK_OEM_1
    {53, 0xF3},  // Hankaku/Zenkaku (US '`') -> VK_OEM_AUTO
    {54, 0xBC},  // ',' -> VK_OEM_COMMA
    {55, 0xBE},  // '.' -> VK_OEM_PERIOD
    {56, 0xBF},  // '/' -> VK_OEM_2
    {57, 0x14},  // Caps Lock (Eisu) -> VK_CAPITAL
    // F1..F12 are usages 58..69.
    {58, 0x70}, {59, 0x71}, {60, 0x72}, {61, 0x73}, {62, 0x74}, {63, 0x75},
    {64, 0x76}, {65, 0x77}, {66, 0x78}, {67, 0x79}, {68, 0x7A}, {69, 0x7B},
    {70, 0x2C},  // Print Screen -> VK_SNAPSHOT
    {71, 0x91},  // Scroll Lock -> VK_SCROLL
    {72, 0x13},  // Pause
    {73, 0x2D},  // Insert
    {74, 0x24},  // Home
    {75, 0x21},  // Page Up -> VK_PRIOR
    {76, 0x2E},  // Delete
    {77, 0x23},  // End
    {78, 0x22},  // Page Down -> VK_NEXT
    {79, 0x27},  // Right
    {80, 0x25},  // Left
    {81, 0x28},  // Down
    {82, 0x26},  // Up
    {83, 0x90},  // Num Lock
    {84, 0x6F},  // keypad '/' -> VK_DIVIDE
    {85, 0x6A},  // keypad '*' -> VK_MULTIPLY
    {86, 0x6D},  // keypad '-' -> VK_SUBTRACT
    {87, 0x6B},  // keypad '+' -> VK_ADD
    {88, 0x0D},  // keypad Enter -> VK_RETURN, like the main Enter
    // Keypad 1..9 are usages 89..97, keypad 0 is 98 (read whatever Num Lock).
    {89, 0x61}, {90, 0x62}, {91, 0x63}, {92, 0x64}, {93, 0x65}, {94, 0x66},
    {95, 0x67}, {96, 0x68}, {97, 0x69}, {98, 0x60},
    {99, 0x6E},   // keypad '.' -> VK_DECIMAL
    {100, 0xE2},  // ISO key left of Z -> VK_OEM_102
    {101, 0x5D},  // Application -> VK_APPS
    // F13..F24 are usages 104..115.
    {104, 0x7C}, {105, 0x7D}, {106, 0x7E}, {107, 0x7F}, {108, 0x80}, {109, 0x81},
    {110, 0x82}, {111, 0x83}, {112, 0x84}, {113, 0x85}, {114, 0x86}, {115, 0x87},
    {133, 0x6C},  // keypad ',' -> VK_SEPARATOR
    {135, 0xE2},  // '\' Ro (International 1) -> VK_OEM_102
    {136, 0xF2},  // Katakana/Hiragana (International 2) -> VK_OEM_COPY
    {137, 0xDC},  // Yen (International 3) -> VK_OEM_5
    {138, 0x1C},  // Henkan (International 4) -> VK_CONVERT
    {139, 0x1D},  // Muhenkan (International 5) -> VK_NONCONVERT
    {146, 0xF2},  // Katakana (Lang 3) -> VK_OEM_COPY
    {147, 0xF2},  // Hiragana (Lang 4) -> VK_OEM_COPY
    {148, 0xF3},  // Zenkaku/Hankaku (Lang 5) -> VK_OEM_AUTO
    {224, 0xA2},  // Left Control -> VK_LCONTROL
    {225, 0xA0},  // Left Shift -> VK_LSHIFT
    {226, 0xA4},  // Left Alt -> VK_LMENU
    {227, 0x5B},  // Left GUI -> VK_LWIN
    {228, 0xA3},  // Right Control -> VK_RCONTROL
    {229, 0xA1},  // Right Shift -> VK_RSHIFT
    {230, 0xA5},  // Right Alt -> VK_RMENU
    {231, 0x5C},  // Right GUI -> VK_RWIN
};

struct Table {
    uint8_t vk[SdlScancodeCount];
};

inline constexpr Table MakeTable() {
    Table table{};
    for (const KeyPair& pair : Pairs) table.vk[pair.scancode] = pair.vk;
    return table;
}

inline constexpr Table KeyTable = MakeTable();

}  // namespace sdl_keymap_detail

// Virtual-key code of a physical key; 0 for a key with none.
inline uint8_t SdlScancodeToVirtualKey(int scancode) {
    if (scancode < 0 || scancode >= SdlScancodeCount) return 0;
    return sdl_keymap_detail::KeyTable.vk[scancode];
}

// The side-neutral code that the key also sets (VK_SHIFT, VK_CONTROL,
// VK_MENU for either Shift, Control, Alt), else 0.
inline uint8_t SdlScancodeToGenericVirtualKey(int scancode) {
    switch (scancode) {
        case 225: case 229: return SdlKeymapVkShift;
        case 224: case 228: return SdlKeymapVkControl;
        case 226: case 230: return SdlKeymapVkMenu;
        default: return 0;
    }
}

// ----------------------------------------------------------- game controllers
//
// Buttons of a pad that SDL knows (SDL_GameControllerButton numbering, by
// position: A is the south button, B east, X west, Y north) as the pad
// button numbers of the pad word. The game jumps and confirms with pad
// buttons 0 and 3 and throws the drill with 1 and 4, so: 0 south, 1 east,
// 2 north, 3 Start, 4 west; then 5 left and 6 right shoulder, 7 back,
// 8 left and 9 right stick, 10 guide, 11 misc, 12 ... 15 the paddles,
// 16 the touchpad. The d-pad is the hat switch, not buttons.
enum {
    SdlControllerButtonCount = 21,  // SDL_CONTROLLER_BUTTON_MAX in SDL 2.26
    SdlClassicButtonCount = 17,
};

inline int SdlControllerButtonToClassic(int sdlButton) {
    static constexpr int8_t Map[SdlControllerButtonCount] = {
        0,   // A (south): jump, confirm
        1,   // B (east): drill
        4,   // X (west): drill
        2,   // Y (north)
        7,   // back
        10,  // guide
        3,   // start: confirm
        8,   // left stick
        9,   // right stick
        5,   // left shoulder
        6,   // right shoulder
        -1, -1, -1, -1,  // d-pad up, down, left, right: the hat
        11,  // misc (share, capture, microphone)
        12, 13, 14, 15,  // paddles 1 ... 4
        16,  // touchpad
    };
    if (sdlButton < 0 || sdlButton >= SdlControllerButtonCount) return -1;
    return Map[sdlButton];
}

// Hat value in hundredths of a degree clockwise from up, -1 centred, from
// the four d-pad directions. Opposite directions cancel each other.
inline int SdlDpadToHat(int up, int down, int left, int right) {
    int dy = (down ? 1 : 0) - (up ? 1 : 0);
    int dx = (right ? 1 : 0) - (left ? 1 : 0);
    if (dx == 0 && dy == 0) return -1;
    if (dy < 0) return dx < 0 ? 31500 : (dx > 0 ? 4500 : 0);
    if (dy > 0) return dx < 0 ? 22500 : (dx > 0 ? 13500 : 18000);
    return dx > 0 ? 9000 : 27000;
}

// SDL hat bits (1 up, 2 right, 4 down, 8 left) as a hat value.
inline int SdlHatBitsToHat(int bits) {
    return SdlDpadToHat(bits & 1, bits & 4, bits & 8, bits & 2);
}

// The pair of triggers (0 ... 32767 each) as one Z axis, as a classic
// driver reports them: the left trigger pushes it one way, the right the
// other, both together cancel.
inline int32_t SdlTriggersToZ(int left, int right) {
    int32_t z = (int32_t)left - (int32_t)right;
    if (z > 32767) z = 32767;
    if (z < -32768) z = -32768;
    return z;
}
