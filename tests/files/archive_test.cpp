// Archives made by quellbore-pack, read through the file layer: found by
// directory, names in any letter case, files missing from the archive not
// looked for on disk, compressed and stored, both keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/files/files.h"
#include "tests/support/temp_folder.h"

namespace {

std::vector<unsigned char> Pattern(size_t size, unsigned seed) {
    std::vector<unsigned char> v(size);
    unsigned x = seed;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        v[i] = (unsigned char)(x >> 16);
    }
    return v;
}

std::vector<unsigned char> Compressible(size_t size) {
    std::vector<unsigned char> v;
    while (v.size() < size) {
        const char* line = "stage 12 row 7: block block coin coin enemy\n";
        v.insert(v.end(), line, line + std::strlen(line));
    }
    v.resize(size);
    return v;
}

// Everything a path opened through the layer reads, or "missing".
std::vector<unsigned char> ReadThroughLayer(const std::string& path, bool* opened) {
    std::vector<unsigned char> bytes;
    int h = FileOpen(path.c_str(), 0, 1, 0);
    *opened = h != 0;
    if (!h) return bytes;
    bytes.resize(size_t(FileSize(h)));
    size_t got = bytes.empty() ? 0 : FileRead(bytes.data(), 1, bytes.size(), h);
    EXPECT_EQ(got, bytes.size());
    FileClose(h);
    return bytes;
}

class ArchiveTest : public ::testing::Test {
protected:
    TempFolder base;
    std::vector<unsigned char> jumper = Compressible(5000);
    std::vector<unsigned char> bom = Pattern(3001, 7);
    std::vector<unsigned char> deep = Compressible(70000);

    void SetUp() override {
        FileLayerEnd();  // no archive of an earlier case stays open
        FileSetArchiveKey(nullptr);
        MakeFolder(base / "data");
        MakeFolder(base / "data/sound");
        MakeFolder(base / "data/sound/Deep");
        ASSERT_TRUE(WriteFileBytes(base / "data/jumper.dat", jumper));
        ASSERT_TRUE(WriteFileBytes(base / "data/sound/bom24.wav", bom));
        ASSERT_TRUE(WriteFileBytes(base / "data/sound/Deep/Long.Ogg", deep));
        ASSERT_TRUE(WriteFileBytes(base / "data/empty.dat", {}));
    }
    void TearDown() override {
        FileLayerEnd();
        FileSetArchiveKey(nullptr);
    }
    // Packs data into data.ARC, then changes the disk copies so that a read
    // from disk is told apart from a read from the archive.
    void Pack(const std::string& options) {
        ASSERT_TRUE(WriteFileBytes(base / "data/jumper.dat", jumper));
        std::remove((base / "data/only_on_disk.dat").c_str());
        ASSERT_EQ(RunPacker(options + " '" + (base / "data") + "'"), 0) << options;
        ASSERT_TRUE(WriteFileText(base / "data/jumper.dat", "disk copy"));
        ASSERT_TRUE(WriteFileText(base / "data/only_on_disk.dat", "disk"));
    }
};

TEST_F(ArchiveTest, EveryModeAndKeyReadsBackBitForBit) {
    struct Case {
        const char* options;
        const char* engineKey;
    } cases[] = {
        {"", nullptr},
        {"--stored", nullptr},
        {"--key secret", "secret"},
        {"--stored --key 0123456789ABCDEFGH", "0123456789ABCDEFGH"},
        {"--plain", nullptr},
        {"--plain --stored", "any key at all"},  // the second key is always tried
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        FileLayerEnd();
        FileSetArchiveKey(c.engineKey);
        Pack(c.options);
        bool opened = false;
        EXPECT_EQ(ReadThroughLayer(base / "data/jumper.dat", &opened), jumper);
        EXPECT_TRUE(opened);
        EXPECT_EQ(ReadThroughLayer(base / "data/sound/bom24.wav", &opened), bom);
        EXPECT_EQ(ReadThroughLayer(base / "data/sound/Deep/Long.Ogg", &opened), deep);
        EXPECT_TRUE(ReadThroughLayer(base / "data/empty.dat", &opened).empty());
        EXPECT_TRUE(opened);
        // Not in the archive: not looked for on disk either.
        ReadThroughLayer(base / "data/only_on_disk.dat", &opened);
        EXPECT_FALSE(opened);
        // A wrong key for a scrambled archive: no archive, the disk answers.
        if (c.engineKey && std::strcmp(c.options, "--plain --stored") != 0) {
            FileLayerEnd();
            FileSetArchiveKey(nullptr);
            EXPECT_EQ(ReadThroughLayer(base / "data/jumper.dat", &opened),
                      std::vector<unsigned char>({'d', 'i', 's', 'k', ' ', 'c', 'o', 'p', 'y'}));
        }
    }
}

