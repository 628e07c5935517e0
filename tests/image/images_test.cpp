// The image handle table, the 16-bit storage with the transparency rule,
// and LoadImageFile through the file layer (archives included).
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/files/files.h"
#include "engine/image/image.h"
#include "picture_fixtures.h"

namespace {

DecodedImage Decoded(int width, int height, std::vector<uint8_t> rgba, int hasAlpha) {
    DecodedImage d;
    d.width = width;
    d.height = height;
    d.hasAlpha = hasAlpha;
    d.pixels = static_cast<uint8_t*>(EngineAlloc(rgba.size()));
    std::memcpy(d.pixels, rgba.data(), rgba.size());
    return d;
}

class ImageTable : public ::testing::Test {
protected:
    void SetUp() override {
        EndImages();
        g_TransparentKey = 0;
        g_TransparentKeyEnabled = 1;
    }
    void TearDown() override {
        EndImages();
        g_TransparentKey = 0;
        g_TransparentKeyEnabled = 1;
    }
};

TEST_F(ImageTable, HandlesCarryKindCheckNumberAndSlot) {
    int a = CreateEmptyImage(4, 4, 0, 0);
    int b = CreateEmptyImage(4, 4, 0, 1);
    EXPECT_EQ(unsigned(a), 0x08000000u);
    EXPECT_EQ(unsigned(b), 0x08010001u);
    ASSERT_NE(GetImage(a), nullptr);
    EXPECT_EQ(GetImage(a)->handle, a);
    EXPECT_EQ(GetImage(b)->drawable, 1);
    EXPECT_EQ(GetImage(b)->movieLink, -1);
    EXPECT_EQ(ImageCount(), 2);

    for (int bad : {-1, 0, 1, a | 0x8000, (a & ~0x78000000) | 0x10000000, a + 0x00010000, b - 0x00010000,
                    0x08000002}) {
        EXPECT_EQ(GetImage(bad), nullptr) << std::hex << bad;
    }
    // A deleted image's handle dies; its slot is not reused while the
    // next-slot index has room, and the check counter keeps counting.
    EXPECT_EQ(DeleteImage(a), 0);
    EXPECT_EQ(GetImage(a), nullptr);
    EXPECT_EQ(DeleteImage(a), -1);
    EXPECT_EQ(unsigned(CreateEmptyImage(1, 1, 0, 0)), 0x08020002u);
    // Refused sizes make no image.
    EXPECT_EQ(CreateEmptyImage(0, 4, 0, 0), -1);
    EXPECT_EQ(CreateEmptyImage(16385, 1, 0, 0), -1);
    EXPECT_EQ(ImageCount(), 2);
}

TEST_F(ImageTable, CheckNumbersWrapAfter2047) {
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(DeleteImage(CreateEmptyImage(1, 1, 0, 0)), 0);
    // Slot 2048, check number 0 again.
    EXPECT_EQ(unsigned(CreateEmptyImage(1, 1, 0, 0)), 0x08000800u);
}

TEST_F(ImageTable, AFullRunOfSlotsSearchesFromZeroThenIsFatal) {
    std::vector<int> handles;
    for (int i = 0; i < ImageSlotCount; ++i) handles.push_back(CreateEmptyImage(1, 1, 0, 0));
    EXPECT_EQ(handles.back() & 0x7FFF, 0x7FFF);
    ASSERT_EQ(DeleteImage(handles[5]), 0);
    int again = CreateEmptyImage(1, 1, 0, 0);
    EXPECT_EQ(again & 0x7FFF, 5);
    EXPECT_EQ((again >> 16) & 0x7FF, ImageSlotCount % ImageCheckCount);
    EXPECT_EXIT(CreateEmptyImage(1, 1, 0, 0), ::testing::ExitedWithCode(255), "");
}

TEST_F(ImageTable, TheKeyIsComparedBeforeReduction) {
    // (0,0,0) and (4,2,4) reduce to the same 15-bit colour; only the first
    // equals the key.
    DecodedImage d = Decoded(3, 1, {0, 0, 0, 255, 4, 2, 4, 255, 255, 255, 255, 255}, 0);
    int h = CreateImageFromDecoded(&d, nullptr, "x");
    ImageRecord* r = GetImage(h);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->format, ImageStorageA1R5G5B5);
    EXPECT_EQ(r->pixels[0], 0x0000);
    EXPECT_EQ(r->pixels[1], 0x8000);
    EXPECT_EQ(r->pixels[2], 0xFFFF);
    EXPECT_STREQ(r->sourcePath, "x");

