// Procedural drawing for the picture sources: gradients, silhouettes,
// scattered details, the ground tile set, explosion frames and the logo.
// Every procedure is seeded explicitly, so its output never varies.
// Scenery procedures wrap around horizontally: background layers repeat.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "tools/assetc/assetc.h"

namespace assetc {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Args {
    const std::vector<std::string>& words;
    const std::vector<Rgb>& palette;
    const std::vector<bool>& paletteSet;
    std::string error;

    int Int(size_t i) {
        if (i >= words.size()) {
            error = "missing number (argument " + std::to_string(i + 1) + ")";
            return 0;
        }
        char* end = nullptr;
        long v = strtol(words[i].c_str(), &end, 10);
        if (*end != 0) error = "not a number: " + words[i];
        return int(v);
    }
    Rgb Colour(size_t i) {
        if (i >= words.size()) {
            error = "missing colour (argument " + std::to_string(i + 1) + ")";
            return Rgb{};
        }
        const std::string& s = words[i];
        if (s.size() == 1 && s != ".") {
            unsigned char k = static_cast<unsigned char>(s[0]);
            if (!paletteSet[k]) error = "colour not in palette: " + s;
            return palette[k];
        }
        if (s == ".") return Rgb{};
        if (s.size() != 6) {
            error = "bad colour: " + s;
            return Rgb{};
        }
        unsigned long v = strtoul(s.c_str(), nullptr, 16);
        return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }
    size_t Count() const { return words.size(); }
};

int Wrap(int x, int w) { return ((x % w) + w) % w; }
void SetWrap(Canvas& c, int x, int y, Rgb v) { SetPixel(c, Wrap(x, c.width), y, v); }
Rgb GetWrap(const Canvas& c, int x, int y) { return GetPixel(c, Wrap(x, c.width), y); }

// Ordered 4x4 dither threshold in 0..15.
int Bayer(int x, int y) {
    static const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return m[y & 3][x & 3];
}

// gradient X Y W H C1 C2 ... : vertical bands, dithered where they meet.
std::string Gradient(Canvas& c, Args& a) {
    int x = a.Int(0), y = a.Int(1), w = a.Int(2), h = a.Int(3);
    std::vector<Rgb> cols;
    for (size_t i = 4; i < a.Count(); ++i) cols.push_back(a.Colour(i));
    if (!a.error.empty()) return a.error;
    if (cols.size() < 2 || h < 1) return "gradient needs two colours";
    for (int j = 0; j < h; ++j) {
        double t = double(j) / double(h) * double(cols.size() - 1);
        int band = std::min(int(t), int(cols.size()) - 2);
        double f = t - band;
        for (int i = 0; i < w; ++i) {
            bool upper = f * 16.0 <= Bayer(x + i, y + j) + 0.5;
            SetPixel(c, x + i, y + j, upper ? cols[size_t(band)] : cols[size_t(band) + 1]);
        }
    }
    return {};
}

// Height profile that repeats across the picture width.
std::vector<double> Profile(int width, int cycles, int seed, bool sharp) {
    Rng r(uint32_t(seed) * 7919u + 17u);
    std::vector<double> h(size_t(width), 0.0);
    int k = std::max(1, cycles);
    double amp = 1.0;
    for (int octave = 0; octave < 4; ++octave) {
        double phase = r.Unit() * 2.0 * kPi;
        for (int x = 0; x < width; ++x) {
            double s = sin(2.0 * kPi * k * x / width + phase);
            if (sharp) s = 1.0 - 2.0 * fabs(s);
            h[size_t(x)] += amp * s;
        }
        amp *= 0.45;
        k = k * 2 + 1;
    }
    return h;
}

// ridge Y AMP CYCLES SEED FILL EDGE [SHADE] [sharp]: a silhouette filling
// from a wavy top edge to the bottom of the picture.
std::string Ridge(Canvas& c, Args& a) {
    int y0 = a.Int(0), amp = a.Int(1), cycles = a.Int(2), seed = a.Int(3);
    Rgb fill = a.Colour(4), edge = a.Colour(5);
    bool hasShade = a.Count() > 6 && a.words[6] != "sharp";
    Rgb shade = hasShade ? a.Colour(6) : fill;
    bool sharp = a.words.back() == "sharp";
    if (!a.error.empty()) return a.error;
    std::vector<double> prof = Profile(c.width, cycles, seed, sharp);
    for (int x = 0; x < c.width; ++x) {
        int top = y0 - int(lround(prof[size_t(x)] * amp * 0.6));
        int prev = y0 - int(lround(prof[size_t(Wrap(x - 1, c.width))] * amp * 0.6));
        for (int y = std::max(0, top); y < c.height; ++y) {
            Rgb v = fill;
            int depth = y - top;
            if (depth < 2 || (top < prev && depth < 3)) v = edge;
            if (hasShade) {
                // Shade grows denser further down and on slopes facing right.
                int t = std::min(15, depth / 3 + (top > prev ? 4 : 0));
                if (t > Bayer(x, y) + 4) v = depth < 2 ? v : shade;
            }
            SetPixel(c, x, y, v);
        }
    }
    return {};
}

// stars X Y W H COUNT SEED C1 C2: points, some with a small cross.
std::string Stars(Canvas& c, Args& a) {
    int x = a.Int(0), y = a.Int(1), w = a.Int(2), h = a.Int(3), n = a.Int(4), seed = a.Int(5);
    Rgb c1 = a.Colour(6), c2 = a.Colour(7);
    if (!a.error.empty()) return a.error;
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int px = x + r.Below(std::max(1, w)), py = y + r.Below(std::max(1, h));
        bool big = r.Below(6) == 0;
        SetWrap(c, px, py, big ? c1 : c2);
        if (big) {
            SetWrap(c, px - 1, py, c2);
            SetWrap(c, px + 1, py, c2);
            SetWrap(c, px, py - 1, c2);
            SetWrap(c, px, py + 1, c2);
        }
    }
    return {};
}

