// The built data set: every file the game loads exists, pictures carry the
// cells the game draws from, sounds are plain PCM WAV of even loudness and
// music is Ogg Vorbis short enough to be held in memory.
#include <gtest/gtest.h>
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kData = QUELLBORE_DATA_DIR;

const char* const kPictures[] = {
    "jumper", "block", "grand", "enemy", "font", "drill", "baku1", "baku2", "item", "door", "titleback",
    "death", "back1", "back2", "back3", "back4", "back5", "back6", "back7", "back8", "back9", "back10",
    "back11", "back12", "back13", "back14", "back15", "boss1", "boss2", "boss3", "bossex"};
const char* const kSounds[] = {"bom24",   "burst00", "chari02", "crash18_d", "hit17",   "cursor08", "door02",
                               "fm000",   "fm008",   "fm014",   "mizu08",    "pi31",    "pi73",     "don05",
                               "puu79_a", "fall06",  "crash22_a", "chari05", "pi52",    "wood07"};
const char* const kMusic[] = {"BGM016", "BGM007", "BGM022", "BGM057", "BGM041", "BGM059", "BGM091", "BGM004"};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

struct Image {
    std::string format;
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel, top row first
    bool Clear(int x, int y) const {
        size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return rgb[i] == 0 && rgb[i + 1] == 0 && rgb[i + 2] == 0;
    }
};

// Reads the picture in whichever of the three formats the build writes.
bool LoadPicture(const std::string& path, Image& img, std::string& why) {
    std::vector<uint8_t> b = ReadFile(path);
    if (b.size() >= 8 && memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) == 0) {
        png_image p;
        memset(&p, 0, sizeof p);
        p.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&p, b.data(), b.size())) return why = "bad PNG", false;
        p.format = PNG_FORMAT_RGB;
        img.format = "png";
        img.width = int(p.width);
        img.height = int(p.height);
        img.rgb.resize(PNG_IMAGE_SIZE(p));
        if (!png_image_finish_read(&p, nullptr, img.rgb.data(), 0, nullptr)) return why = "bad PNG data", false;
        return true;
    }
    if (b.size() >= 54 && b[0] == 'B' && b[1] == 'M') {
        img.format = "bmp";
        img.width = int(Le32(b, 18));
        img.height = int(Le32(b, 22));
        if (Le16(b, 28) != 24 || Le32(b, 30) != 0 || img.width <= 0 || img.height <= 0)
            return why = "not a plain bottom-up 24-bit BMP", false;
        size_t stride = (size_t(img.width) * 3 + 3) & ~size_t(3), off = Le32(b, 10);
        if (off + stride * size_t(img.height) > b.size()) return why = "BMP too short", false;
        img.rgb.resize(size_t(img.width) * size_t(img.height) * 3);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                for (int c = 0; c < 3; ++c)
                    img.rgb[(size_t(y) * size_t(img.width) + size_t(x)) * 3 + size_t(c)] =
                        b[off + size_t(img.height - 1 - y) * stride + size_t(x) * 3 + size_t(2 - c)];
        return true;
    }
    if (b.size() >= 18 && b[1] == 0 && b[2] == 2 && (b[16] == 24 || b[16] == 32)) {
        img.format = "tga";
        img.width = int(Le16(b, 12));
        img.height = int(Le16(b, 14));
        size_t bpp = b[16] / 8, off = 18 + b[0];
        bool topDown = (b[17] & 0x20) != 0;
        if (off + bpp * size_t(img.width) * size_t(img.height) > b.size()) return why = "TGA too short", false;
        img.rgb.resize(size_t(img.width) * size_t(img.height) * 3);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                int sy = topDown ? y : img.height - 1 - y;
                size_t s = off + (size_t(sy) * size_t(img.width) + size_t(x)) * bpp;
                for (int c = 0; c < 3; ++c)
                    img.rgb[(size_t(y) * size_t(img.width) + size_t(x)) * 3 + size_t(c)] = b[s + size_t(2 - c)];
            }
        return true;
    }
    why = "not a PNG, BMP or TGA picture";
    return false;
}

Image Load(const std::string& name) {
    Image img;
    std::string why;
    EXPECT_TRUE(LoadPicture(kData + "/" + name + ".dat", img, why)) << name << ": " << why;
    return img;
}

int OpaqueIn(const Image& img, int x, int y, int w, int h) {
    int n = 0;
    for (int j = y; j < y + h && j < img.height; ++j)
        for (int i = x; i < x + w && i < img.width; ++i) n += img.Clear(i, j) ? 0 : 1;
    return n;
}

}  // namespace

