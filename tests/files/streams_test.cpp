// Memory streams, plain files, the stream table and the archive format's
// pure parts (keys, search keys, the decompressor).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/files/files.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(MemoryStream, ReadsWholeElementsAndNeverCountsAPartOne) {
    unsigned char data[13];
    for (int i = 0; i < 13; ++i) data[i] = (unsigned char)(i + 1);
    MemoryStream s;
    MemoryStreamOpen(&s, data, sizeof data);

    unsigned char buffer[16] = {};
    EXPECT_EQ(MemoryStreamRead(buffer, 8, 1, &s), 1u);
    EXPECT_EQ(MemoryStreamTell(&s), 8);
    // 5 bytes left, an 8-byte element asked for: the bytes arrive, the
    // count says no whole element came, and end-of-file is set.
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(MemoryStreamRead(buffer, 8, 1, &s), 0u);
    EXPECT_EQ(std::memcmp(buffer, data + 8, 5), 0);
    EXPECT_EQ(MemoryStreamEof(&s), 1);
    EXPECT_EQ(MemoryStreamRead(buffer, 1, 1, &s), 0u);
    EXPECT_EQ(MemoryStreamEof(&s), 1);

    // Seeking clears end-of-file and clamps into the block.
    EXPECT_EQ(MemoryStreamSeek(&s, -100, 1), 0);
    EXPECT_EQ(MemoryStreamTell(&s), 0);
    EXPECT_EQ(MemoryStreamEof(&s), 0);
    EXPECT_EQ(MemoryStreamSeek(&s, 100, 0), 0);
    EXPECT_EQ(MemoryStreamTell(&s), 13);
    EXPECT_EQ(MemoryStreamSeek(&s, -3, 2), 0);
    EXPECT_EQ(MemoryStreamTell(&s), 10);
    // The count is reduced to the whole elements left.
    MemoryStreamSeek(&s, 0, 0);
    EXPECT_EQ(MemoryStreamRead(buffer, 4, 10, &s), 3u);
    EXPECT_EQ(MemoryStreamTell(&s), 12);
    EXPECT_EQ(MemoryStreamIdle(&s), 1);
}

TEST(PlainFile, ReadsOnlyWholeElementsAndFlagsTheEnd) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileText(dir / "ten.bin", "0123456789"));
    int h = FileOpen((dir / "ten.bin").c_str());
    ASSERT_NE(h, 0);
    EXPECT_EQ(FileSize(h), 10);
    char buffer[16] = {};
    // 3 elements of 4 bytes with 10 left: 8 bytes, 2 elements.
    EXPECT_EQ(FileRead(buffer, 4, 3, h), 2u);
    EXPECT_EQ(std::string(buffer, 8), "01234567");
    EXPECT_EQ(FileTell(h), 8);
    EXPECT_EQ(FileEof(h), 0);
    // Less than one element left: nothing read, end-of-file -1.
    EXPECT_EQ(FileRead(buffer, 4, 1, h), 0u);
    EXPECT_EQ(FileEof(h), -1);
    EXPECT_EQ(FileTell(h), 8);
    EXPECT_EQ(FileRead(buffer, 2, 1, h), 1u);  // a smaller element still fits
    EXPECT_EQ(FileSeek(h, 0, 0), 0);
    EXPECT_EQ(FileEof(h), 0);
    EXPECT_EQ(FileSeek(h, -1, 0), -1);  // before the start: refused
    EXPECT_EQ(FileSeek(h, 5, 2), 0);    // past the end: allowed, reads nothing
    EXPECT_EQ(FileTell(h), 15);
    EXPECT_EQ(FileRead(buffer, 1, 1, h), 0u);
    EXPECT_EQ(FileEof(h), -1);
    EXPECT_EQ(FileSeek(h, -1, 2), 0);
    EXPECT_EQ(FileRead(buffer, 1, 4, h), 1u);
    EXPECT_EQ(buffer[0], '9');
    EXPECT_EQ(FileIdle(h), 1);
    EXPECT_EQ(FileClose(h), 0);
}

TEST(FileTable, HandlesAreFirstFreeSlotsWithTheTopBitsSet) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileText(dir / "a", "a"));
    std::string path = dir / "a";
    int first = FileOpen(path.c_str());
    int second = FileOpen(path.c_str());
    EXPECT_EQ(unsigned(first), 0xF0000000u);
    EXPECT_EQ(unsigned(second), 0xF0000001u);
    EXPECT_EQ(FileClose(first), 0);
    EXPECT_EQ(unsigned(FileOpen(path.c_str())), 0xF0000000u);
    FileClose(int(0xF0000000u));
    FileClose(second);

    // Invalid handles do nothing.
    char c;
    for (int bad : {0, -1, 1, int(0xF0000000u), int(0xF0000000u | 512), int(0xE0000001u)}) {
        EXPECT_EQ(FileClose(bad), -1) << std::hex << bad;
        EXPECT_EQ(FileRead(&c, 1, 1, bad), 0u);
        EXPECT_EQ(FileSeek(bad, 0, 0), -1);
        EXPECT_EQ(FileTell(bad), -1);
    }
    // Missing files and directories open as nothing.
    EXPECT_EQ(FileOpen((dir / "missing").c_str()), 0);
    EXPECT_EQ(FileOpen(dir.path.c_str()), 0);
    EXPECT_EQ(FileOpen(""), 0);
}