TEST_F(ArchiveTest, NamesMatchInAnyCaseAndPathsAreNormalised) {
    Pack("");
    const char* paths[] = {
        "data/JUMPER.DAT",
        "data/Jumper.Dat",
        "data\\jumper.dat",
        "data/./sound/../jumper.dat",
        "data//jumper.dat",
    };
    for (const char* p : paths) {
        bool opened = false;
        EXPECT_EQ(ReadThroughLayer(base / p, &opened), jumper) << p;
    }
    bool opened = false;
    EXPECT_EQ(ReadThroughLayer(base / "data/SOUND/deep/LONG.ogg", &opened), deep);
    // A directory of the archive is not a file.
    ReadThroughLayer(base / "data/sound", &opened);
    EXPECT_FALSE(opened);

    // Relative paths resolve against the working directory.
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(base.path.c_str()), 0);
    EXPECT_EQ(ReadThroughLayer("./data/jumper.dat", &opened), jumper);
    EXPECT_EQ(ReadThroughLayer("data/sound/bom24.wav", &opened), bom);
    ASSERT_EQ(chdir(saved), 0);
}

TEST_F(ArchiveTest, LowerCaseExtensionAndArchivesOfInnerDirectories) {
    ASSERT_EQ(RunPacker("'" + (base / "data/sound") + "' '" + (base / "data/sound.arc") + "'"), 0);
    ASSERT_TRUE(WriteFileText(base / "data/sound/bom24.wav", "disk"));
    bool opened = false;
    EXPECT_EQ(ReadThroughLayer(base / "data/sound/bom24.wav", &opened), bom);
    EXPECT_EQ(ReadThroughLayer(base / "data/sound/deep/long.ogg", &opened), deep);
    // Outside the archive's directory the disk is read as usual.
    EXPECT_EQ(ReadThroughLayer(base / "data/jumper.dat", &opened), jumper);
    EXPECT_TRUE(opened);
}

TEST_F(ArchiveTest, ArchivedReadsClampSeeksAndFlagTheEnd) {
    for (const char* mode : {"", "--stored"}) {
        SCOPED_TRACE(mode);
        FileLayerEnd();
        Pack(mode);
        int h = FileOpen((base / "data/jumper.dat").c_str());
        ASSERT_NE(h, 0);
        EXPECT_EQ(FileSize(h), 5000);
        unsigned char b[16];
        EXPECT_EQ(FileSeek(h, 100, 0), 0);
        EXPECT_EQ(FileRead(b, 4, 2, h), 2u);
        EXPECT_EQ(std::memcmp(b, jumper.data() + 100, 8), 0);
        EXPECT_EQ(FileSeek(h, -100000, 1), 0);
        EXPECT_EQ(FileTell(h), 0);
        EXPECT_EQ(FileSeek(h, 100000, 0), 0);
        EXPECT_EQ(FileTell(h), 5000);
        EXPECT_EQ(FileRead(b, 1, 1, h), 0u);
        EXPECT_EQ(FileEof(h), -1);
        EXPECT_EQ(FileSeek(h, -3, 2), 0);
        EXPECT_EQ(FileEof(h), 0);
        // Three bytes left, 2-byte elements: the bytes come, one counts.
        EXPECT_EQ(FileRead(b, 2, 4, h), 1u);
        EXPECT_EQ(std::memcmp(b, jumper.data() + 4997, 3), 0);
        EXPECT_EQ(FileTell(h), 5000);
        EXPECT_EQ(FileClose(h), 0);
    }
}