TEST(DataSet, EveryFileOfTheLoadListsExists) {
    for (const char* p : kPictures) EXPECT_TRUE(fs::is_regular_file(kData + "/" + p + ".dat")) << p;
    for (const char* s : kSounds) EXPECT_TRUE(fs::is_regular_file(kData + "/sound/" + s + ".wav")) << s;
    for (const char* m : kMusic) EXPECT_TRUE(fs::is_regular_file(kData + "/bgm/" + m + ".ogg")) << m;
}

TEST(Pictures, AreLargeEnoughForTheirCells) {
    struct Need {
        const char* name;
        int w, h;
    } needs[] = {
        {"jumper", 112, 48}, {"block", 128, 32},  {"grand", 304, 80},  {"enemy", 160, 480}, {"font", 80, 40},
        {"drill", 64, 64},   {"baku1", 240, 24},  {"baku2", 640, 64},  {"item", 80, 48},    {"door", 192, 32},
        {"titleback", 256, 256}, {"death", 96, 160}, {"boss1", 144, 96}, {"boss2", 256, 96}, {"boss3", 240, 128},
        {"bossex", 256, 256},
    };
    for (const Need& n : needs) {
        Image img = Load(n.name);
        EXPECT_GE(img.width, n.w) << n.name;
        EXPECT_GE(img.height, n.h) << n.name;
    }
    for (int i = 1; i <= 15; ++i) {
        Image img = Load("back" + std::to_string(i));
        EXPECT_EQ(img.width, 256) << i;
        EXPECT_EQ(img.height, 256) << i;
    }
}

TEST(Pictures, UseEveryDecoderTheGameShipsAndNoNearBlack) {
    std::vector<std::string> formats;
    for (const char* p : kPictures) {
        Image img = Load(p);
        formats.push_back(img.format);
        // Black is the colour key; an opaque pixel darker than (8, 8, 8)
        // would look transparent-black after reduction to 15-bit colour.
        int nearBlack = 0;
        for (size_t i = 0; i + 2 < img.rgb.size(); i += 3) {
            int m = std::max({img.rgb[i], img.rgb[i + 1], img.rgb[i + 2]});
            if (m > 0 && m < 8) ++nearBlack;
        }
        EXPECT_EQ(nearBlack, 0) << p;
    }
    for (const char* f : {"png", "bmp", "tga"})
        EXPECT_NE(std::find(formats.begin(), formats.end(), f), formats.end()) << f;
}