TEST(FileTable, RefusesTheFiveHundredThirteenthFile) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileText(dir / "a", "a"));
    std::vector<int> handles;
    for (int i = 0; i < FileSlotCount; ++i) {
        int h = FileOpen((dir / "a").c_str());
        ASSERT_NE(h, 0) << i;
        handles.push_back(h);
    }
    EXPECT_EQ(FileOpen((dir / "a").c_str()), 0);
    for (int h : handles) EXPECT_EQ(FileClose(h), 0);
    int again = FileOpen((dir / "a").c_str());
    EXPECT_NE(again, 0);
    FileClose(again);
}

TEST(EngineStream, FileAndMemoryReadTheSame) {
    TempFolder dir;
    ASSERT_TRUE(WriteFileText(dir / "f", "abcdef"));
    int h = FileOpen((dir / "f").c_str());
    ASSERT_NE(h, 0);
    const char text[] = "abcdef";
    EngineStream streams[2];
    EngineStreamFromFile(&streams[0], h);
    EngineStreamFromMemory(&streams[1], text, 6);
    for (EngineStream& s : streams) {
        char b[4] = {};
        EXPECT_EQ(EngineStreamSize(&s), 6);
        EXPECT_EQ(EngineStreamSeek(&s, 2, 0), 0);
        EXPECT_EQ(EngineStreamReadExact(&s, b, 3), 0);
        EXPECT_EQ(std::string(b, 3), "cde");
        EXPECT_EQ(EngineStreamTell(&s), 5);
        EXPECT_EQ(EngineStreamReadExact(&s, b, 2), -1);  // one byte came
        EXPECT_EQ(EngineStreamEof(&s), 0);                // the end not yet hit
        EXPECT_EQ(EngineStreamRead(&s, b, 1, 1), 0u);
        EXPECT_NE(EngineStreamEof(&s), 0);
    }
    FileClose(h);
}

TEST(FileFind, ListsMatchingNamesIgnoringCase) {
    TempFolder dir;
    WriteFileText(dir / "one.dat", "1");
    WriteFileText(dir / "TWO.DAT", "22");
    WriteFileText(dir / "three.wav", "333");
    MakeFolder(dir / "sub.dat");
    FileFindInfo info;
    std::vector<std::string> names;
    int find = FileFindFirst((dir / "*.dat").c_str(), &info);
    ASSERT_GE(find, 0);
    do {
        names.push_back(info.name);
        if (names.back() == "TWO.DAT") {
            EXPECT_EQ(info.size, 2u);
        }
        if (names.back() == "sub.dat") {
            EXPECT_EQ(info.isDirectory, 1);
        }
        EXPECT_GE(info.lastWrite.year, 2000);
    } while (FileFindNext(find, &info) == 0);
    EXPECT_EQ(FileFindClose(find), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"TWO.DAT", "one.dat", "sub.dat"}));
    EXPECT_EQ(FileFindFirst((dir / "*.none").c_str(), &info), -1);
}

// ------------------------------------------------------------- format

TEST(ArchiveKey, DefaultAndStringKeysFollowThePositionTransforms) {
    uint8_t key[12];
    ArchiveBuildKey(nullptr, key);
    const uint8_t expectedDefault[12] = {0x55, 0xAA, 0x55, 0xF0, 0x55, 0x69, 0xAA, 0x0F, 0xAA, 0x3C, 0x3C, 0x5A};
    EXPECT_EQ(std::memcmp(key, expectedDefault, 12), 0);

    // "ABC" repeats: positions 2, 5, 6, 8, 10 exercise the rotations.
    ArchiveBuildKey("ABC", key);
    EXPECT_EQ(key[0], 0x41 ^ 0xFF);
    EXPECT_EQ(key[1], 0x24);
    EXPECT_EQ(key[2], 0x1A);
    EXPECT_EQ(key[5], 0xBA);
    EXPECT_EQ(key[6], 0x50);
    EXPECT_EQ(key[8], 0x97);
    EXPECT_EQ(key[10], 0x21);
    EXPECT_EQ(key[11], 0x43 ^ 0xF0);

    // Longer strings give their first twelve characters.
    uint8_t a[12], b[12];
    ArchiveBuildKey("0123456789AB", a);
    ArchiveBuildKey("0123456789ABCDEF", b);
    EXPECT_EQ(std::memcmp(a, b, 12), 0);

    ArchivePlainKey(key);
    for (uint8_t k : key) EXPECT_EQ(k, 0);
}

