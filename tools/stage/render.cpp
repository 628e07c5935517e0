// quellbore-stage render STAGE.dat OUT.png [--data DIR] [--strips N] [--scale S]
//
// Draws the whole 5120 x 256 field of a stage with the game's own field
// code and pictures, screen by screen on the headless engine, and marks
// the spawn codes (enemies red, bosses yellow, with their code in the
// game's font) and the hidden blocks (cyan) that the game does not draw.
// --strips keeps the first N strips (the way to the door, say); --scale S
// shrinks the picture S times, each pixel the mean of an S x S square, for
// pictures small enough to keep beside the maps.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/platform/headless/headless.h"
#include "game/actors/debris.h"
#include "game/actors/door.h"
#include "game/actors/field_actors.h"
#include "game/actors/item.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"
#include "stage_commands.h"

namespace {

constexpr int ScreenSize = 256;
constexpr int ScreenCount = GridRows * 16 / ScreenSize;  // 20
constexpr int WorldWidth = ScreenSize * ScreenCount;      // 5120
constexpr int BossSpawnFirst = 48;

struct Rgb {
    unsigned char r, g, b;
};

struct Picture {
    int width = WorldWidth;
    int height = ScreenSize;
    std::vector<unsigned char> rgb = std::vector<unsigned char>(WorldWidth * ScreenSize * 3, 0);

    void Set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    // The outline of a 16 x 16 cell; dotted draws every other pixel.
    void Outline(int x, int y, Rgb c, bool dotted) {
        for (int i = 0; i < 16; ++i) {
            if (dotted && (i & 1)) continue;
            Set(x + i, y, c);
            Set(x + i, y + 15, c);
            Set(x, y + i, c);
            Set(x + 15, y + i, c);
        }
    }
};

int Expand5(int v) { return (v << 3) | (v >> 2); }
int Expand6(int v) { return (v << 2) | (v >> 4); }

// Copies the last presented screen into the picture at column offset ox.
bool CopyPresentedScreen(Picture& pic, int ox) {
    int w = 0, h = 0, pitch = 0, format = 0;
    const uint16_t* pixels = HeadlessLastFrame(&w, &h, &pitch, &format);
    if (!pixels || w < ScreenSize || h < ScreenSize || pitch < w) return false;
    for (int y = 0; y < ScreenSize; ++y) {
        for (int x = 0; x < ScreenSize; ++x) {
            const int p = pixels[static_cast<size_t>(y) * pitch + x];
            Rgb c;
            if (format == 1) {  // X1R5G5B5; otherwise R5G6B5
                c = {static_cast<unsigned char>(Expand5((p >> 10) & 31)),
                     static_cast<unsigned char>(Expand5((p >> 5) & 31)),
                     static_cast<unsigned char>(Expand5(p & 31))};
            } else {
                c = {static_cast<unsigned char>(Expand5((p >> 11) & 31)),
                     static_cast<unsigned char>(Expand6((p >> 5) & 63)),
                     static_cast<unsigned char>(Expand5(p & 31))};
            }
            pic.Set(ox + x, y, c);
        }
    }
    return true;
}

bool WritePng(const std::string& path, const Picture& pic) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pic.width);
    image.height = static_cast<png_uint_32>(pic.height);
    image.format = PNG_FORMAT_RGB;
    const int ok = png_image_write_to_file(&image, path.c_str(), 0, pic.rgb.data(), pic.width * 3, nullptr);
    png_image_free(&image);
    return ok != 0;
}

void Usage() { std::fprintf(stderr, "usage: quellbore-stage render STAGE.dat OUT.png [--data DIR] [--strips N] [--scale S]\n"); }

// The left `width` pixels of the picture, shrunk `scale` times.
Picture Shrunk(const Picture& pic, int width, int scale) {
    Picture out;
    out.width = width / scale;
    out.height = pic.height / scale;
    out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            for (int ch = 0; ch < 3; ++ch) {
                int sum = 0;
                for (int j = 0; j < scale; ++j)
                    for (int i = 0; i < scale; ++i) sum += pic.rgb[(static_cast<size_t>(y * scale + j) * pic.width + x * scale + i) * 3 + ch];
                out.rgb[(static_cast<size_t>(y) * out.width + x) * 3 + ch] = static_cast<unsigned char>(sum / (scale * scale));
            }
        }
    }
    return out;
}

// The number of images that loaded.
int LoadImages(const std::filesystem::path& dataDir) {
    const size_t prefix = std::strlen("./data/");
    int loaded = 0;
    for (int i = 0; i < ImageFileCount; ++i) {
        const std::string path = (dataDir / (ImageFiles[i] + prefix)).string();
        if (LoadImageSlot(i, path.c_str()) != -1) ++loaded;
        else std::fprintf(stderr, "quellbore-stage: warning: cannot load picture %s\n", path.c_str());
    }
    return loaded;
}