// Every cell the game draws from holds a picture.
TEST(Pictures, EveryCellTheGameDrawsIsFilled) {
    struct Cells {
        const char* name;
        int cw, ch;                                // cell size
        std::vector<std::pair<int, int>> cells;  // column, row
    };
    std::vector<Cells> all;
    Cells jumper{"jumper", 16, 16, {{0, 2}, {1, 2}}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 7; ++c) jumper.cells.push_back({c, r});
    all.push_back(jumper);
    // Enemy looks and the column groups (frameBase 0 or 5) the kinds use.
    Cells enemy{"enemy", 16, 16, {}};
    const int groups[15][2] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1},
                               {1, 1}, {1, 1}, {1, 0}, {1, 1}, {1, 1}, {1, 0}, {1, 1}};
    for (int look = 0; look < 15; ++look)
        for (int g = 0; g < 2; ++g)
            if (groups[look][g])
                for (int c = 0; c < 5; ++c)
                    for (int dir = 0; dir < 2; ++dir) enemy.cells.push_back({5 * g + c, 2 * look + dir});
    all.push_back(enemy);
    Cells font{"font", 8, 8, {}};
    for (int c = 0; c < 10; ++c)
        for (int r = 0; r < 3; ++r) font.cells.push_back({c, r});
    for (int c = 0; c < 6; ++c) font.cells.push_back({c, 3});
    for (int c = 0; c < 5; ++c) font.cells.push_back({c, 4});
    all.push_back(font);
    Cells items{"item", 16, 16, {{3, 0}, {4, 0}, {3, 1}, {4, 1}, {3, 2}}};
    for (int k = 0; k < 3; ++k)
        for (int f = 0; f < 3; ++f) items.cells.push_back({f, k});
    all.push_back(items);
    Cells door{"door", 32, 32, {}};
    for (int f = 0; f < 6; ++f) door.cells.push_back({f, 0});
    all.push_back(door);
    Cells small{"baku1", 24, 24, {}}, large{"baku2", 64, 64, {}};
    for (int f = 0; f < 10; ++f) {
        small.cells.push_back({f, 0});
        large.cells.push_back({f, 0});
    }
    all.push_back(small);
    all.push_back(large);
    Cells death{"death", 32, 32, {}};
    for (int f = 0; f < 3; ++f)
        for (int d = 0; d < 2; ++d) death.cells.push_back({f, d});
    all.push_back(death);
    all.push_back({"boss1", 48, 48, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}});
    all.push_back({"boss2", 64, 48, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}}});
    all.push_back({"boss3", 80, 64, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}});
    all.push_back({"bossex", 64, 64, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {0, 2}, {0, 3}}});
    Cells ground{"grand", 16, 16, {}};
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 19; ++c) ground.cells.push_back({c, r});
    all.push_back(ground);
    Cells block{"block", 16, 16, {{4, 1}}};
    for (int c = 0; c < 8; ++c) block.cells.push_back({c, 0});
    all.push_back(block);

    for (const Cells& set : all) {
        Image img = Load(set.name);
        for (auto [c, r] : set.cells)
            EXPECT_GT(OpaqueIn(img, c * set.cw, r * set.ch, set.cw, set.ch), 0)
                << set.name << " cell " << c << "," << r;
    }
    // The drill: 16 x 8 cells for right and left, 8 x 16 for up and down.
    Image drill = Load("drill");
    for (int f = 0; f < 4; ++f) {
        EXPECT_GT(OpaqueIn(drill, 16 * f, 0, 16, 8), 0) << f;
        EXPECT_GT(OpaqueIn(drill, 16 * f, 16, 16, 8), 0) << f;
        EXPECT_GT(OpaqueIn(drill, 16 * f, 32, 8, 16), 0) << f;
        EXPECT_GT(OpaqueIn(drill, 16 * f, 48, 8, 16), 0) << f;
    }
    // The menu cursor is the whole first 16 x 16 cell: nothing below the drill.
    EXPECT_EQ(OpaqueIn(drill, 0, 8, 16, 8), 0);
    // Debris pieces sit in the top-left 6 x 6 and 8 x 8 of columns 17 and 18.
    Image grand = Load("grand");
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(OpaqueIn(grand, 17 * 16 + 6, r * 16, 10, 16) + OpaqueIn(grand, 17 * 16, r * 16 + 6, 6, 10), 0) << r;
        EXPECT_EQ(OpaqueIn(grand, 18 * 16 + 8, r * 16, 8, 16) + OpaqueIn(grand, 18 * 16, r * 16 + 8, 8, 8), 0) << r;
    }
}

TEST(Pictures, BackLayersAreSolidAndFrontLayersShowTheSky) {
    for (int kind = 0; kind < 5; ++kind) {
        Image back = Load("back" + std::to_string(3 * kind + 1));
        Image front = Load("back" + std::to_string(3 * kind + 3));
        EXPECT_EQ(OpaqueIn(back, 0, 0, 256, 256), 256 * 256) << kind;
        EXPECT_LT(OpaqueIn(front, 0, 0, 256, 256), 256 * 256 / 2) << kind;
    }
    // The title picture keeps the menu area clear for the menu texts.
    Image title = Load("titleback");
    EXPECT_EQ(OpaqueIn(title, 56, 140, 145, 81), 0);
}

