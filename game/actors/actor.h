// The fields every moving object shares, and the rectangle helpers that
// every collision test uses.
#pragma once

#include <cstdint>

#include "game/world/field.h"

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// All-zero when w or h is below 1; edges count as inside. Inline: every
// collision test of every actor runs through them each frame.
inline int SaturatingAdd(int a, int b) {
    // Edges are held inside the int range so that a far-away box cannot wrap.
    int64_t s = static_cast<int64_t>(a) + b;
    if (s > INT32_MAX) return INT32_MAX;
    if (s < INT32_MIN) return INT32_MIN;
    return static_cast<int>(s);
}
inline Rect MakeRect(int x, int y, int w, int h) {
    if (w < 1 || h < 1) return Rect{};
    return Rect{x, y, SaturatingAdd(x, w), SaturatingAdd(y, h)};
}
inline bool RectsOverlap(const Rect& a, const Rect& b) {
    return !(a.right < b.left || b.right < a.left || a.bottom < b.top || b.bottom < a.top);
}
inline bool PointInRect(int px, int py, const Rect& r) {
    return r.left <= px && px <= r.right && r.top <= py && py <= r.bottom;
}
inline bool InRange(int v, int lo, int hi) { return lo <= v && v <= hi; }

constexpr double FallSpeedCap = 2.5;

// Truncation toward zero for drawing and hit boxes, held inside the int
// range so that a runaway position cannot overflow.
inline int TruncToInt(double v) {
    if (!(v > -2147483648.0)) return v != v ? 0 : -2147483647 - 1;
    if (!(v < 2147483648.0)) return 2147483647;
    return static_cast<int>(v);
}

// Walks the solid cells of the rows an actor covers, in row and cell order,
// passing over those outside the band top ... bottom of the caller's tests
// (read again at each step: a test that moves the actor moves its band).
// The row bound uses the position as it stands at each step. fn(row, cell,
// the cell's box) returns false to stop the walk.
template <typename A, typename Fn>
void WalkSolidCells(const A& a, const int& top, const int& bottom, Fn fn) {
    for (int row = TruncToInt(a.x / 16); row < (a.x + a.width) / 16 + 1; ++row) {
        unsigned left = SolidCellMask(row);
        while (unsigned near = left & CellBand(top, bottom)) {
            int cell = LowestCell(near);
            left = CellsAfter(left, cell);
            if (!fn(row, cell, MakeRect(16 * row, 16 * cell, 15, 15))) return;
        }
    }
}

// World size in pixels.
constexpr int WorldWidth = 5120;
constexpr int WorldHeight = 256;

struct Actor {
    int state = 1;
    int timer = 0;
    int dir = 0;
    double x = 16.0;
    double y = 16.0;
    double vx = 0.0;
    double vy = 0.0;
    double gravity = 0.0;
    int width = 16;
    int height = 16;

    // The common movement step before a class's own collision test:
    // x += vx; vy += gravity; vy capped at FallSpeedCap; y += vy.
    void MoveStep() {
        x += vx;
        vy += gravity;
        if (vy > FallSpeedCap) vy = FallSpeedCap;
        y += vy;
    }
};

// Pool operations shared by the fixed pools: walk from index 0 upward and
// call the operation on each active element. An element spawned into a
// higher slot during the walk takes part in the same walk.
template <typename T, int N>
void PoolResetAll(T (&pool)[N]) {
    for (T& o : pool) o.Reset();
}
template <typename T, int N>
void PoolDrawAll(T (&pool)[N]) {
    for (T& o : pool)
        if (o.active) o.Draw();
}
template <typename T, int N>
void PoolActAll(T (&pool)[N]) {
    for (int i = 0; i < N; ++i)
        if (pool[i].active) pool[i].Act();
}
template <typename T, int N>
void PoolMoveAll(T (&pool)[N]) {
    for (int i = 0; i < N; ++i)
        if (pool[i].active) pool[i].Move();
}
// Index of the first inactive element; -1 when the pool is full.
template <typename T, int N>
int PoolFirstFree(T (&pool)[N]) {
    for (int i = 0; i < N; ++i)
        if (!pool[i].active) return i;
    return -1;
}