    // Another key: the record copies it when it is made.
    g_TransparentKey = 0x040204;
    int k = CreateImageFromDecoded(&d, nullptr, nullptr);
    g_TransparentKey = 0;
    ImageRecord* rk = GetImage(k);
    EXPECT_EQ(rk->transparentKey, 0x040204);
    EXPECT_EQ(rk->pixels[0], 0x8000);
    EXPECT_EQ(rk->pixels[1], 0x0000);
    EXPECT_EQ(r->pixels[0], 0x0000);  // the earlier image keeps its own

    // With keying off (an 8-bit screen) nothing is transparent.
    g_TransparentKeyEnabled = 0;
    ImageRecord* rn = GetImage(CreateImageFromDecoded(&d, nullptr, nullptr));
    EXPECT_EQ(rn->pixels[0], 0x8000);
    FreeDecodedImage(&d);
}

TEST_F(ImageTable, PicturesWithAlphaAreStoredFourBitsAChannel) {
    DecodedImage d = Decoded(2, 1, {0xF0, 0x80, 0x1F, 0x7F, 0, 0, 0, 0}, 1);
    ImageRecord* r = GetImage(CreateImageFromDecoded(&d, nullptr, nullptr));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->format, ImageStorageA4R4G4B4);
    EXPECT_EQ(r->hasAlpha, 1);
    EXPECT_EQ(r->pixels[0], 0x7F81);
    EXPECT_EQ(r->pixels[1], 0x0000);  // alpha pictures are not keyed

    // A companion of the same size gives alpha from its blue channel.
    DecodedImage plain = Decoded(2, 1, {255, 255, 255, 255, 0, 0, 0, 255}, 0);
    DecodedImage mask = Decoded(2, 1, {0, 0, 0x80, 255, 0, 0, 0xFF, 255}, 0);
    ImageRecord* m = GetImage(CreateImageFromDecoded(&plain, &mask, nullptr));
    EXPECT_EQ(m->format, ImageStorageA4R4G4B4);
    EXPECT_EQ(m->pixels[0], 0x8FFF);
    EXPECT_EQ(m->pixels[1], 0xF000);
    // A companion of another size is ignored.
    DecodedImage small = Decoded(1, 1, {0, 0, 0, 255}, 0);
    ImageRecord* s = GetImage(CreateImageFromDecoded(&plain, &small, nullptr));
    EXPECT_EQ(s->format, ImageStorageA1R5G5B5);
    FreeDecodedImage(&d);
    FreeDecodedImage(&plain);
    FreeDecodedImage(&mask);
    FreeDecodedImage(&small);
}

TEST(ImageCompanion, UnderscoreAGoesBeforeTheFirstDot) {
    struct Case {
        const char* path;
        const char* companion;
    } cases[] = {
        {"./data/block.dat", "_a./data/block.dat"},
        {"noext", "noext_a"},
        {"dir/name.tar.gz", "dir/name_a.tar.gz"},
        {"\x83\x41\x83\x43.bmp", "\x83\x41\x83\x43_a.bmp"},
        {"", "_a"},
    };
    for (const Case& c : cases) {
        char out[64];
        ASSERT_EQ(ImageCompanionName(c.path, out, sizeof out), 0);
        EXPECT_STREQ(out, c.companion);
    }
    char tiny[4];
    EXPECT_EQ(ImageCompanionName("abcd", tiny, sizeof tiny), -1);
}

// ------------------------------------------------------- LoadImageFile

class LoadImage : public ::testing::Test {
protected:
    static TempFolder* home;
    static std::string saved;
    static void SetUpTestSuite() {
        home = new TempFolder;
        char cwd[4096];
        saved = getcwd(cwd, sizeof cwd) ? cwd : ".";
        ASSERT_EQ(chdir(home->path.c_str()), 0);  // Log.txt goes here
        ASSERT_EQ(EngineInit(), 0);
    }
    static void TearDownTestSuite() {
        EngineEnd();
        if (chdir(saved.c_str()) != 0) {
        }
        delete home;
    }
    TempFolder dir;
    void SetUp() override {
        EndImages();
        SetTransparentColor(0, 0, 0);
    }
};
TempFolder* LoadImage::home = nullptr;
std::string LoadImage::saved;

