// The desktop icons, put together from the game's own pictures: the
// adventurer alone at 16 and 48 pixels, and at 32 pixels and its whole
// multiples the adventurer throwing his drill on a patch of meadow.
#include <cstdio>
#include <png.h>
#include <vector>
#include <string>
#include <utility>

#include "tools/assetc/assetc.h"

namespace assetc {

namespace {

std::string Load(const std::string& dir, const std::string& name, Canvas& out) {
    Picture p;
    std::string err = CompilePicture(dir + "/" + name + ".pic", p);
    if (!err.empty()) return err;
    out = p.canvas;
    return {};
}

void Copy(Canvas& dst, const Canvas& src, int dx, int dy, int sx, int sy, int w, int h, bool keyed) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Rgb p = GetPixel(src, sx + i, sy + j);
            if (!keyed || !IsClear(p)) SetPixel(dst, dx + i, dy + j, p);
        }
}

Canvas Enlarge(const Canvas& c, int s) {
    Canvas o = MakeCanvas(c.width * s, c.height * s);
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x) SetPixel(o, x, y, GetPixel(c, x / s, y / s));
    return o;
}

// Clears the corners to a rounded square of the given radius.
void RoundCorners(Canvas& c, int radius) {
    for (int y = 0; y < radius; ++y)
        for (int x = 0; x < radius; ++x) {
            int dx = radius - x, dy = radius - y;
            if (dx * dx + dy * dy <= radius * radius) continue;
            for (int corner = 0; corner < 4; ++corner) {
                int px = corner & 1 ? c.width - 1 - x : x;
                int py = corner & 2 ? c.height - 1 - y : y;
                SetPixel(c, px, py, Rgb{0, 0, 0});
            }
        }
}

// RGBA PNG: the game's transparent black becomes alpha 0.
std::string WriteIconPng(const Canvas& c, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return "cannot create " + path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return "cannot write " + path;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, c.width, c.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(c.width) * 4);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            Rgb p = GetPixel(c, x, y);
            png_byte* o = &row[size_t(x) * 4];
            o[0] = p.r, o[1] = p.g, o[2] = p.b, o[3] = IsClear(p) ? 0 : 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 ? std::string() : "cannot write " + path;
}

}  // namespace

// Writes OUT_DIR/quellbore-SIZE.png for each size; "" on success.
std::string WriteIcons(const std::string& picturesDir, const std::string& outDir) {
    Canvas hero, drill, ground, sky;
    for (auto [name, canvas] : {std::pair<const char*, Canvas*>{"jumper", &hero},
                                {"drill", &drill}, {"grand", &ground}, {"back1", &sky}}) {
        std::string err = Load(picturesDir, name, *canvas);
        if (!err.empty()) return err;
    }
    // The standing frame, facing right.
    Canvas small = MakeCanvas(16, 16);
    Copy(small, hero, 0, 0, 0, 0, 16, 16, true);

    // The scene: sky from the meadow's back layer, two ground tiles, the
    // adventurer and his drill in flight.
    Canvas scene = MakeCanvas(32, 32);
    Copy(scene, sky, 0, 0, 112, 120, 32, 32, false);
    Copy(scene, ground, 0, 24, 16, 0, 16, 8, false);
    Copy(scene, ground, 16, 24, 16, 0, 16, 8, false);
    Copy(scene, hero, 3, 8, 0, 0, 16, 16, true);
    Copy(scene, drill, 19, 12, 0, 0, 16, 8, true);
    RoundCorners(scene, 4);

    struct Output {
        int size;
        const Canvas* base;
        int factor;
    } outputs[] = {{16, &small, 1}, {32, &scene, 1}, {48, &small, 3},
                   {64, &scene, 2}, {128, &scene, 4}, {256, &scene, 8}};
    for (const Output& o : outputs) {
        std::string path = outDir + "/quellbore-" + std::to_string(o.size) + ".png";
        std::string tmp = path + ".tmp";
        std::string err = WriteIconPng(Enlarge(*o.base, o.factor), tmp);
        if (err.empty() && std::rename(tmp.c_str(), path.c_str()) != 0) err = "cannot write " + path;
        if (!err.empty()) {
            std::remove(tmp.c_str());
            return err;
        }
    }
    return {};
}

}  // namespace assetc