void Disc(Canvas& c, int cx, int cy, int r, Rgb v) {
    for (int j = -r; j <= r; ++j)
        for (int i = -r; i <= r; ++i)
            if (i * i + j * j <= r * r + r / 2) SetWrap(c, cx + i, cy + j, v);
}

// Dark outline around every opaque pixel of the whole picture (wrapping).
void OutlineAll(Canvas& c, Rgb out) {
    Canvas before = c;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            if (!IsClear(GetPixel(before, x, y))) continue;
            if (!IsClear(GetWrap(before, x - 1, y)) || !IsClear(GetWrap(before, x + 1, y)) ||
                !IsClear(GetPixel(before, x, y - 1)) || !IsClear(GetPixel(before, x, y + 1)))
                SetPixel(c, x, y, out);
        }
}

// trees GROUNDY COUNT SEED TRUNK LEAF_DARK LEAF_MID LEAF_LIGHT OUTLINE
std::string Trees(Canvas& c, Args& a) {
    int gy = a.Int(0), n = a.Int(1), seed = a.Int(2);
    Rgb trunk = a.Colour(3), dark = a.Colour(4), mid = a.Colour(5), light = a.Colour(6), out = a.Colour(7);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int cx = (c.width * i) / n + r.Below(c.width / n / 2 + 1);
        int height = 40 + r.Below(40);
        int rad = 12 + r.Below(8);
        for (int y = gy - height; y < gy; ++y)
            for (int x = -2; x <= 2; ++x) SetWrap(layer, cx + x, y, x == 2 ? dark : trunk);
        int top = gy - height - rad / 2;
        int blobs = 4 + r.Below(3);
        for (int b = 0; b < blobs; ++b) {
            int bx = cx + r.Below(rad * 2) - rad, by = top + r.Below(rad) - rad / 3;
            int br = rad / 2 + r.Below(rad / 2 + 1);
            Disc(layer, bx, by, br, dark);
            Disc(layer, bx - 1, by - 1, br - 2, mid);
            Disc(layer, bx - br / 3, by - br / 3, std::max(1, br / 3), light);
        }
    }
    OutlineAll(layer, out);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

