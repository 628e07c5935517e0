// assetc: the asset compiler.
//
//   assetc picture SOURCE.pic OUT      picture in the format the source names
//   assetc sound   SOURCE.sfx OUT.wav  16-bit PCM sound effect
//   assetc music   SOURCE.mus OUT.ogg  Ogg Vorbis music piece
//   assetc preview SOURCE.pic OUT.png [SCALE]   a picture as PNG, enlarged
//   assetc mockup  ASSETS_DIR KIND OUT.png      a game screen put together
//                                               from the picture sources
//   assetc icons   PICTURES_DIR OUT_DIR         the desktop icons, 16 to 256 px
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/assetc/assetc.h"

using namespace assetc;

namespace {

int Fail(const std::string& message) {
    fprintf(stderr, "assetc: %s\n", message.c_str());
    return 1;
}

// Writes through a temporary name so an interrupted build leaves no half file.
std::string Commit(const std::string& tmp, const std::string& out) {
    if (rename(tmp.c_str(), out.c_str()) != 0) {
        remove(tmp.c_str());
        return "cannot rename " + tmp + " to " + out;
    }
    return {};
}

Canvas Scale(const Canvas& c, int s) {
    Canvas o = MakeCanvas(c.width * s, c.height * s);
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x) SetPixel(o, x, y, GetPixel(c, x / s, y / s));
    return o;
}

void Blit(Canvas& dst, const Canvas& src, int dx, int dy, int sx, int sy, int w, int h) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Rgb p = GetPixel(src, sx + i, sy + j);
            if (!IsClear(p)) SetPixel(dst, dx + i, dy + j, p);
        }
}

void DrawText(Canvas& screen, const Canvas& font, int x, int y, const std::string& s) {
    for (size_t k = 0; k < s.size(); ++k) {
        char ch = char(toupper(static_cast<unsigned char>(s[k])));
        int col = -1, row = 0;
        if (ch >= '0' && ch <= '9') {
            col = ch - '0';
        } else if (ch >= 'A' && ch <= 'Z') {
            col = (ch - 'A') % 10;
            row = (ch - 'A') / 10 + 1;
        } else {
            const char* marks = "!?.'-";
            for (int m = 0; m < 5; ++m)
                if (marks[m] == ch) {
                    col = m;
                    row = 4;
                }
        }
        if (col >= 0) Blit(screen, font, x + 8 * int(k), y, col * 8, row * 8, 8, 8);
    }
}

// The title menu as the game lays it out.
template <typename Load>
int TitleMockup(const std::string&, const std::string& out, Load& load) {
    Canvas screen = MakeCanvas(256, 256), pic;
    if (load("block", pic))
        for (int i = 0; i < 16; ++i)
            for (int j = 0; j < 16; ++j) Blit(screen, pic, 16 * i, 16 * j, 16, 0, 16, 16);
    if (load("back1", pic)) Blit(screen, pic, 0, 0, 0, 0, 256, 256);
    if (load("back2", pic)) Blit(screen, pic, 0, 32, 0, 0, 256, 256);
    if (load("back3", pic)) Blit(screen, pic, 0, 32, 0, 0, 256, 256);
    if (load("titleback", pic)) Blit(screen, pic, 0, 0, 0, 0, 256, 256);
    Canvas font;
    if (load("font", font)) {
        const char* entries[5] = {"start", "continue", "extra stage", "option", "exit"};
        for (int i = 0; i < 5; ++i) DrawText(screen, font, 80, 144 + 16 * i, entries[i]);
    }
    if (load("drill", pic)) Blit(screen, pic, 56, 144, 0, 0, 16, 16);
    std::string tmp = out + ".tmp";
    std::string err = WritePng(Scale(screen, 2), tmp);
    if (err.empty()) err = Commit(tmp, out);
    return err.empty() ? 0 : Fail(err);
}