namespace {

struct Wav {
    int channels = 0, rate = 0, bits = 0, tag = 0;
    std::vector<int16_t> samples;
};

bool ParseWav(const std::vector<uint8_t>& b, Wav& w) {
    if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) != 0 || memcmp(b.data() + 8, "WAVE", 4) != 0) return false;
    size_t at = 12;
    bool fmt = false;
    while (at + 8 <= b.size()) {
        uint32_t size = Le32(b, at + 4);
        if (size > b.size() - at - 8) return false;
        if (memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16) {
            w.tag = int(Le16(b, at + 8));
            w.channels = int(Le16(b, at + 10));
            w.rate = int(Le32(b, at + 12));
            w.bits = int(Le16(b, at + 22));
            fmt = true;
        } else if (memcmp(b.data() + at, "data", 4) == 0) {
            if (!fmt) return false;
            for (size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(int16_t(Le16(b, at + 8 + i)));
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

}  // namespace

TEST(Sounds, ArePcmWavesOfEvenLoudness) {
    double minRms = 1, maxRms = 0;
    for (const char* s : kSounds) {
        Wav w;
        ASSERT_TRUE(ParseWav(ReadFile(kData + "/sound/" + s + ".wav"), w)) << s;
        EXPECT_EQ(w.tag, 1) << s;
        EXPECT_EQ(w.bits, 16) << s;
        EXPECT_EQ(w.channels, 1) << s;
        ASSERT_GT(w.rate, 0) << s;
        double seconds = double(w.samples.size()) / w.rate;
        EXPECT_GT(seconds, 0.03) << s;
        EXPECT_LT(seconds, 2.0) << s;
        double peak = 0, sum = 0;
        for (int16_t v : w.samples) {
            peak = std::max(peak, std::fabs(v / 32768.0));
            sum += (v / 32768.0) * (v / 32768.0);
        }
        double rms = std::sqrt(sum / double(w.samples.size()));
        EXPECT_GT(peak, 0.2) << s;
        EXPECT_LT(peak, 0.999) << s;  // no clipping
        minRms = std::min(minRms, rms);
        maxRms = std::max(maxRms, rms);
        // No click at the end: the last sample has faded out.
        EXPECT_LT(std::abs(w.samples.back()), 600) << s;
    }
    EXPECT_LT(maxRms / minRms, 2.0) << "effects differ too much in loudness";
}

namespace {

struct Memory {
    const std::vector<uint8_t>* data;
    size_t pos;
};
size_t MemRead(void* out, size_t size, size_t n, void* src) {
    Memory* m = static_cast<Memory*>(src);
    size_t want = size * n, left = m->data->size() - m->pos, take = std::min(want, left);
    memcpy(out, m->data->data() + m->pos, take);
    m->pos += take;
    return size ? take / size : 0;
}
int MemSeek(void* src, ogg_int64_t off, int whence) {
    Memory* m = static_cast<Memory*>(src);
    ogg_int64_t base = whence == SEEK_SET ? 0 : (whence == SEEK_CUR ? ogg_int64_t(m->pos) : ogg_int64_t(m->data->size()));
    ogg_int64_t p = base + off;
    if (p < 0 || p > ogg_int64_t(m->data->size())) return -1;
    m->pos = size_t(p);
    return 0;
}
long MemTell(void* src) { return long(static_cast<Memory*>(src)->pos); }

}  // namespace

TEST(Music, IsOggVorbisThatFitsInMemoryAndLoopsCleanly) {
    for (const char* name : kMusic) {
        std::vector<uint8_t> b = ReadFile(kData + "/bgm/" + name + ".ogg");
        ASSERT_GE(b.size(), 4u) << name;
        EXPECT_EQ(memcmp(b.data(), "OggS", 4), 0) << name;
        Memory m{&b, 0};
        OggVorbis_File vf;
        ov_callbacks cb{MemRead, MemSeek, nullptr, MemTell};
        ASSERT_EQ(ov_open_callbacks(&m, &vf, nullptr, 0, cb), 0) << name;
        double seconds = ov_time_total(&vf, -1);
        EXPECT_GT(seconds, 5.0) << name;
        EXPECT_LT(seconds, 180.0) << name;  // longer pieces would be streamed
        vorbis_info* vi = ov_info(&vf, -1);
        ASSERT_NE(vi, nullptr);
        const size_t rate = size_t(vi->rate), channels = size_t(vi->channels);
        EXPECT_EQ(channels, 2u) << name;
        // The loop joins the end to the start: both edges must be at a similar
        // level, not a jump from sound to silence or back.
        std::vector<int16_t> pcm;
        char buf[4096];
        int section = 0;
        long got;
        while ((got = ov_read(&vf, buf, sizeof buf, 0, 2, 1, &section)) > 0)
            pcm.insert(pcm.end(), reinterpret_cast<int16_t*>(buf), reinterpret_cast<int16_t*>(buf + got));
        ov_clear(&vf);
        size_t window = rate / 4 * channels;  // a quarter second: longer than any articulation gap
        ASSERT_GT(pcm.size(), 4 * window) << name;
        auto rms = [&](size_t from) {
            double s = 0;
            for (size_t i = from; i < from + window; ++i) s += double(pcm[i]) * pcm[i];
            return std::sqrt(s / double(window)) / 32768.0;
        };
        double head = rms(0), tail = rms(pcm.size() - window);
        EXPECT_GT(head, 0.005) << name << ": silent start breaks the loop";
        EXPECT_GT(tail, 0.005) << name << ": silent end breaks the loop";
    }
}