// fence GROUNDY SPACING WOOD LIGHT OUTLINE: posts and two rails.
std::string Fence(Canvas& c, Args& a) {
    int gy = a.Int(0), spacing = std::max(4, a.Int(1));
    Rgb wood = a.Colour(2), light = a.Colour(3), out = a.Colour(4);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    for (int x = 0; x < c.width; ++x) {
        for (int rail : {gy - 18, gy - 9})
            for (int k = 0; k < 3; ++k) SetPixel(layer, x, rail + k, k == 0 ? light : wood);
    }
    for (int px = 0; px < c.width; px += spacing)
        for (int y = gy - 24; y < gy; ++y)
            for (int k = 0; k < 4; ++k) SetWrap(layer, px + k, y, k == 0 ? light : (y < gy - 22 && k == 3 ? light : wood));
    OutlineAll(layer, out);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

// spikes top|bottom BASEY COUNT MAXLEN SEED FILL LIGHT SHADE OUTLINE:
// stalactites, stalagmites, icicles.
std::string Spikes(Canvas& c, Args& a) {
    bool top = a.words.size() > 0 && a.words[0] == "top";
    int base = a.Int(1), n = a.Int(2), maxLen = a.Int(3), seed = a.Int(4);
    Rgb fill = a.Colour(5), light = a.Colour(6), shade = a.Colour(7), out = a.Colour(8);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int cx = r.Below(c.width);
        int len = maxLen / 3 + r.Below(maxLen - maxLen / 3 + 1);
        int half = 3 + r.Below(6);
        for (int d = 0; d < len; ++d) {
            int wdt = half - (half * d) / len;
            int y = top ? base + d : base - d;
            for (int x = -wdt; x <= wdt; ++x) {
                Rgb v = x < -wdt / 2 ? light : (x > wdt / 2 ? shade : fill);
                SetWrap(layer, cx + x, y, v);
            }
        }
    }
    OutlineAll(layer, out);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

// crystals MINY MAXY COUNT SEED DARK MID LIGHT GLOW OUTLINE
std::string Crystals(Canvas& c, Args& a) {
    int y0 = a.Int(0), y1 = a.Int(1), n = a.Int(2), seed = a.Int(3);
    Rgb dark = a.Colour(4), mid = a.Colour(5), light = a.Colour(6), glow = a.Colour(7), out = a.Colour(8);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int cx = r.Below(c.width), by = y0 + r.Below(std::max(1, y1 - y0));
        // A faint glow halo first, then two or three shards.
        for (int j = -10; j <= 4; ++j)
            for (int k = -10; k <= 10; ++k)
                if (k * k + j * j * 2 < 90 && ((cx + k + by + j) & 1) == 0 && IsClear(GetWrap(c, cx + k, by + j)))
                    SetWrap(c, cx + k, by + j, glow);
        int shards = 2 + r.Below(2);
        for (int s = 0; s < shards; ++s) {
            int sx = cx + (s - 1) * 5, h = 8 + r.Below(10), hw = 2 + r.Below(2);
            for (int d = 0; d < h; ++d) {
                int wdt = d < h - hw ? hw : hw - (d - (h - hw));
                for (int x = -wdt; x <= wdt; ++x) {
                    Rgb v = x < 0 ? light : (x == 0 ? mid : dark);
                    SetWrap(layer, sx + x, by - d, v);
                }
            }
        }
    }
    OutlineAll(layer, out);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

// waves Y H SEED DEEP MID FOAM: sea bands with foam flecks.
std::string Waves(Canvas& c, Args& a) {
    int y0 = a.Int(0), h = a.Int(1), seed = a.Int(2);
    Rgb deep = a.Colour(3), mid = a.Colour(4), foam = a.Colour(5);
    if (!a.error.empty()) return a.error;
    Rng r{uint32_t(seed)};
    for (int y = y0; y < y0 + h; ++y)
        for (int x = 0; x < c.width; ++x) {
            double t = double(y - y0) / double(std::max(1, h));
            SetPixel(c, x, y, t * 16.0 > Bayer(x, y) + 2 ? deep : mid);
        }
    for (int row = y0 + 2; row < y0 + h; row += 5) {
        int count = 6 + r.Below(6);
        for (int i = 0; i < count; ++i) {
            int x = r.Below(c.width), len = 3 + r.Below(8 + (row - y0) / 4);
            for (int k = 0; k < len; ++k) SetWrap(c, x + k, row, (k == 0 || k == len - 1) ? mid : foam);
        }
    }
    return {};
}

// columns GROUNDY COUNT SEED STONE LIGHT SHADE OUTLINE: broken pillars.
std::string Columns(Canvas& c, Args& a) {
    int gy = a.Int(0), n = a.Int(1), seed = a.Int(2);
    Rgb stone = a.Colour(3), light = a.Colour(4), shade = a.Colour(5), out = a.Colour(6);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int cx = (c.width * i) / n + r.Below(c.width / n / 2 + 1);
        int hw = 7 + r.Below(3), h = 40 + r.Below(70);
        // Base and capital blocks, fluted shaft, a slanted break at the top.
        int slant = r.Below(2) ? 1 : -1;
        for (int y = gy - h; y < gy; ++y) {
            int w = (y > gy - 6) ? hw + 3 : hw;
            for (int x = -w; x <= w; ++x) {
                int breakY = gy - h + (slant * x + w) / 2;
                if (y < breakY) continue;
                Rgb v = stone;
                if (x <= -w + 2) v = light;
                else if (x >= w - 2) v = shade;
                else if (w == hw && (x + hw) % 4 == 0) v = shade;
                if (y == gy - 6) v = shade;
                SetWrap(layer, cx + x, y, v);
            }
        }
        // A fallen drum beside it.
        int fx = cx + hw + 6 + r.Below(10);
        for (int y = gy - 8; y < gy; ++y)
            for (int x = 0; x < 14; ++x) SetWrap(layer, fx + x, y, y == gy - 8 ? light : (y > gy - 3 ? shade : stone));
    }
    OutlineAll(layer, out);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

// lanterns MINY MAXY COUNT SEED GLOW FLAME BODY OUTLINE: floating lights.
std::string Lanterns(Canvas& c, Args& a) {
    int y0 = a.Int(0), y1 = a.Int(1), n = a.Int(2), seed = a.Int(3);
    Rgb glow = a.Colour(4), flame = a.Colour(5), body = a.Colour(6), out = a.Colour(7);
    if (!a.error.empty()) return a.error;
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int cx = (c.width * i) / n + r.Below(c.width / n / 2 + 1), cy = y0 + r.Below(std::max(1, y1 - y0));
        for (int j = -9; j <= 9; ++j)
            for (int k = -9; k <= 9; ++k)
                if (k * k + j * j < 80 && ((k + j + cx + cy) & 1) == 0 && IsClear(GetWrap(c, cx + k, cy + j)))
                    SetWrap(c, cx + k, cy + j, glow);
        for (int j = -5; j <= 5; ++j)
            for (int k = -3; k <= 3; ++k) {
                bool edge = j == -5 || j == 5 || k == -3 || k == 3;
                SetWrap(c, cx + k, cy + j, edge ? out : (j == -4 || j == 4 ? body : flame));
            }
        SetWrap(c, cx, cy - 6, out);
        SetWrap(c, cx, cy, glow);
    }
    return {};
}

