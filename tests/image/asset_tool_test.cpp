// quellbore-asset image: decoded and stored pictures written as PNG.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/temp_folder.h"
#include "engine/image/image.h"
#include "picture_fixtures.h"

namespace {

struct ToolRun {
    int status;
    std::string output;  // standard output and error
};

ToolRun RunAsset(const std::string& arguments) {
    std::string command = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-asset " + arguments + " 2>&1";
    ToolRun run{-1, ""};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) run.output += buffer;
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

DecodedImage DecodePngFile(const std::string& path) {
    DecodedImage image{};
    Bytes bytes = ReadFileBytes(path);
    const char* name = nullptr;
    EXPECT_EQ(DecodeImageMemory(bytes.data(), bytes.size(), &image, &name), 0);
    return image;
}

// Black, the near-black (4, 2, 4), and a colour with low bits set.
Picture KeyPicture() {
    Picture p;
    p.width = 3;
    p.height = 1;
    p.rgba = {0, 0, 0, 255, 4, 2, 4, 255, 0x87, 0x43, 0xFF, 255};
    return p;
}

TEST(AssetImage, WritesTheDecodedPictureAndSaysWhatItIs) {
    TempFolder dir;
    BmpOptions o;
    ASSERT_TRUE(WriteFileBytes(dir / "key.dat", MakeBmp(KeyPicture(), o)));
    ToolRun run = RunAsset("image '" + (dir / "key.dat") + "' '" + (dir / "out.png") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("decoder: BMP"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("size: 3x1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("alpha: no"), std::string::npos) << run.output;
    DecodedImage out = DecodePngFile(dir / "out.png");
    ASSERT_EQ(out.width, 3);
    EXPECT_EQ(Bytes(out.pixels, out.pixels + 12), KeyPicture().rgba);  // exactly as decoded
    FreeDecodedImage(&out);
}

TEST(AssetImage, StoredShowsTheTransparencyBitAndTheReduction) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "key.dat", MakeBmp(KeyPicture(), BmpOptions())));
    ToolRun run = RunAsset("image --stored '" + (dir / "key.dat") + "' '" + (dir / "stored.png") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("stored: A1R5G5B5"), std::string::npos) << run.output;
    DecodedImage out = DecodePngFile(dir / "stored.png");
    ASSERT_EQ(out.width, 3);
    const Bytes want = {0, 0, 0, 0, 0, 0, 0, 255, 0x84, 0x42, 0xFF, 255};
    EXPECT_EQ(Bytes(out.pixels, out.pixels + 12), want);
    FreeDecodedImage(&out);

    // Another key takes the near-black pixel instead.
    run = RunAsset("image --stored --key 040204 '" + (dir / "key.dat") + "' '" + (dir / "stored.png") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    out = DecodePngFile(dir / "stored.png");
    EXPECT_EQ(out.pixels[3], 255);
    EXPECT_EQ(out.pixels[7], 0);
    FreeDecodedImage(&out);
}

TEST(AssetImage, ReadsThroughArchivesAndFailsWithTheEngineLine) {
    TempFolder dir;
    MakeFolder(dir / "data");
    Picture p = TestPicture(true);
    ASSERT_TRUE(WriteFileBytes(dir / "data/sprite.dat", MakeRawBgra(p, false)));
    ASSERT_TRUE(WriteFileText(dir / "data/notes.dat", "not a picture"));
    ASSERT_EQ(RunPacker("--key k '" + (dir / "data") + "'"), 0);
    ASSERT_TRUE(RemoveTree(dir / "data"));

    // The default key does not open it: the tool reports the missing file.
    ToolRun run = RunAsset("image '" + (dir / "data/SPRITE.dat") + "' '" + (dir / "o.png") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("がありません"), std::string::npos) << run.output;

    ASSERT_EQ(RunPacker("'" + (dir / "data.ARC") + "' --extract '" + (dir / "data") + "' --key k"), 0);
    ASSERT_EQ(RunPacker("'" + (dir / "data") + "'"), 0);
    ASSERT_TRUE(RemoveTree(dir / "data"));
    run = RunAsset("image '" + (dir / "data/SPRITE.dat") + "' '" + (dir / "o.png") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("decoder: BGRA"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("alpha: yes"), std::string::npos) << run.output;
    DecodedImage out = DecodePngFile(dir / "o.png");
    EXPECT_EQ(Bytes(out.pixels, out.pixels + p.rgba.size()), p.rgba);
    FreeDecodedImage(&out);

    run = RunAsset("image '" + (dir / "data/notes.dat") + "' '" + (dir / "o.png") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("右記のグラフィックファイルのロードに失敗しました："), std::string::npos) << run.output;

    EXPECT_EQ(RunAsset("image onlyone").status, 2);
}

}  // namespace
