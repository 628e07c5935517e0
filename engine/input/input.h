// Engine input: the keyboard state table (scan-code numbering) and the pad
// state word. The game's questions (IsKeyDown, ReadKeyboard, ReadPadState)
// are in engine/engine.h; the start-up entry points in engine/core/modules.h.
#pragma once

#include <cstdint>

enum {
    InputKeyCount = 256,
    InputMaxPads = 16,
    InputKeyMapCount = 16,
    InputKeyMapSlots = 4,
    InputTypeKeyboard = 0x1000,  // ReadPadState: merge the keyboard through the key map
    InputConversionCount = 99,
};

// One entry of the OS-mode conversion table: the virtual key whose state
// byte is copied to the scan code.
struct InputConversion {
    uint8_t virtualKey;
    uint8_t scanCode;
};
// The 99 entries, in the order they are applied.
const InputConversion* InputConversionTable();

// A raw platform axis (-32768 ... 32767, 0 at rest) on the scale
// -1000 ... 1000, with the quarter-way dead zone around the centre.
int InputScaleAxis(int32_t raw);

// Direction bits of the pad word (0x1 down, 0x2 left, 0x4 right, 0x8 up)
// for a hat value in hundredths of a degree clockwise from up; -1 centred.
int InputHatBits(int32_t hat);

// 1 while the input layer is set up.
int InputIsSetUp();
// Pads found at set-up (0 ... 16).
int InputPadCount();
// The last sampled key-state table (256 bytes, bit 7 = down).
const uint8_t* InputKeyTable();
// Key map slot (map 0 ... 15, bit 0 ... 31, slot 0 ... 3); -1 outside.
int InputKeyMapSlot(int map, int bit, int slot);