// arches GROUNDY COUNT SEED BONE SHADE OUTLINE: rib-like bone arches.
std::string Arches(Canvas& c, Args& a) {
    int gy = a.Int(0), n = a.Int(1), seed = a.Int(2);
    Rgb bone = a.Colour(3), shade = a.Colour(4), out = a.Colour(5);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    Rng r{uint32_t(seed)};
    for (int i = 0; i < n; ++i) {
        int cx = (c.width * i) / n + r.Below(c.width / n / 3 + 1);
        int rad = 28 + r.Below(24), th = 4 + r.Below(2);
        for (int deg = 0; deg <= 180; ++deg) {
            double t = deg * kPi / 180.0;
            for (int k = 0; k < th; ++k) {
                int x = cx + int(lround(cos(t) * (rad - k)));
                int y = gy - int(lround(sin(t) * (rad * 1.4 - k)));
                SetWrap(layer, x, y, k == 0 ? shade : bone);
            }
        }
        // Knobbly joints where the arch meets the ground and at its crown.
        for (int jx : {cx - rad, cx + rad}) Disc(layer, jx, gy - 3, 4, bone);
        Disc(layer, cx, gy - int(rad * 1.4) + 2, 3, bone);
    }
    OutlineAll(layer, out);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

// speckle X Y W H PERCENT SEED C: recolours a share of the opaque pixels.
std::string Speckle(Canvas& c, Args& a) {
    int x = a.Int(0), y = a.Int(1), w = a.Int(2), h = a.Int(3), pct = a.Int(4), seed = a.Int(5);
    Rgb v = a.Colour(6);
    if (!a.error.empty()) return a.error;
    Rng r{uint32_t(seed)};
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (r.Below(100) < pct && !IsClear(GetPixel(c, i, j))) SetPixel(c, i, j, v);
    return {};
}

// checker X Y W H C: every other pixel, a see-through shade.
std::string Checker(Canvas& c, Args& a) {
    int x = a.Int(0), y = a.Int(1), w = a.Int(2), h = a.Int(3);
    Rgb v = a.Colour(4);
    if (!a.error.empty()) return a.error;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (((i + j) & 1) == 0) SetPixel(c, i, j, v);
    return {};
}

// ------------------------------------------------------------- ground tiles

// Which neighbours are ground for each of the 16 variants: right, left, up, down.
const bool kVariantSides[16][4] = {
    {1, 1, 1, 1}, {0, 0, 0, 0}, {1, 1, 0, 1}, {1, 1, 1, 0}, {1, 0, 1, 1}, {0, 1, 1, 1}, {1, 1, 0, 0}, {0, 0, 1, 1},
    {1, 0, 0, 1}, {0, 1, 0, 1}, {1, 0, 1, 0}, {0, 1, 1, 0}, {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0},
};

struct GroundColours {
    Rgb out, dark, mid, light, top, topLight;
};

// Interior texture of one style; periodic in 16 so tiles join seamlessly.
Rgb GroundTexture(int style, int x, int y, const GroundColours& g) {
    switch (style) {
        case 0: {  // earth with pebbles
            static const char* pat[16] = {
                "mmmmmmmmmmmmmmmm", "mmmmdmmmmmmmmmmm", "mmmdlmmmmmmmmdmm", "mmmmmmmmmmmmmmmm",
                "mmmmmmmmmmdmmmmm", "mdmmmmmmmmmmmmmm", "mmmmmmmmmmmmmmmm", "mmmmmmldmmmmmmmm",
                "mmmmmmddmmmmmdmm", "mmmmmmmmmmmmmmmm", "mmdmmmmmmmmmmmmm", "mmmmmmmmmmmmmdlm",
                "mmmmmmmmmmmmmmdm", "mmmmmdmmmmmmmmmm", "mmmmmmmmmmmmmmmm", "mmmmmmmmmdmmmmmm"};
            char k = pat[y & 15][x & 15];
            return k == 'd' ? g.dark : (k == 'l' ? g.light : g.mid);
        }
        case 1: {  // rock with cracks
            static const char* pat[16] = {
                "mmmmmmmmmmmmmmmm", "mmllmmmmmmmmdmmm", "mlmmmmmmmmmdmmmm", "mmmmmdmmmmdmmmmm",
                "mmmmmmdmmmmmmmml", "mmmmmmmdddmmmmmm", "mmmmmmmmmmdmmmmm", "lmmmmmmmmmmmmmmm",
                "mmmmmmmmmmmmlmmm", "mmmddmmmmmmlmmmm", "mmdmmmmmmmmmmmmm", "mdmmmmmmmmmmmmdm",
                "mmmmmmmmmmmmmdmm", "mmmmmlmmmmmmmmmm", "mmmmlmmmmmmmmmmm", "mmmmmmmmmmmmmmmm"};
            char k = pat[y & 15][x & 15];
            return k == 'd' ? g.dark : (k == 'l' ? g.light : g.mid);
        }
        case 2: {  // sandstone bricks, 8 high, staggered
            int row = (y & 15) / 8, yy = y & 7;
            int xx = (x + row * 8) & 15;
            if (yy == 7 || xx == 15) return g.dark;
            if (yy == 0 || xx == 0) return g.light;
            if ((xx * 7 + yy * 3) % 11 == 0) return g.dark;
            return g.mid;
        }
        case 3: {  // obsidian with glossy streaks
            int d = (x + y) & 15;
            if (d == 3 && (y & 7) < 5) return g.light;
            if (d == 11 || ((x - y) & 15) == 7) return g.dark;
            return g.mid;
        }
        default: {  // ice with diagonal shine
            int d = (x + 2 * y) & 15;
            if (d == 0 || d == 1) return g.light;
            if (((x * 5 + y * 3) & 15) == 0) return g.dark;
            return g.mid;
        }
    }
}

// Rows cut away from an open underside, per column, for each style.
const int kUndersideCut[5][16] = {
    {0, 1, 1, 0, 0, 0, 1, 2, 1, 0, 0, 1, 1, 0, 0, 1},
    {2, 2, 1, 0, 1, 2, 2, 2, 2, 1, 0, 0, 1, 2, 2, 2},
    {0},
    {0, 1, 2, 1, 0, 1, 2, 3, 2, 1, 0, 1, 2, 1, 0, 1},
    {3, 3, 1, 0, 1, 3, 3, 3, 2, 0, 2, 3, 3, 1, 0, 2},
};

void DrawGroundTile(Canvas& c, int ox, int oy, int style, int variant, const GroundColours& g) {
    const int (&cut)[16] = kUndersideCut[style];
    bool right = kVariantSides[variant][0], left = kVariantSides[variant][1];
    bool up = kVariantSides[variant][2], down = kVariantSides[variant][3];
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            Rgb v = GroundTexture(style, x, y, g);
            // Shade toward open bottom and right sides, light toward open left.
            if (!down && y >= 13) v = y == 15 ? g.out : g.dark;
            if (!right && x >= 14) v = x == 15 ? g.out : g.dark;
            if (!left && x <= 1) v = x == 0 ? g.out : (y > 1 ? g.light : v);
            if (!up) {
                if (y == 0) v = g.out;
                else if (y <= 3 || (y == 4 && ((x * 3 + style) % 5 < 2))) v = (y == 1) ? g.topLight : g.top;
                else if (y == 4 || (y == 5 && (x & 3) == 1)) v = g.dark;
            }
            SetPixel(c, ox + x, oy + y, v);
        }
    // The top cover (grass, lichen, crust, snow) spills a little down open
    // sides, so the corner of a ledge reads from afar.
    if (!up) {
        const int spill[4][2] = {{5, 1}, {6, 1}, {5, 2}, {7, 1}};
        for (const auto& p : spill) {
            int y = p[0];
            if (y == 7 && style != 0 && style != 4) continue;  // long drips for grass and snow
            if (!left) SetPixel(c, ox + p[1], oy + y, y == 7 ? g.topLight : g.top);
            if (!right) SetPixel(c, ox + 15 - p[1], oy + y, y == 7 ? g.topLight : g.top);
        }
    }
    // An open underside is ragged in the style's own way: earth with roots,
    // rock with small stalactites, jagged glass, icicles; brick stays square.
    // The rows cut away per column repeat every 16 pixels, so ledges join.
    if (!down) {
        for (int x = 0; x < 16; ++x) {
            int k = cut[x];
            if (k == 0) continue;
            for (int y = 16 - k; y < 16; ++y) SetPixel(c, ox + x, oy + y, Rgb{});
            SetPixel(c, ox + x, oy + 15 - k, g.out);
            if (15 - k - 1 >= 0 && GetPixel(c, ox + x, oy + 14 - k) != g.out) SetPixel(c, ox + x, oy + 14 - k, g.dark);
        }
        // Tips and roots: the lowest columns end in a lit point or a root.
        for (int x = 1; x < 15; ++x)
            if (style != 2 && cut[x] == 0 && cut[x - 1] > 0 && cut[x + 1] > 0)
                SetPixel(c, ox + x, oy + 14, style == 0 ? g.out : g.light);
    }
    // Round the corners where two open sides meet.
    auto corner = [&](int cx, int cy, int dx, int dy) {
        SetPixel(c, ox + cx, oy + cy, Rgb{});
        SetPixel(c, ox + cx + dx, oy + cy, g.out);
        SetPixel(c, ox + cx, oy + cy + dy, g.out);
    };
    if (!up && !left) corner(0, 0, 1, 1);
    if (!up && !right) corner(15, 0, -1, 1);
    // (where a ragged underside is cut at the corner, the cut shapes it)
    if (!down && !left && cut[0] == 0) corner(0, 15, 1, -1);
    if (!down && !right && cut[15] == 0) corner(15, 15, -1, -1);
}

