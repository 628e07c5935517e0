#include "game/actors/actor.h"

#include <cstdint>

namespace {
// Edges are held inside the int range so that a far-away box cannot wrap.
int SaturatingAdd(int a, int b) {
    int64_t s = static_cast<int64_t>(a) + b;
    if (s > INT32_MAX) return INT32_MAX;
    if (s < INT32_MIN) return INT32_MIN;
    return static_cast<int>(s);
}
}  // namespace

Rect MakeRect(int x, int y, int w, int h) {
    if (w < 1 || h < 1) return Rect{};
    return Rect{x, y, SaturatingAdd(x, w), SaturatingAdd(y, h)};
}

bool RectsOverlap(const Rect& a, const Rect& b) {
    return !(a.right < b.left || b.right < a.left || a.bottom < b.top || b.bottom < a.top);
}

bool PointInRect(int px, int py, const Rect& r) {
    return r.left <= px && px <= r.right && r.top <= py && py <= r.bottom;
}

bool InRange(int v, int lo, int hi) { return lo <= v && v <= hi; }