// Spawn codes and hidden blocks, marked after the screens are copied.
void MarkCells(Picture& pic, int* spawns, int* hidden) {
    for (int r = 0; r < GridRows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            if (StageGrid[r][c] >= 0) {
                const bool boss = StageGrid[r][c] >= BossSpawnFirst;
                pic.Outline(16 * r, 16 * c, boss ? Rgb{255, 220, 0} : Rgb{255, 64, 64}, false);
                ++*spawns;
            }
            if (FieldGrid[r][c] == FieldHiddenBlock) {
                pic.Outline(16 * r, 16 * c, Rgb{0, 220, 255}, true);
                ++*hidden;
            }
        }
    }
}

}  // namespace

int StageRenderMain(int argc, char** argv) {
    std::string dataDir = "./data";
    std::vector<std::string> positional;
    int strips = GridRows, scale = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--strips") == 0 || std::strcmp(argv[i], "--scale") == 0) {
            if (i + 1 >= argc) {
                Usage();
                return 2;
            }
            const int v = std::atoi(argv[i + 1]);
            (std::strcmp(argv[i], "--strips") == 0 ? strips : scale) = v;
            ++i;
            if (strips < 1 || strips > GridRows || scale < 1 || scale > 16) {
                Usage();
                return 2;
            }
        } else if (std::strcmp(argv[i], "--data") == 0) {
            if (i + 1 >= argc) {
                Usage();
                return 2;
            }
            dataDir = argv[++i];
        } else if (std::strncmp(argv[i], "--data=", 7) == 0) {
            dataDir = argv[i] + 7;
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() != 2) {
        Usage();
        return 2;
    }
    std::error_code ec;
    const std::filesystem::path stagePath = std::filesystem::absolute(positional[0], ec);
    const std::filesystem::path outPath = std::filesystem::absolute(positional[1], ec);
    const std::filesystem::path data = std::filesystem::absolute(dataDir, ec);
    if (!std::filesystem::is_directory(data)) {
        std::fprintf(stderr, "quellbore-stage: no data folder at %s\n", data.string().c_str());
        return 1;
    }

    ClearStageGrids();
    const int values = ReadStageFileAt(stagePath.string().c_str());
    if (values < 0) {
        std::fprintf(stderr, "quellbore-stage: cannot open %s\n", stagePath.string().c_str());
        return 1;
    }

    SetScreenMode(ScreenSize, ScreenSize, 16, 60);
    ChangeWindowMode(1);
    if (EngineInit() == -1) {
        std::fprintf(stderr, "quellbore-stage: the engine did not start\n");
        return 1;
    }
    SetDrawTarget(BackScreen);
    SetDrawClip(0, 0, ScreenSize, ScreenSize);
    SetTransparentColor(0, 0, 0);
    LoadImages(data);

    // The field as a stage start builds it: the door and the placed items.
    ResetItems();
    ResetDebris();
    TheDoor.Reset();
    SetUpField();

    Picture pic;
    bool copied = true;
    for (int s = 0; s < ScreenCount; ++s) {
        Player.scrollX = s * ScreenSize;
        ClearScreen();
        DrawField();
        DrawItems();
        for (int r = s * 16; r < s * 16 + 16; ++r) {
            for (int c = 0; c < GridCells; ++c) {
                if (StageGrid[r][c] >= 0) DrawNumber(16 * r - Player.scrollX, 16 * c + 4, StageGrid[r][c], 2);
            }
        }
        PresentFrame();
        copied = CopyPresentedScreen(pic, s * ScreenSize) && copied;
    }
    EngineEnd();
    if (!copied) {
        std::fprintf(stderr, "quellbore-stage: the engine presented no screen\n");
        return 1;
    }

    int spawns = 0, hidden = 0;
    MarkCells(pic, &spawns, &hidden);
    if (strips < GridRows || scale > 1) pic = Shrunk(pic, strips * 16, scale);
    if (!WritePng(outPath.string(), pic)) {
        std::fprintf(stderr, "quellbore-stage: cannot write %s\n", outPath.string().c_str());
        return 1;
    }
    std::printf("%s: kind %d, ground row %d, %d full rows, %d spawns, %d hidden blocks", positional[0].c_str(),
                GameState.StageKind, GameState.GroundRow, values / GridCells, spawns, hidden);
    if (TheDoor.active) std::printf(", door at row %d", (static_cast<int>(TheDoor.x) + 8) / 16);
    std::printf(" -> %s (%d x %d)\n", positional[1].c_str(), pic.width, pic.height);
    return 0;
}