void DrawBlockTile(Canvas& c, int ox, int oy, const GroundColours& g) {
    // A riveted crate that reads as breakable: bevelled frame, cross brace.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            Rgb v = g.mid;
            bool frame = x <= 1 || y <= 1 || x >= 14 || y >= 14;
            if (frame) v = (x <= 1 || y <= 1) ? g.light : g.dark;
            if (!frame && (x - y == 0 || x + y == 15)) v = g.light;
            if (!frame && (x - y == -1 || x + y == 16)) v = g.dark;
            if (x == 0 || y == 0 || x == 15 || y == 15) v = g.out;
            SetPixel(c, ox + x, oy + y, v);
        }
    for (int rx : {2, 13})
        for (int ry : {2, 13}) SetPixel(c, ox + rx, oy + ry, g.topLight);
}

void DrawChunk(Canvas& c, int ox, int oy, int size, const GroundColours& g) {
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            bool cornerCut = (x == 0 || x == size - 1) && (y == 0 || y == size - 1);
            if (cornerCut) continue;
            Rgb v = g.mid;
            if (x == 0 || y == 0 || x == size - 1 || y == size - 1) v = g.out;
            else if (x == 1 || y == 1) v = g.light;
            else if (x == size - 2 || y == size - 2) v = g.dark;
            SetPixel(c, ox + x, oy + y, v);
        }
}