int Mockup(const std::string& dir, int kind, const std::string& out) {
    auto load = [&](const std::string& name, Canvas& c) {
        Picture p;
        std::string err = CompilePicture(dir + "/pictures/" + name + ".pic", p);
        if (!err.empty()) fprintf(stderr, "assetc: %s\n", err.c_str());
        c = p.canvas;
        return err.empty();
    };
    Canvas screen = MakeCanvas(256, 256), pic;
    if (kind == 5) return TitleMockup(dir, out, load);
    static const int fill[5] = {1, 4, 6, 7, 4};
    kind = std::clamp(kind, 0, 4);
    (void)0;
    if (load("block", pic))
        for (int i = 0; i < 16; ++i)
            for (int j = 0; j < 16; ++j) Blit(screen, pic, 16 * i, 16 * j, 16 * fill[kind], 0, 16, 16);
    for (int layer = 0; layer < 3; ++layer)
        if (load("back" + std::to_string(kind * 3 + layer + 1), pic)) {
            int o = layer == 0 ? 0 : (layer == 1 ? 40 : 90);
            Blit(screen, pic, -o, 0, 0, 0, 256, 256);
            Blit(screen, pic, 256 - o, 0, 0, 0, 256, 256);
        }
    Canvas ground;
    if (load("grand", ground)) {
        // A floor with a pit, a raised step and a floating ledge with blocks.
        int style = kind;
        auto tile = [&](int col, int cell, int v) { Blit(screen, ground, col * 16, cell * 16, v * 16, style * 16, 16, 16); };
        for (int col = 0; col < 16; ++col) {
            if (col == 6 || col == 7) continue;
            int topCell = col >= 11 ? 12 : 13;
            for (int cell = topCell; cell < 16; ++cell) {
                bool up = cell > topCell, down = true;
                bool right = col != 5 && !(col == 10 && cell < 13), left = col != 8 && !(col == 11 && cell < 13);
                if (col == 15) right = true;
                if (col == 0) left = true;
                int v = 0;
                static const bool sides[16][4] = {
                    {1, 1, 1, 1}, {0, 0, 0, 0}, {1, 1, 0, 1}, {1, 1, 1, 0}, {1, 0, 1, 1}, {0, 1, 1, 1},
                    {1, 1, 0, 0}, {0, 0, 1, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {1, 0, 1, 0}, {0, 1, 1, 0},
                    {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}};
                for (int k = 0; k < 16; ++k)
                    if (sides[k][0] == right && sides[k][1] == left && sides[k][2] == up && sides[k][3] == down) v = k;
                tile(col, cell, v);
            }
        }
        tile(3, 9, 14);
        tile(4, 9, 6);
        tile(5, 9, 15);
        tile(8, 9, 16);
        tile(9, 9, 16);
        tile(13, 8, 1);
        Blit(screen, ground, 150, 180, 17 * 16, style * 16, 6, 6);
        Blit(screen, ground, 160, 176, 18 * 16, style * 16, 8, 8);
    }
    if (load("door", pic)) Blit(screen, pic, 13 * 16 - 8, 12 * 16 - 32, 0, 0, 32, 32);
    if (load("item", pic)) {
        for (int i = 0; i < 3; ++i) Blit(screen, pic, 56 + 16 * i, 120, 16 * i, 0, 16, 16);
        Blit(screen, pic, 210, 170, 0, 16, 16, 16);
        Blit(screen, pic, 130, 120, 0, 32, 16, 16);
        // The HUD row.
        Blit(screen, pic, 16, 0, 64, 0, 16, 16);
        Blit(screen, pic, 64, 0, 48, 0, 16, 16);
        Blit(screen, pic, 112, 0, 48, 32, 16, 16);
        Blit(screen, pic, 160, 0, 48, 16, 16, 16);
        Blit(screen, pic, 208, 0, 64, 16, 16, 16);
    }
    if (load("font", pic)) {
        auto text = [&](int x, int y, const std::string& s) {
            for (size_t k = 0; k < s.size(); ++k) {
                char ch = s[k];
                int col = -1, row = 0;
                if (ch >= '0' && ch <= '9') col = ch - '0';
                else if (ch >= 'A' && ch <= 'Z') {
                    col = (ch - 'A') % 10;
                    row = (ch - 'A') / 10 + 1;
                } else if (ch == '!') {
                    col = 0;
                    row = 4;
                } else if (ch == '-') {
                    col = 4;
                    row = 4;
                }
                if (col >= 0) Blit(screen, pic, x + 8 * int(k), y, col * 8, row * 8, 8, 8);
            }
        };
        text(32, 4, "03");
        text(80, 4, "42");
        text(128, 4, "OK");
        text(224, 4, "876");
        text(96, 64, "STAGE " + std::to_string(kind + 1));
    }
    if (load("enemy", pic)) {
        const int looks[][2] = {{0, 0}, {3, 0}, {6, 5}, {11, 0}, {13, 0}, {9, 0}};
        for (int i = 0; i < 6; ++i)
            Blit(screen, pic, 20 + 36 * i, i % 2 ? 196 : 150, 16 * looks[i][1], 16 * (2 * looks[i][0] + (i & 1)), 16, 16);
    }
    if (load("jumper", pic)) Blit(screen, pic, 110, 192, 16, 0, 16, 16);
    if (load("drill", pic)) Blit(screen, pic, 128, 198, 0, 0, 16, 8);
    if (load("baku1", pic)) Blit(screen, pic, 180, 90, 3 * 24, 0, 24, 24);
    if (load("death", pic)) Blit(screen, pic, 20, 80, 32, 0, 32, 32);
    std::string tmp = out + ".tmp";
    std::string err = WritePng(Scale(screen, 2), tmp);
    if (err.empty()) err = Commit(tmp, out);
    return err.empty() ? 0 : Fail(err);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr,
                "usage: assetc picture|sound|music SOURCE OUT\n"
                "       assetc preview SOURCE.pic OUT.png [SCALE]\n"
                "       assetc mockup ASSETS_DIR KIND OUT.png\n"
                "       assetc icons PICTURES_DIR OUT_DIR\n");
        return 2;
    }
    std::string mode = argv[1], src = argv[2], out = argv[3], tmp = out + ".tmp";
    std::string err;
    if (mode == "picture" || mode == "preview") {
        Picture p;
        err = CompilePicture(src, p);
        if (!err.empty()) return Fail(err);
        if (mode == "preview") {
            int s = argc > 4 ? std::clamp(atoi(argv[4]), 1, 8) : 2;
            err = WritePng(Scale(p.canvas, s), tmp);
        } else if (p.format == PictureFormat::Bmp) {
            err = WriteBmp(p.canvas, tmp);
        } else if (p.format == PictureFormat::Tga) {
            err = WriteTga(p.canvas, tmp);
        } else {
            err = WritePng(p.canvas, tmp);
        }
    } else if (mode == "sound") {
        std::vector<int16_t> samples;
        err = CompileSound(src, samples);
        if (!err.empty()) return Fail(err);
        err = WriteWav(samples, 1, kSampleRate, tmp);
    } else if (mode == "music") {
        std::vector<float> l, r;
        err = CompileMusic(src, l, r);
        if (!err.empty()) return Fail(err);
        err = WriteOgg(l, r, kSampleRate, tmp);
    } else if (mode == "icons") {
        err = WriteIcons(src, out);  // PICTURES_DIR OUT_DIR
        return err.empty() ? 0 : Fail(err);
    } else if (mode == "mockup") {
        if (argc < 5) return Fail("mockup ASSETS_DIR KIND OUT.png");
        return Mockup(src, atoi(argv[3]), argv[4]);
    } else {
        return Fail("unknown mode " + mode);
    }
    if (err.empty()) err = Commit(tmp, out);
    if (!err.empty()) {
        remove(tmp.c_str());
        return Fail(err);
    }
    return 0;
}
