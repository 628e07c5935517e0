#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

const std::string Tool = std::string(QUELLBORE_BUILD_DIR) + "/tools/stage/quellbore-stage";

int RunTool(const std::string& args) {
    const std::string command = "'" + Tool + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Rgb {
    int r, g, b;
};

TEST(StageTool, RendersTheWholeFieldWithSpawnsMarked) {
    if (!std::filesystem::exists(Tool)) GTEST_SKIP() << "quellbore-stage not built";
    TempWorkDir dir;
    // Ground under rows 0..9, an enemy (value 52) at row 3, cell 10; a boss
    // (99) at row 319, cell 15; a hidden block at row 7, cell 12.
    std::string text = "0 0\n";
    for (int r = 0; r < 320; ++r) {
        for (int p = 0; p < 16; ++p) {
            int v = 0;
            if (r < 10 && p == 0) v = 1;
            if (r == 3 && p == 5) v = 52;
            if (r == 319 && p == 0) v = 99;
            if (r == 7 && p == 3) v = 5;
            text += std::to_string(v) + (p == 15 ? "\n" : " ");
        }
    }
    dir.Write("s.dat", text);
    ASSERT_EQ(RunTool("render s.dat out.png --data data"), 0);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir.root / "out.png").c_str()));
    EXPECT_EQ(image.width, 5120u);
    EXPECT_EQ(image.height, 256u);
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    auto at = [&](int x, int y) {
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * 5120 + x) * 3];
        return Rgb{p[0], p[1], p[2]};
    };
    // The enemy's cell outline (cell 10: y 160..175) in red, the boss's in yellow.
    EXPECT_EQ(at(48, 160).r, 255);
    EXPECT_EQ(at(48, 160).b, 64);
    EXPECT_EQ(at(16 * 319 + 15, 255).g, 220);
    EXPECT_EQ(at(16 * 319 + 15, 255).b, 0);
    // The hidden block, dotted cyan.
    EXPECT_EQ(at(112, 192).r, 0);
    EXPECT_EQ(at(112, 192).b, 255);
    // Without pictures everything else stays black.
    EXPECT_EQ(at(2000, 100).r + at(2000, 100).g + at(2000, 100).b, 0);
}

TEST(StageTool, RefusesWhatItCannotRead) {
    if (!std::filesystem::exists(Tool)) GTEST_SKIP() << "quellbore-stage not built";
    TempWorkDir dir;
    EXPECT_EQ(RunTool("render missing.dat out.png --data data"), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.root / "out.png"));
    EXPECT_EQ(RunTool("render only-one-argument"), 2);
    EXPECT_EQ(RunTool("render a.dat b.png --data"), 2);
    EXPECT_EQ(RunTool("no-such-command"), 2);
    dir.Write("s.dat", "0 0\n");
    EXPECT_EQ(RunTool("render s.dat out.png --data no-such-folder"), 1);
}

}  // namespace
