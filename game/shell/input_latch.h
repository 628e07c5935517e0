// The seven button latches, updated once per frame from keyboard and pad.
#pragma once

// Updates ButtonUp, Down, Left, Right, Confirm, Jump, Drill of GameState
// (in this order): 0 up, 1 pressed in this frame, 2 held.
void LatchButtons();

constexpr int LatchCount = 7;
// One latch step: the new value from the old one and whether it is down.
int NextLatch(int previous, bool down);
// The latch step for all seven, down[] in the order of LatchButtons.
void ApplyLatches(const bool down[LatchCount]);

// Keys of each latch (scan codes), in the order of LatchButtons; the pad
// bits stay fixed. Up to LatchMaxKeys per latch; the first key down wins.
constexpr int LatchMaxKeys = 4;
struct LatchKeys {
    int codes[LatchCount][LatchMaxKeys];
    int count[LatchCount];
};
// Up, Down, Left, Right, Enter, Z, X: one key each.
LatchKeys DefaultLatchKeys();
void SetLatchKeys(const LatchKeys& keys);