// groundrow ROW STYLE OUT DARK MID LIGHT TOP TOPLIGHT: the 16 neighbour
// variants, the breakable block (column 16) and two debris pieces
// (6 x 6 in column 17, 8 x 8 in column 18) for one ground style.
std::string GroundRow(Canvas& c, Args& a) {
    int row = a.Int(0), style = a.Int(1);
    GroundColours g{a.Colour(2), a.Colour(3), a.Colour(4), a.Colour(5), a.Colour(6), a.Colour(7)};
    if (!a.error.empty()) return a.error;
    if (style < 0 || style > 4) return "ground style 0..4";
    int oy = row * 16;
    for (int v = 0; v < 16; ++v) DrawGroundTile(c, v * 16, oy, style, v, g);
    DrawBlockTile(c, 16 * 16, oy, g);
    DrawChunk(c, 17 * 16, oy, 6, g);
    DrawChunk(c, 18 * 16, oy, 8, g);
    return {};
}

// ---------------------------------------------------------------- explosion

// explosion SIZE SEED WHITE YELLOW ORANGE RED SMOKE SMOKE_DARK: ten frames
// in one row; a flash, a fireball that swells and breaks into smoke puffs.
std::string Explosion(Canvas& c, Args& a) {
    int size = a.Int(0), seed = a.Int(1);
    Rgb white = a.Colour(2), yellow = a.Colour(3), orange = a.Colour(4), red = a.Colour(5), smoke = a.Colour(6),
        smokeDark = a.Colour(7);
    if (!a.error.empty()) return a.error;
    Rng r{uint32_t(seed)};
    struct Puff {
        double ang, dist, rad;
    };
    std::vector<Puff> puffs;
    for (int i = 0; i < 9; ++i) puffs.push_back({r.Unit() * 2 * kPi, 0.3 + r.Unit() * 0.3, 0.22 + r.Unit() * 0.14});
    for (int f = 0; f < 10; ++f) {
        int ox = f * size;
        double half = size / 2.0;
        double grow = std::min(1.0, (f + 1) / 4.0);
        double heat = 1.0 - f / 9.0;  // 1 hot .. 0 cold
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                double dx = (x + 0.5 - half) / half, dy = (y + 0.5 - half) / half;
                double best = 0.0;  // how deep inside any blob, 0..1
                // Central ball shrinks after frame 4 while the puffs drift out.
                double core = 0.7 * grow * (f < 5 ? 1.0 : 1.0 - (f - 4) / 6.0);
                double d0 = sqrt(dx * dx + dy * dy);
                if (core > 0 && d0 < core) best = std::max(best, 1.0 - d0 / core);
                for (const Puff& p : puffs) {
                    double dist = p.dist * (0.4 + 0.6 * grow) + f * 0.03;
                    double pr = p.rad * (0.6 + f * 0.09) * (f > 7 ? 1.0 - (f - 7) * 0.3 : 1.0);
                    double px = cos(p.ang) * dist, py = sin(p.ang) * dist - f * 0.02;
                    double d = sqrt((dx - px) * (dx - px) + (dy - py) * (dy - py));
                    if (pr > 0 && d < pr) best = std::max(best, 1.0 - d / pr);
                }
                if (best <= 0.0) continue;
                double t = best * (0.35 + heat) + (Bayer(x, y) - 7.5) / 100.0;
                Rgb v;
                if (f == 0) v = best > 0.3 ? white : yellow;
                else if (t > 1.05) v = white;
                else if (t > 0.8) v = yellow;
                else if (t > 0.55) v = orange;
                else if (t > 0.35) v = red;
                else if (t > 0.18) v = smoke;
                else v = smokeDark;
                SetPixel(c, ox + x, y, v);
            }
        // Sparks on the early frames.
        if (f >= 1 && f <= 5) {
            Rng sr{uint32_t(seed + f * 31)};
            for (int s = 0; s < 6 + size / 8; ++s) {
                double ang = sr.Unit() * 2 * kPi, d = half * (0.5 + 0.12 * f + sr.Unit() * 0.2);
                int sx = int(half + cos(ang) * d), sy = int(half + sin(ang) * d);
                if (sx >= 0 && sy >= 0 && sx < size && sy < size) SetPixel(c, ox + sx, sy, f < 3 ? white : yellow);
            }
        }
    }
    return {};
}

