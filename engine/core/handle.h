// The encoding of the engine's image and sound handles: the kind in bits
// 27 ... 30, a check number in bits 16 ... 26 (counting 0 ... 2047 and
// wrapping), bit 15 clear and the slot of the kind's table in bits 0 ... 14.
// A handle is never negative; -1 and 0 are never valid. The first handle of
// a kind has check 0 and slot 0 (0x08000000 for images, 0x10000000 for
// sounds), the second check 1 and slot 1.
#pragma once

enum EngineHandleKind {
    HandleKindImage = 1,
    HandleKindSound = 2,
};

enum {
    HandleCheckCount = 2048,
    HandleSlotCount = 0x8000,
};

constexpr int MakeHandle(int kind, int check, int slot) {
    return (kind << 27) | ((check & (HandleCheckCount - 1)) << 16) | (slot & (HandleSlotCount - 1));
}

// The slot of a handle of this kind, or -1 when it is not one (negative,
// another kind, bit 15 set). The caller still compares the check number.
constexpr int HandleSlot(int handle, int kind) {
    if (handle < 0 || ((handle >> 27) & 0xF) != kind || (handle & 0x8000)) return -1;
    return handle & (HandleSlotCount - 1);
}

constexpr int HandleCheck(int handle) { return (handle >> 16) & (HandleCheckCount - 1); }

// The check number after `check`, wrapping from 2047 to 0.
constexpr int NextHandleCheck(int check) { return (check + 1) % HandleCheckCount; }

static_assert(MakeHandle(HandleKindImage, 1, 1) == 0x08010001, "image handles");
static_assert(MakeHandle(HandleKindSound, 0, 0) == 0x10000000, "sound handles");
static_assert(HandleSlot(MakeHandle(HandleKindSound, 2047, 0x7FFF), HandleKindSound) == 0x7FFF, "slot");
static_assert(HandleSlot(MakeHandle(HandleKindSound, 5, 9) | 0x8000, HandleKindSound) == -1, "bit 15");
static_assert(HandleSlot(MakeHandle(HandleKindImage, 5, 9), HandleKindSound) == -1, "kind");
