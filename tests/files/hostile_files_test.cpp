// The file layer against what a hostile or careless disk holds: FIFOs in
// place of files and archives, archives named in another letter case,
// unreadable archives, and opens whose result must not depend on what was
// opened before.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/core.h"
#include "engine/files/files.h"
#include "tests/support/fifo.h"
#include "tests/support/temp_folder.h"

namespace {

std::string ReadAll(const std::string& path, bool* opened) {
    std::string s;
    int h = FileOpen(path.c_str());
    *opened = h != 0;
    if (!h) return s;
    char buffer[256];
    for (size_t n; (n = FileRead(buffer, 1, sizeof buffer, h)) != 0;) s.append(buffer, n);
    FileClose(h);
    return s;
}

class HostileFiles : public ::testing::Test {
protected:
    TempFolder base;
    void SetUp() override {
        FileLayerEnd();
        FileSetArchiveKey(nullptr);
        MakeFolder(base / "data");
        ASSERT_TRUE(WriteFileText(base / "data/jumper.dat", "archived jumper"));
        ASSERT_TRUE(WriteFileText(base / "data/other.txt", "archived other"));
    }
    void TearDown() override { FileLayerEnd(); }
    // Packs data/ into the named archive, then changes the disk copies.
    void PackAs(const std::string& name) {
        ASSERT_EQ(RunPacker("'" + (base / "data") + "' '" + (base / name) + "'"), 0);
        ASSERT_TRUE(WriteFileText(base / "data/jumper.dat", "disk jumper"));
        ASSERT_TRUE(WriteFileText(base / "data/other.txt", "disk other"));
    }
};

TEST_F(HostileFiles, AnArchiveNamedLikeItsDirectoryInAnyCaseStandsForIt) {
    const char* names[] = {"DATA.ARC", "data.ARC", "data.arc", "Data.Arc", "DATA.arc"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        FileLayerEnd();
        ASSERT_TRUE(WriteFileText(base / "data/jumper.dat", "archived jumper"));
        ASSERT_TRUE(WriteFileText(base / "data/other.txt", "archived other"));
        PackAs(name);
        char saved[4096];
        ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
        ASSERT_EQ(chdir(base.path.c_str()), 0);
        bool opened = false;
        EXPECT_EQ(ReadAll("./data/jumper.dat", &opened), "archived jumper");
        EXPECT_EQ(ReadAll("./DATA/JUMPER.DAT", &opened), "archived jumper");
        ASSERT_EQ(chdir(saved), 0);
        std::remove((base / name).c_str());
    }
}

TEST_F(HostileFiles, WhatAnOpenFindsDoesNotDependOnEarlierOpens) {
    // A directory DATA beside data/ and its archive data.ARC: the archive
    // stands for both names, whichever is opened first. A parent spelled in
    // another case is another directory, archive or not.
    MakeFolder(base / "DATA");
    ASSERT_TRUE(WriteFileText(base / "DATA/other.txt", "disk DATA other"));
    PackAs("data.ARC");
    std::string upperBase = base.path;
    for (char& c : upperBase)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    struct Probe {
        std::string path;
        std::string expected;  // "" when the open must fail
    } probes[] = {
        {base / "DATA/other.txt", "archived other"},
        {base / "data/jumper.dat", "archived jumper"},
        {upperBase + "/data/jumper.dat", ""},
        {base / "DATA/missing.txt", ""},
    };
    const size_t n = sizeof probes / sizeof probes[0];
    // Each probe alone on a fresh layer, then all of them in two orders.
    std::vector<std::vector<size_t>> orders;
    for (size_t i = 0; i < n; ++i) orders.push_back({i});
    orders.push_back({0, 1, 2, 3});
    orders.push_back({1, 3, 2, 0});
    for (const auto& order : orders) {
        FileLayerEnd();
        for (size_t i : order) {
            bool opened = false;
            std::string got = ReadAll(probes[i].path, &opened);
            EXPECT_EQ(opened, !probes[i].expected.empty()) << probes[i].path << " after " << order[0];
            EXPECT_EQ(got, probes[i].expected) << probes[i].path;
        }
    }
}

TEST_F(HostileFiles, AFifoInPlaceOfAFileOrAnArchiveNeverBlocks) {
    std::string fifo = base / "data/jumper.dat";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int handle = -1;
    EXPECT_TRUE(FinishesWithoutBlocking(fifo, [&] { handle = FileOpen(fifo.c_str()); }));
    EXPECT_EQ(handle, 0);

    // A FIFO where an archive is looked for is no archive: the disk answers.
    std::remove(fifo.c_str());
    ASSERT_TRUE(WriteFileText(fifo, "disk jumper"));
    std::string arc = base / "data.ARC";
    ASSERT_EQ(mkfifo(arc.c_str(), 0600), 0);
    std::string got;
    bool opened = false;
    EXPECT_TRUE(FinishesWithoutBlocking(arc, [&] { got = ReadAll(fifo, &opened); }));
    EXPECT_EQ(got, "disk jumper");
}

TEST_F(HostileFiles, AnArchiveRejectedAsUnreadableIsLoggedOnce) {
    ASSERT_EQ(LogStart(base.path.c_str()), 0);
    ASSERT_TRUE(WriteFileText(base / "data.ARC", "AR but not an archive at all"));
    bool opened = false;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadAll(base / "data/jumper.dat", &opened), "archived jumper");
    std::vector<unsigned char> log = ReadFileBytes(base / "Log.txt");
    std::string text(log.begin(), log.end());
    std::string name = base / "data.ARC";
    size_t first = text.find(name);
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find(name, first + 1), std::string::npos) << text;
    LogStart(nullptr);
}

}  // namespace