TEST_F(LoadImage, KnowsPicturesByContentAndNumbersThem) {
    Picture p = TestPicture();
    PngOptions o;
    std::vector<Bytes> rows;
    for (int y = 0; y < p.height; ++y) {
        Bytes r;
        for (int x = 0; x < p.width; ++x) r.insert(r.end(), p.At(x, y), p.At(x, y) + 3);
        rows.push_back(r);
    }
    ASSERT_TRUE(WriteFileBytes(dir / "block.dat", MakePng(5, 3, o, rows)));
    ASSERT_TRUE(WriteFileBytes(dir / "tiles.dat", MakeBmp(p, BmpOptions())));
    int a = LoadImageFile((dir / "block.dat").c_str(), 0);
    int b = LoadImageFile((dir / "tiles.dat").c_str(), 0);
    EXPECT_EQ(unsigned(a), 0x08000000u);
    EXPECT_EQ(unsigned(b), 0x08010001u);
    ImageRecord* r = GetImage(a);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 5);
    EXPECT_EQ(r->height, 3);
    EXPECT_EQ(r->pixels[0], 0x8000 | (p.At(0, 0)[0] >> 3) << 10 | (p.At(0, 0)[1] >> 3) << 5 | (p.At(0, 0)[2] >> 3));
    EXPECT_STREQ(r->sourcePath, (dir / "block.dat").c_str());
    EXPECT_EQ(std::memcmp(GetImage(b)->pixels, r->pixels, 15 * 2), 0);  // the same picture
}

TEST_F(LoadImage, MissingAndUndecodableFilesGiveMinusOne) {
    ASSERT_TRUE(WriteFileText(dir / "junk.dat", "this is no picture at all, just some text"));
    EXPECT_EQ(LoadImageFile((dir / "missing.dat").c_str(), 0), -1);
    EXPECT_EQ(LoadImageFile((dir / "junk.dat").c_str(), 0), -1);
    EXPECT_EQ(LoadImageFile(nullptr, 0), -1);
    EXPECT_EQ(ImageCount(), 0);
    // The log names both failures.
    std::vector<unsigned char> log = ReadFileBytes(home->path + "/Log.txt");
    EXPECT_FALSE(log.empty());
}

TEST_F(LoadImage, ACompanionPictureGivesAlpha) {
    Picture p = TestPicture();
    Picture mask = p;
    for (size_t i = 0; i < mask.rgba.size(); i += 4) mask.rgba[i + 2] = uint8_t(i * 4);
    ASSERT_TRUE(WriteFileBytes(dir / "pic.dat", MakeBmp(p, BmpOptions())));
    ASSERT_TRUE(WriteFileBytes(dir / "pic_a.dat", MakeBmp(mask, BmpOptions())));
    ASSERT_EQ(dir.path.find('.'), std::string::npos);
    ImageRecord* r = GetImage(LoadImageFile((dir / "pic.dat").c_str(), 0));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->format, ImageStorageA4R4G4B4);
    EXPECT_EQ(r->pixels[1] >> 12, (4 * 4) >> 4);
    EXPECT_EQ(r->pixels[14] >> 12, (14 * 4 * 4) >> 4);
}

TEST_F(LoadImage, ReadsPicturesOutOfAnArchive) {
    Picture p = TestPicture();
    MakeFolder(dir / "data");
    ASSERT_TRUE(WriteFileBytes(dir / "data/Hero.dat", MakeTga(p, 10, 24, false, false, true)));
    ASSERT_EQ(RunPacker("'" + (dir / "data") + "'"), 0);
    ASSERT_TRUE(RemoveTree(dir / "data"));
    ImageRecord* r = GetImage(LoadImageFile((dir / "data/hero.DAT").c_str(), 0));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 5);
    EXPECT_EQ(LoadImageFile((dir / "data/villain.dat").c_str(), 0), -1);
    FileLayerEnd();
}

TEST(LoadImageBeforeStart, IsRefused) {
    if (g_Window.initialised) GTEST_SKIP();
    TempFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "a.bmp", MakeBmp(TestPicture(), BmpOptions())));
    EXPECT_EQ(LoadImageFile((dir / "a.bmp").c_str(), 0), -1);
}

}  // namespace
