// quellbore-asset text "TEXT" OUT.png [options]: draws UTF-8 text with the
// engine's default font on a black 256 x 64 screen and writes it as PNG.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/core/modules.h"
#include "engine/engine.h"
#include "engine/font/font.h"
#include "engine/graphics/graphics.h"
#include "tools/asset/asset.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: quellbore-asset text \"TEXT\" OUT.png [--size N] [--face NAME]\n"
                 "         [--thickness N] [--style N] [--colour R,G,B] [--at X,Y]\n"
                 "         [--screen WxH] [--zoom N]\n"
                 "TEXT is UTF-8; \"\\n\" in it starts a new line. The defaults are the game's:\n"
                 "face \"ＭＳ Ｐゴシック\", size 9, thickness 1, style 0, colour 255,255,255,\n"
                 "drawn at 2,2 on a 256x64 screen.\n");
}

bool ParsePair(const char* text, char separator, int* a, int* b) {
    char* end;
    long x = std::strtol(text, &end, 10);
    if (*end != separator) return false;
    long y = std::strtol(end + 1, &end, 10);
    if (*end) return false;
    *a = (int)x;
    *b = (int)y;
    return true;
}

bool ParseInt(const char* text, int* value) {
    char* end;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end) return false;
    *value = (int)v;
    return true;
}

int WritePng(const char* path, const uint16_t* pixels, int width, int height, int pitch,
             int zoom) {
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "quellbore-asset text: cannot write %s\n", path);
        return -1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        std::fprintf(stderr, "quellbore-asset text: PNG error writing %s\n", path);
        return -1;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width * zoom, height * zoom, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((size_t)width * zoom * 3);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            // R5G6B5 widened with its top bits repeated.
            uint16_t p = pixels[(size_t)y * pitch + x];
            int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
            png_byte rgb[3] = {(png_byte)((r5 << 3) | (r5 >> 2)), (png_byte)((g6 << 2) | (g6 >> 4)),
                               (png_byte)((b5 << 3) | (b5 >> 2))};
            for (int z = 0; z < zoom; z++)
                std::memcpy(&row[((size_t)x * zoom + z) * 3], rgb, 3);
        }
        for (int z = 0; z < zoom; z++) png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return 0;
}

}  // namespace

int AssetTextCommand(int argc, char** argv) {
    const char* text = nullptr;
    const char* out = nullptr;
    const char* face = "ＭＳ Ｐゴシック";
    int size = 9, thickness = 1, style = 0;
    int r = 255, g = 255, b = 255;
    int x = 2, y = 2, width = 256, height = 64, zoom = 1;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            Usage();
            return 0;
        } else if (std::strcmp(arg, "--size") == 0 && value) {
            ok = ParseInt(value, &size) && size > 0 && size <= 256;
            i++;
        } else if (std::strcmp(arg, "--face") == 0 && value) {
            face = value;
            i++;
        } else if (std::strcmp(arg, "--thickness") == 0 && value) {
            ok = ParseInt(value, &thickness) && thickness >= 0 && thickness <= 10;
            i++;
        } else if (std::strcmp(arg, "--style") == 0 && value) {
            ok = ParseInt(value, &style) && style >= 0 && style <= 3;
            i++;
        } else if (std::strcmp(arg, "--colour") == 0 && value) {
            char* end;
            r = (int)std::strtol(value, &end, 10);
            ok = *end == ',' && ParsePair(end + 1, ',', &g, &b);
            i++;
        } else if (std::strcmp(arg, "--at") == 0 && value) {
            ok = ParsePair(value, ',', &x, &y);
            i++;
        } else if (std::strcmp(arg, "--screen") == 0 && value) {
            ok = ParsePair(value, 'x', &width, &height) && width > 0 && height > 0 &&
                 width <= 4096 && height <= 4096;
            i++;
        } else if (std::strcmp(arg, "--zoom") == 0 && value) {
            ok = ParseInt(value, &zoom) && zoom >= 1 && zoom <= 16;
            i++;
        } else if (arg[0] == '-' && arg[1] == '-') {
            ok = false;
        } else if (!text) {
            text = arg;
        } else if (!out) {
            out = arg;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "quellbore-asset text: bad argument %s\n", arg);
            Usage();
            return 2;
        }
    }
    if (!text || !out) {
        Usage();
        return 2;
    }

    SetScreenMode(width, height, 16, 60);
    if (InitGraphics() != 0) {
        std::fprintf(stderr, "quellbore-asset text: the screen could not be made\n");
        return 1;
    }
    SetTextFace(ShiftJisText(face), -1);
    SetTextSize(size);
    SetTextThickness(thickness);
    SetTextStyle(style);
    FontRecord* font = GetFont(g_TextSettings.defaultFont);
    if (!font) {
        std::fprintf(stderr, "quellbore-asset text: no font for face %s\n", face);
        EndGraphics();
        return 1;
    }
    SetDrawTarget(BackScreen);
    SetDrawClip(0, 0, width, height);
    ClearScreen();

    // One line per "\n" (typed as two characters or as a real line break).
    std::vector<char> lines(text, text + std::strlen(text) + 1);
    int lineY = y;
    char* line = lines.data();
    while (line) {
        char* next = nullptr;
        for (char* p = line; *p; p++) {
            if (*p == '\n' || (p[0] == '\\' && p[1] == 'n')) {
                next = p + (*p == '\n' ? 1 : 2);
                *p = 0;
                break;
            }
        }
        const char* sjis = ShiftJisText(line);
        if (DrawTextString(x, lineY, sjis, PackColor(r, g, b), 0) != 0) {
            std::fprintf(stderr, "quellbore-asset text: drawing failed\n");
            EndGraphics();
            return 1;
        }
        lineY += font->textHeight + 1;
        line = next;
    }

    GlyphFontMetrics metrics;
    GlyphGetFontMetrics(font->platformFont, &metrics);
    std::printf("face %s, size %d: height %d, ascent %d, cell %dx%d, capacity %d\n",
                metrics.family, size, font->textHeight, font->ascent, font->cellWidth,
                font->cellHeight, font->capacity);
    int result = WritePng(out, g_Screen.pixels, g_Screen.width, g_Screen.height, g_Screen.width,
                          zoom);
    EndGraphics();
    return result == 0 ? 0 : 1;
}