TEST_F(ArchiveTest, ManyOpensUnderOneArchiveShareIt) {
    Pack("");
    std::vector<int> handles;
    for (int i = 0; i < 40; ++i) {
        int h = FileOpen((base / (i % 2 ? "data/jumper.dat" : "data/sound/bom24.wav")).c_str());
        ASSERT_NE(h, 0);
        handles.push_back(h);
    }
    unsigned char b[4];
    for (size_t i = 0; i < handles.size(); ++i) {
        ASSERT_EQ(FileRead(b, 1, 4, handles[i]), 4u);
        EXPECT_EQ(std::memcmp(b, (i % 2 ? jumper : bom).data(), 4), 0);
    }
    for (int h : handles) FileClose(h);
}

TEST_F(ArchiveTest, CorruptCompressedDataFailsTheOpen) {
    // Only one compressible file, unscrambled, so its block lies at offset
    // 28 of the archive: marker at 36, stream from 37.
    TempFolder one;
    MakeFolder(one / "pack");
    ASSERT_TRUE(WriteFileBytes(one / "pack/a.txt", Compressible(4000)));
    ASSERT_EQ(RunPacker("--plain '" + (one / "pack") + "'"), 0);
    std::vector<unsigned char> archive = ReadFileBytes(one / "pack.ARC");
    ASSERT_GT(archive.size(), 64u);
    uint8_t marker = archive[36];
    std::vector<unsigned char> bad = archive;
    bad[37] = marker;
    bad[38] = marker > 3 ? 3 : 4;  // a distance size of 3
    ASSERT_TRUE(WriteFileBytes(one / "pack.ARC", bad));
    bool opened = true;
    ReadThroughLayer(one / "pack/a.txt", &opened);
    EXPECT_FALSE(opened);

    FileLayerEnd();
    bad = archive;
    bad[37] = marker;  // a reference before the start of the output
    bad[38] = marker > 0 ? 0 : 1;
    bad[39] = 200;
    ASSERT_TRUE(WriteFileBytes(one / "pack.ARC", bad));
    ReadThroughLayer(one / "pack/a.txt", &opened);
    EXPECT_FALSE(opened);

    FileLayerEnd();
    ASSERT_TRUE(WriteFileBytes(one / "pack.ARC", archive));
    ReadThroughLayer(one / "pack/a.txt", &opened);
    EXPECT_TRUE(opened);
}

TEST_F(ArchiveTest, DamagedOrForeignArchivesCountAsNoArchive) {
    std::vector<std::vector<unsigned char>> fakes = {
        {},
        {'A', 'R'},
        {'A', 'R', 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // version 5
        // version 4 whose header block lies beyond the file
        {'A', 'R', 4, 0, 0x10, 0, 0, 0, 28, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA4, 3, 0, 0},
        Pattern(300, 3),
    };
    for (size_t i = 0; i < fakes.size(); ++i) {
        FileLayerEnd();
        ASSERT_TRUE(WriteFileBytes(base / "data.ARC", fakes[i]));
        bool opened = false;
        EXPECT_EQ(ReadThroughLayer(base / "data/jumper.dat", &opened), jumper) << i;
    }
}

TEST_F(ArchiveTest, PackerListsAndExtractsWhatItWrote) {
    ASSERT_EQ(RunPacker("--key abc '" + (base / "data") + "'"), 0);
    std::string list = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-pack --list --key abc '" + (base / "data.ARC") + "'";
    FILE* p = popen(list.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string listing;
    char line[512];
    while (std::fgets(line, sizeof line, p)) listing += line;
    pclose(p);
    EXPECT_NE(listing.find("jumper.dat\t5000\tcompressed"), std::string::npos) << listing;
    EXPECT_NE(listing.find("sound/bom24.wav\t3001\tstored"), std::string::npos) << listing;  // not compressible
    EXPECT_NE(listing.find("sound/Deep/"), std::string::npos) << listing;

    ASSERT_EQ(RunPacker("--extract '" + (base / "out") + "' --key abc '" + (base / "data.ARC") + "'"), 0);
    EXPECT_EQ(ReadFileBytes(base / "out/jumper.dat"), jumper);
    EXPECT_EQ(ReadFileBytes(base / "out/sound/bom24.wav"), bom);
    EXPECT_EQ(ReadFileBytes(base / "out/sound/Deep/Long.Ogg"), deep);
    // The wrong key is refused.
    EXPECT_NE(RunPacker("--list --key abd '" + (base / "data.ARC") + "'"), 0);
}

}  // namespace
