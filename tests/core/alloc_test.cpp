#include <cstdint>
#include <cstring>
#include <regex>
#include <string>

#include "tests/core/core_test_util.h"

using AllocTest = CoreTest;

TEST_F(AllocTest, ReportListsBlocksNewestFirstWithTotals) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    size_t bytesBefore = TrackedTotalBytes();
    int blocksBefore = TrackedBlockCount();
    char* empty = (char*)EngineAlloc(0);
    int emptyLine = __LINE__ - 1;
    char* data = (char*)EngineAlloc(20);
    std::memcpy(data, "ab\x01\xff" "cdefghijklmnopqr", 20);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(TrackedTotalBytes(), bytesBefore + 20);
    EXPECT_EQ(TrackedBlockCount(), blocksBefore + 2);
    LogStart(dir.c_str());
    LogMemoryReport();
    std::string log = Unstamped(Log());

    // The zero-byte block: no data characters and no bytes.
    std::regex zero("\tsize:0\\(0\\.000kb\\)  file:/alloc_test\\.cpp  line:" + std::to_string(emptyLine) +
                    "  ID:[0-9]+  addr:[0-9a-f]{8,}  data:<> \\]\r\n");
    EXPECT_TRUE(std::regex_search(log, zero)) << log;
    // 16 bytes at most, as characters (control and high bytes as '.') and hex.
    EXPECT_NE(log.find("  data:<ab..cdefghijklmn> [61 62 01 ff 63 64 65 66 67 68 69 6a 6b 6c 6d 6e]\r\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(InOrder(log, {"\r\n", "Alloc memory dump\r\n", "size:20(", "size:0(", "\tTotal size:"}));
    char total[96];
    std::snprintf(total, sizeof total, "\tTotal size:%d(%.3fkb)  Alloc num:%d\r\n\r\n", (int)(bytesBefore + 20),
                  (bytesBefore + 20) / 1024.0, blocksBefore + 2);
    EXPECT_NE(log.find(total), std::string::npos) << log;

    EngineFree(data);
    EngineFree(empty);
    EXPECT_EQ(TrackedTotalBytes(), bytesBefore);
    EXPECT_EQ(TrackedBlockCount(), blocksBefore);
}

TEST_F(AllocTest, ReallocKeepsTheDataAndTakesANewNumber) {
    char* a = (char*)EngineAllocZeroed(8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(a[i], 0);
    std::memcpy(a, "1234567", 8);
    char* b = (char*)EngineRealloc(a, 4000);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b, "1234567");
    char* c = (char*)EngineRealloc(nullptr, 4);  // null: a fresh block
    ASSERT_NE(c, nullptr);
    EngineFree(c);
    EngineFree(b);
    EngineFree(nullptr);
    EXPECT_EQ(TrackedBlockCount(), 0);
}

TEST_F(AllocTest, DamagedHeaderIsReportedAndNotFreedBlind) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    char* keep = (char*)EngineAlloc(4);
    char* bad = (char*)EngineAlloc(4);
    EXPECT_EQ(TrackedCheckHeaders(), 0);
    char saved = bad[-64 + 17];
    bad[-64 + 17] ^= 0x5A;  // inside the allocation number
    EXPECT_EQ(TrackedCheckHeaders(), -1);
    int blocks = TrackedBlockCount();
    EngineFree(bad);  // refused: the list stays whole
    EXPECT_EQ(TrackedBlockCount(), blocks);
    EXPECT_NE(Log().find("以下のメモリ確保情報が破損しました\tsize:4("), std::string::npos) << Log();
    bad[-64 + 17] = saved;
    EngineFree(bad);
    EngineFree(keep);
    EXPECT_EQ(TrackedBlockCount(), 0);
}

TEST_F(AllocTest, FailedAllocationWritesTheReportAndReturnsNull) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    EXPECT_EQ(EngineAlloc(SIZE_MAX - 16), nullptr);
    EXPECT_EQ(EngineAlloc((size_t)UINT32_MAX), nullptr);  // the header keeps sizes in 32 bits
    EXPECT_NE(Log().find("Alloc memory dump"), std::string::npos);
}

TEST_F(AllocTest, WatchSizeLogsAllocationAndRelease) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    TrackedSetWatchSize(33);
    void* p = EngineAlloc(33);
    EngineFree(p);
    TrackedSetWatchSize(0);
    EXPECT_TRUE(InOrder(Unstamped(Log()), {"mem alloc  \tsize:33(", "mem free  \tsize:33("}));
}
