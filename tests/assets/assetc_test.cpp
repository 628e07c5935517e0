// The asset compiler itself: repeatable output, and broken sources refused
// without leaving a file behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kTool = std::string(QUELLBORE_BUILD_DIR) + "/assetc";
const std::string kAssets = std::string(QUELLBORE_SOURCE_DIR) + "/assets";

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int RunTool(const std::string& mode, const fs::path& src, const fs::path& out) {
    std::string cmd = "'" + kTool + "' " + mode + " '" + src.string() + "' '" + out.string() + "' 2>/dev/null";
    return std::system(cmd.c_str());
}

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("assetc-test-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

}  // namespace

// A few sources covering each writer: grids and copies (PNG), BMP, TGA,
// procedural drawing, a sound and the shortest music piece.
TEST(Assetc, SameSourcesGiveTheSameBytes) {
    struct Case {
        const char* mode;
        const char* source;
        const char* built;
    } cases[] = {
        {"picture", "pictures/enemy.pic", "enemy.dat"}, {"picture", "pictures/block.pic", "block.dat"},
        {"picture", "pictures/door.pic", "door.dat"},   {"picture", "pictures/back7.pic", "back7.dat"},
        {"sound", "sound/bom24.sfx", "sound/bom24.wav"}, {"music", "bgm/BGM004.mus", "bgm/BGM004.ogg"},
    };
    TempDir a, b;
    for (const Case& c : cases) {
        fs::path src = fs::path(kAssets) / c.source;
        ASSERT_EQ(RunTool(c.mode, src, a.path / "out"), 0) << c.source;
        ASSERT_EQ(RunTool(c.mode, src, b.path / "out"), 0) << c.source;
        std::string first = Bytes(a.path / "out");
        EXPECT_FALSE(first.empty()) << c.source;
        EXPECT_EQ(first, Bytes(b.path / "out")) << c.source;
        // The build used the same tool on the same sources.
        EXPECT_EQ(first, Bytes(fs::path(QUELLBORE_DATA_DIR) / c.built)) << c.source;
    }
}

TEST(Assetc, RefusesBrokenSourcesAndWritesNothing) {
    struct Case {
        const char* mode;
        const char* why;
        const char* text;
    } cases[] = {
        {"picture", "pure black is the transparent colour", "size 4 4\npalette\n  a 000000\nend\n"},
        {"picture", "near black would look transparent", "size 4 4\npalette\n  a 040204\nend\n"},
        {"picture", "colour not in the palette", "size 4 4\npalette\n  a 101010\nend\ngrid 0 0\nab\nend\n"},
        {"picture", "grid outside the picture", "size 2 2\npalette\n  a 101010\nend\ngrid 0 0\naaa\nend\n"},
        {"picture", "grid never closed", "size 2 2\npalette\n  a 101010\nend\ngrid 0 0\naa\n"},
        {"picture", "no size first", "palette\n  a 101010\nend\n"},
        {"picture", "unknown procedure", "size 8 8\nproc nothing 1 2\n"},
        {"sound", "no voice", "gain 0.5\n"},
        {"sound", "absurd length", "voice wave=square f=440 len=99\n"},
        {"music", "voices of unequal length", "voice a square\nvoice b triangle\na: c4 d4\nb: c4\n"},
        {"music", "unclosed repeat", "voice a square\na: [c4 d4\n"},
        {"music", "unknown macro", "voice a square\na: $nothing\n"},
    };
    TempDir t;
    for (const Case& c : cases) {
        fs::path src = t.path / "broken.src", out = t.path / "broken.out";
        {
            std::ofstream f(src, std::ios::binary);
            f << c.text;
        }
        EXPECT_NE(RunTool(c.mode, src, out), 0) << c.why;
        EXPECT_FALSE(fs::exists(out)) << c.why;
        EXPECT_FALSE(fs::exists(out.string() + ".tmp")) << c.why;
    }
}