// --------------------------------------------------------------------- logo

// 5 x 7 capital letters for the game's name and the title lettering.
const std::map<char, const char*>& LogoFont() {
    static const std::map<char, const char*> font = {
        {'A', ".###.#...##...#######...##...##...#"}, {'B', "####.#...#####.#...##...##...#####."},
        {'E', "######....####.#....#....#....#####"}, {'L', "#....#....#....#....#....#....#####"},
        {'O', ".###.#...##...##...##...##...#.###."}, {'Q', ".###.#...##...##...##.#.##..#..##.#"},
        {'R', "####.#...##...#####.#.#..#..#.#...#"}, {'U', "#...##...##...##...##...##...#.###."},
        {' ', "..................................."},
    };
    return font;
}

// logo X Y SCALE TEXT TOP BOTTOM LIGHT OUTLINE SHADOW: big letters with a
// two-tone vertical fill, a highlight row, a thick outline and a drop shadow.
std::string Logo(Canvas& c, Args& a) {
    int x0 = a.Int(0), y0 = a.Int(1), s = a.Int(2);
    if (a.Count() < 9) return "logo X Y SCALE TEXT TOP BOTTOM LIGHT OUTLINE SHADOW";
    std::string text = a.words[3];
    Rgb top = a.Colour(4), bottom = a.Colour(5), light = a.Colour(6), out = a.Colour(7), shadow = a.Colour(8);
    if (!a.error.empty()) return a.error;
    Canvas layer = MakeCanvas(c.width, c.height);
    int pen = x0;
    for (char ch : text) {
        auto it = LogoFont().find(ch == '_' ? ' ' : ch);
        if (it == LogoFont().end()) return std::string("logo has no letter ") + ch;
        for (int gy = 0; gy < 7; ++gy)
            for (int gx = 0; gx < 5; ++gx) {
                if (it->second[gy * 5 + gx] != '#') continue;
                for (int j = 0; j < s; ++j)
                    for (int i = 0; i < s; ++i) {
                        int py = gy * s + j;
                        Rgb v = py < 7 * s / 2 ? top : bottom;
                        if (py == 7 * s / 2 && ((i + gx * s) & 1)) v = top;
                        if (j == 0 && (gy == 0 || it->second[(gy - 1) * 5 + gx] != '#')) v = light;
                        SetPixel(layer, pen + gx * s + i, y0 + py, v);
                    }
            }
        pen += 6 * s;
    }
    // Outline of thickness two, then a shadow offset down-right.
    Canvas shape = layer;
    for (int pass = 0; pass < 2; ++pass) {
        Canvas before = layer;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                if (!IsClear(GetPixel(before, x, y))) continue;
                bool near = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (!IsClear(GetPixel(before, x + dx, y + dy))) near = true;
                if (near) SetPixel(layer, x, y, out);
            }
    }
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x - 3, y - 3)) && IsClear(GetPixel(c, x, y))) SetPixel(c, x, y, shadow);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (!IsClear(GetPixel(layer, x, y))) SetPixel(c, x, y, GetPixel(layer, x, y));
    return {};
}

}  // namespace

