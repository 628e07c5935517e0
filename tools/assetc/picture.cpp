// The picture source language: a canvas size, a palette of one-character
// names, text grids placed at pixel positions, a few drawing primitives,
// copies with mirroring/flipping/rotation, and procedural drawing.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tools/assetc/assetc.h"

namespace assetc {

namespace {

struct Parser {
    std::string path;
    std::vector<std::string> lines;
    size_t next = 0;
    int lineNo = 0;
    std::vector<Rgb> palette = std::vector<Rgb>(256);
    std::vector<bool> paletteSet = std::vector<bool>(256, false);
    int originX = 0, originY = 0;
    bool sized = false;

    std::string Where() const { return path + ":" + std::to_string(lineNo) + ": "; }
};

bool ParseInt(const std::string& s, int& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    long n = strtol(s.c_str(), &end, 10);
    if (*end != 0 || n < -100000 || n > 100000) return false;
    v = int(n);
    return true;
}

bool ParseHex(const std::string& s, Rgb& c) {
    if (s.size() != 6) return false;
    for (char ch : s)
        if (!isxdigit(static_cast<unsigned char>(ch))) return false;
    unsigned long v = strtoul(s.c_str(), nullptr, 16);
    c.r = uint8_t(v >> 16);
    c.g = uint8_t(v >> 8);
    c.b = uint8_t(v);
    return true;
}

// A colour word: one palette character, "." for transparent, or six hex digits.
bool ParseColour(const Parser& p, const std::string& s, Rgb& c) {
    if (s == ".") {
        c = Rgb{};
        return true;
    }
    if (s.size() == 1) {
        unsigned char k = static_cast<unsigned char>(s[0]);
        if (!p.paletteSet[k]) return false;
        c = p.palette[k];
        return true;
    }
    return ParseHex(s, c);
}

void FillRect(Canvas& c, int x, int y, int w, int h, Rgb v) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) SetPixel(c, i, j, v);
}

void FillEllipse(Canvas& c, int cx, int cy, int rx, int ry, Rgb v) {
    if (rx <= 0 || ry <= 0) return;
    for (int j = -ry; j <= ry; ++j)
        for (int i = -rx; i <= rx; ++i) {
            double d = double(i * i) / double(rx * rx) + double(j * j) / double(ry * ry);
            if (d <= 1.0 + 0.5 / double(std::max(rx, ry))) SetPixel(c, cx + i, cy + j, v);
        }
}

void FillTriangle(Canvas& c, int x1, int y1, int x2, int y2, int x3, int y3, Rgb v) {
    int minX = std::min({x1, x2, x3}), maxX = std::max({x1, x2, x3});
    int minY = std::min({y1, y2, y3}), maxY = std::max({y1, y2, y3});
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return (long(bx - ax) * long(py - ay) - long(by - ay) * long(px - ax));
    };
    long area = edge(x1, y1, x2, y2, x3, y3);
    if (area == 0) return;
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x) {
            long a = edge(x1, y1, x2, y2, x, y), b = edge(x2, y2, x3, y3, x, y), d = edge(x3, y3, x1, y1, x, y);
            if (area > 0 ? (a >= 0 && b >= 0 && d >= 0) : (a <= 0 && b <= 0 && d <= 0)) SetPixel(c, x, y, v);
        }
}

void DrawLine(Canvas& c, int x1, int y1, int x2, int y2, Rgb v) {
    int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        SetPixel(c, x1, y1, v);
        if (x1 == x2 && y1 == y2) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x1 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y1 += sy;
        }
    }
}

// Clear pixels next to an opaque one (4 neighbours) inside the region get v.
void Outline(Canvas& c, int x, int y, int w, int h, Rgb v, bool diagonal) {
    Canvas before = c;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            if (!IsClear(GetPixel(before, i, j))) continue;
            bool near = false;
            for (int dj = -1; dj <= 1 && !near; ++dj)
                for (int di = -1; di <= 1 && !near; ++di) {
                    if (di == 0 && dj == 0) continue;
                    if (!diagonal && di != 0 && dj != 0) continue;
                    int ni = i + di, nj = j + dj;
                    if (ni < x || nj < y || ni >= x + w || nj >= y + h) continue;
                    Rgb n = GetPixel(before, ni, nj);
                    if (!IsClear(n) && n != v) near = true;
                }
            if (near) SetPixel(c, i, j, v);
        }
}