TEST(ArchiveKey, ScramblingFollowsTheFileOffset) {
    uint8_t key[12];
    ArchiveBuildKey("key", key);
    uint8_t data[30] = {};
    ArchiveScramble(data, sizeof data, 7, key);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(data[i], key[(7 + i) % 12]);
    ArchiveScramble(data + 10, 20, 17, key);  // undo part of it
    for (int i = 10; i < 30; ++i) EXPECT_EQ(data[i], 0);
}

TEST(ArchiveSearchKey, UpperCasesPadsAndSums) {
    uint8_t key[64];
    uint16_t check = 0;
    EXPECT_EQ(ArchiveSearchKey("jumper.dat", 10, 932, key, sizeof key, &check), 3);
    EXPECT_EQ(std::memcmp(key, "JUMPER.DAT\0\0", 12), 0);
    int sum = 0;
    for (char c : std::string("JUMPER.DAT")) sum += (unsigned char)c;
    EXPECT_EQ(check, sum);
    // A multiple of four still gets a zero word.
    EXPECT_EQ(ArchiveSearchKey("abcd", 4, 932, key, sizeof key, &check), 2);
    EXPECT_EQ(std::memcmp(key, "ABCD\0\0\0\0", 8), 0);
    // The second byte of a Shift-JIS character is not a letter.
    EXPECT_EQ(ArchiveSearchKey("\x82\x61x", 3, 932, key, sizeof key, &check), 1);
    EXPECT_EQ(std::memcmp(key, "\x82\x61X", 4), 0);
    // Other code pages: any byte with the top bit set leads.
    EXPECT_EQ(ArchiveSearchKey("\xA1\x61", 2, 936, key, sizeof key, &check), 1);
    EXPECT_EQ(key[1], 0x61);
    EXPECT_EQ(ArchiveSearchKey("\xA1\x61", 2, 932, key, sizeof key, &check), 1);
    EXPECT_EQ(key[1], 'A');  // 0xA1 is a single-byte character in Shift-JIS
    // Too long for the buffer: 0.
    EXPECT_EQ(ArchiveSearchKey("abcdefgh", 8, 932, key, 8, &check), 0);
}

TEST(ArchiveDecompress, LiteralsMarkersAndOverlappingReferences) {
    const uint8_t marker = 0xF7;
    // "ab", marker literal, then a reference of 6 bytes at distance 3.
    // Code c = (length - 4) << 3 | distance size 0 = 0x10 (below marker).
    const uint8_t in[] = {'a', 'b', marker, marker, marker, 0x10, 0x02};
    uint8_t out[9];
    ASSERT_EQ(ArchiveDecompress(in, sizeof in, marker, out, sizeof out), 0);
    const uint8_t expected[9] = {'a', 'b', marker, 'a', 'b', marker, 'a', 'b', marker};
    EXPECT_EQ(std::memcmp(out, expected, 9), 0);

    // Codes above the marker are one higher; long lengths take a byte.
    // Length 4 + (1 | 2 << 5) = 69, distance 1 (field 0, 2 bytes).
    const uint8_t low = 0x01;
    const uint8_t in2[] = {'z', low, uint8_t(((1 << 3) | 4 | 1) + 1), 0x02, 0x00, 0x00};
    std::vector<uint8_t> out2(70);
    ASSERT_EQ(ArchiveDecompress(in2, sizeof in2, low, out2.data(), out2.size()), 0);
    for (uint8_t b : out2) EXPECT_EQ(b, 'z');
}

TEST(ArchiveDecompress, CorruptStreamsFailWithoutTouchingMore) {
    const uint8_t m = 0xF0;
    struct Case {
        const char* what;
        std::vector<uint8_t> in;
        size_t outSize;
    } cases[] = {
        {"distance size 3", {'a', 'b', 'c', 'd', m, 0x03, 0, 0, 0}, 8},
        {"reference before the start", {'a', m, 0x00, 0x05}, 5},
        {"output overruns", {'a', 'b', 'c', 'd', m, 0x00, 0x00}, 6},
        {"literal overruns", {'a', 'b', 'c'}, 2},
        {"output falls short", {'a', 'b'}, 3},
        {"marker at the end", {'a', m}, 1},
        {"distance cut off", {'a', 'b', m, 0x01, 0x00}, 6},
        {"long length cut off", {'a', m, 0x04}, 40},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.outSize + 16, 0xEE);
        EXPECT_EQ(ArchiveDecompress(c.in.data(), c.in.size(), m, out.data(), c.outSize), -1) << c.what;
        for (size_t i = c.outSize; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << c.what;
    }
}

}  // namespace