std::string RunProcedure(Canvas& c, const std::string& name, const std::vector<std::string>& args,
                         const std::vector<Rgb>& palette, const std::vector<bool>& paletteSet) {
    Args a{args, palette, paletteSet, {}};
    std::string err;
    if (name == "gradient") err = Gradient(c, a);
    else if (name == "ridge") err = Ridge(c, a);
    else if (name == "stars") err = Stars(c, a);
    else if (name == "trees") err = Trees(c, a);
    else if (name == "fence") err = Fence(c, a);
    else if (name == "spikes") err = Spikes(c, a);
    else if (name == "crystals") err = Crystals(c, a);
    else if (name == "waves") err = Waves(c, a);
    else if (name == "columns") err = Columns(c, a);
    else if (name == "lanterns") err = Lanterns(c, a);
    else if (name == "arches") err = Arches(c, a);
    else if (name == "speckle") err = Speckle(c, a);
    else if (name == "checker") err = Checker(c, a);
    else if (name == "groundrow") err = GroundRow(c, a);
    else if (name == "explosion") err = Explosion(c, a);
    else if (name == "logo") err = Logo(c, a);
    else return "unknown procedure " + name;
    if (err.empty() && !a.error.empty()) err = a.error;
    return err.empty() ? err : name + ": " + err;
}

}  // namespace assetc