// Copies a w x h region to (dx, dy) with an optional transform; only opaque
// pixels are copied, and the destination is clipped to its own w x h box
// (so an offset copy shifts the content inside the cell).
std::string Copy(Canvas& c, int sx, int sy, int w, int h, int dx, int dy, const std::string& mode, int ox,
                 int oy) {
    Canvas src = MakeCanvas(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) SetPixel(src, i, j, GetPixel(c, sx + i, sy + j));
    int ow = w, oh = h;
    if (mode == "rot-cw" || mode == "rot-ccw") std::swap(ow, oh);
    Canvas dst = MakeCanvas(ow, oh);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Rgb p = GetPixel(src, i, j);
            int ti = i, tj = j;
            if (mode == "plain") {
            } else if (mode == "mirror") {
                ti = w - 1 - i;
            } else if (mode == "flip") {
                tj = h - 1 - j;
            } else if (mode == "turn") {
                ti = w - 1 - i;
                tj = h - 1 - j;
            } else if (mode == "rot-cw") {
                ti = h - 1 - j;
                tj = i;
            } else if (mode == "rot-ccw") {
                ti = j;
                tj = w - 1 - i;
            } else if (mode == "squash") {
                // Every other row, resting on the cell's floor.
                if (j % 2 == 1) continue;
                tj = h - (h + 1) / 2 + j / 2;
            } else {
                return "unknown copy mode " + mode;
            }
            if (!IsClear(p)) SetPixel(dst, ti, tj, p);
        }
    for (int j = 0; j < oh; ++j)
        for (int i = 0; i < ow; ++i) {
            Rgb p = GetPixel(dst, i, j);
            int ti = i + ox, tj = j + oy;
            if (ti < 0 || tj < 0 || ti >= ow || tj >= oh) continue;
            if (!IsClear(p)) SetPixel(c, dx + ti, dy + tj, p);
        }
    return {};
}

bool ReadInts(const std::vector<std::string>& w, size_t from, size_t count, std::vector<int>& out) {
    if (w.size() < from + count) return false;
    out.clear();
    for (size_t i = 0; i < count; ++i) {
        int v;
        if (!ParseInt(w[from + i], v)) return false;
        out.push_back(v);
    }
    return true;
}

}  // namespace

std::string CompilePicture(const std::string& sourcePath, Picture& out) {
    Parser p;
    p.path = sourcePath;
    std::string text;
    if (!ReadTextFile(sourcePath, text)) return "cannot read " + sourcePath;
    {
        std::string cur;
        for (char ch : text) {
            if (ch == '\n') {
                p.lines.push_back(cur);
                cur.clear();
            } else {
                cur += ch;
            }
        }
        if (!cur.empty()) p.lines.push_back(cur);
    }
    Canvas& c = out.canvas;
    while (p.next < p.lines.size()) {
        std::string raw = p.lines[p.next++];
        p.lineNo = int(p.next);
        size_t hash = raw.find('#');
        std::string line = Trim(hash == std::string::npos ? raw : raw.substr(0, hash));
        if (line.empty()) continue;
        std::vector<std::string> w = SplitWords(line);
        const std::string& cmd = w[0];
        std::vector<int> n;
        if (cmd == "size") {
            if (!ReadInts(w, 1, 2, n) || n[0] < 1 || n[1] < 1 || n[0] > 4096 || n[1] > 4096)
                return p.Where() + "size needs a width and a height (1..4096)";
            c = MakeCanvas(n[0], n[1]);
            p.sized = true;
            continue;
        }
        if (!p.sized) return p.Where() + "the first command must be size";
        if (cmd == "format") {
            if (w.size() != 2) return p.Where() + "format png|bmp|tga";
            if (w[1] == "png")
                out.format = PictureFormat::Png;
            else if (w[1] == "bmp")
                out.format = PictureFormat::Bmp;
            else if (w[1] == "tga")
                out.format = PictureFormat::Tga;
            else
                return p.Where() + "unknown format " + w[1];
        } else if (cmd == "palette") {
            for (;;) {
                if (p.next >= p.lines.size()) return p.Where() + "palette without end";
                std::string l = p.lines[p.next++];
                p.lineNo = int(p.next);
                size_t h2 = l.find(" #");
                if (h2 != std::string::npos) l = l.substr(0, h2);
                std::vector<std::string> pw = SplitWords(l);
                if (pw.empty()) continue;
                if (pw[0] == "end") break;
                Rgb col;
                if (pw.size() < 2 || pw[0].size() != 1 || pw[0] == "." || !ParseHex(pw[1], col))
                    return p.Where() + "palette entry: KEY RRGGBB";
                if (std::max({col.r, col.g, col.b}) < 8)
                    return p.Where() + "000000 is the transparent colour and anything darker than 080808 looks like it";
                unsigned char k = static_cast<unsigned char>(pw[0][0]);
                p.palette[k] = col;
                p.paletteSet[k] = true;
            }
        } else if (cmd == "origin") {
            if (!ReadInts(w, 1, 2, n)) return p.Where() + "origin X Y";
            p.originX = n[0];
            p.originY = n[1];
        } else if (cmd == "grid") {
            if (!ReadInts(w, 1, 2, n)) return p.Where() + "grid X Y";
            int gx = n[0] + p.originX, gy = n[1] + p.originY;
            int row = 0;
            for (;;) {
                if (p.next >= p.lines.size()) return p.Where() + "grid without end";
                std::string l = p.lines[p.next++];
                p.lineNo = int(p.next);
                std::string t = Trim(l);
                if (t == "end") break;
                for (size_t i = 0; i < t.size(); ++i) {
                    char ch = t[i];
                    if (ch == '.' || ch == ' ') continue;
                    unsigned char k = static_cast<unsigned char>(ch);
                    if (!p.paletteSet[k]) return p.Where() + "colour '" + std::string(1, ch) + "' is not in the palette";
                    int px = gx + int(i), py = gy + row;
                    if (!InCanvas(c, px, py)) return p.Where() + "grid pixel outside the picture";
                    SetPixel(c, px, py, p.palette[k]);
                }
                ++row;
            }
        } else if (cmd == "rect" || cmd == "ellipse") {
            Rgb col;
            if (!ReadInts(w, 1, 4, n) || w.size() != 6 || !ParseColour(p, w[5], col))
                return p.Where() + cmd + " needs four numbers and a colour";
            if (cmd == "rect")
                FillRect(c, n[0] + p.originX, n[1] + p.originY, n[2], n[3], col);
            else
                FillEllipse(c, n[0] + p.originX, n[1] + p.originY, n[2], n[3], col);
        } else if (cmd == "tri") {
            Rgb col;
            if (!ReadInts(w, 1, 6, n) || w.size() != 8 || !ParseColour(p, w[7], col))
                return p.Where() + "tri X1 Y1 X2 Y2 X3 Y3 C";
            FillTriangle(c, n[0] + p.originX, n[1] + p.originY, n[2] + p.originX, n[3] + p.originY,
                         n[4] + p.originX, n[5] + p.originY, col);
        } else if (cmd == "line") {
            Rgb col;
            if (!ReadInts(w, 1, 4, n) || w.size() != 6 || !ParseColour(p, w[5], col))
                return p.Where() + "line X1 Y1 X2 Y2 C";
            DrawLine(c, n[0] + p.originX, n[1] + p.originY, n[2] + p.originX, n[3] + p.originY, col);
        } else if (cmd == "outline" || cmd == "outline8") {
            Rgb col;
            if (!ReadInts(w, 1, 4, n) || w.size() != 6 || !ParseColour(p, w[5], col) || IsClear(col))
                return p.Where() + cmd + " X Y W H C";
            Outline(c, n[0] + p.originX, n[1] + p.originY, n[2], n[3], col, cmd == "outline8");
        } else if (cmd == "recolor") {
            Rgb from, to;
            if (!ReadInts(w, 1, 4, n) || w.size() != 7 || !ParseColour(p, w[5], from) || !ParseColour(p, w[6], to))
                return p.Where() + "recolor X Y W H FROM TO";
            for (int j = 0; j < n[3]; ++j)
                for (int i = 0; i < n[2]; ++i) {
                    int px = n[0] + p.originX + i, py = n[1] + p.originY + j;
                    if (InCanvas(c, px, py) && GetPixel(c, px, py) == from) SetPixel(c, px, py, to);
                }
        } else if (cmd == "copy") {
            if (!ReadInts(w, 1, 6, n)) return p.Where() + "copy SX SY W H DX DY [MODE [OX OY]]";
            std::string mode = w.size() > 7 ? w[7] : "plain";
            int ox = 0, oy = 0;
            if (w.size() > 8) {
                std::vector<int> o;
                if (!ReadInts(w, 8, 2, o)) return p.Where() + "copy offset OX OY";
                ox = o[0];
                oy = o[1];
            }
            std::string err = Copy(c, n[0], n[1], n[2], n[3], n[4], n[5], mode, ox, oy);
            if (!err.empty()) return p.Where() + err;
        } else if (cmd == "proc") {
            if (w.size() < 2) return p.Where() + "proc NAME ARGS";
            std::vector<std::string> args(w.begin() + 2, w.end());
            std::string err = RunProcedure(c, w[1], args, p.palette, p.paletteSet);
            if (!err.empty()) return p.Where() + err;
        } else {
            return p.Where() + "unknown command " + cmd;
        }
    }
    if (!p.sized) return sourcePath + ": empty picture";
    return {};
}

}  // namespace assetc
