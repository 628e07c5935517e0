#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game/world/save.h"
#include "tests/support/temp_folder.h"

namespace {

class SaveTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    std::string File() const { return dir.Read("data/state0.dat"); }
};

TEST_F(SaveTest, TheRecordIsTwoDigitsABlankAndAZeroByte) {
    struct Case {
        int index;
        std::string bytes;
    } cases[] = {
        {7, std::string("07 \0", 4)},
        {12, std::string("12 \0", 4)},
        {0, std::string("00 \0", 4)},
        {29, std::string("29 \0", 4)},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(WriteSave(c.index), 0);
        EXPECT_EQ(File(), c.bytes) << c.index;
        EXPECT_EQ(LoadSave(), c.index);
        EXPECT_EQ(ReadSavedStage(), c.index);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.root / "data/state0.dat.tmp"));
}

TEST_F(SaveTest, AMissingFileReadsAsZero) {
    EXPECT_EQ(LoadSave(), 0);
    EXPECT_EQ(ReadSavedStage(), 0);
}

TEST_F(SaveTest, OnlyStagesZeroToThirtyAreRead) {
    struct Case {
        const char* contents;
        int value;
    } cases[] = {
        {"15 ", 15}, {"7", 7},  {" \n03", 3}, {"123", 12}, {"45 ", 0},
        {"30", 30}, {"31", 0}, {"-3", 0}, {"99", 0},    {"+9", 9},
    };
    for (const Case& c : cases) {
        dir.Write("data/state0.dat", c.contents);
        EXPECT_EQ(LoadSave(), c.value) << c.contents;
        EXPECT_EQ(ReadSavedStage(), c.value) << c.contents;
    }
}

TEST_F(SaveTest, AnUnreadableFileGivesThePreviousValue) {
    dir.Write("data/state0.dat", "21");
    EXPECT_EQ(LoadSave(), 21);
    dir.Write("data/state0.dat", "");
    EXPECT_EQ(LoadSave(), 21);
    // What the file holds now: nothing to compare with.
    EXPECT_EQ(ReadSavedStage(), 0);
}

TEST_F(SaveTest, AFailedWriteLeavesTheOldFile) {
    ASSERT_EQ(WriteSave(14), 0);
    // A directory where the new file would be written makes the write fail.
    std::filesystem::create_directory(dir.root / "data/state0.dat.tmp");
    EXPECT_EQ(WriteSave(3), -1);
    EXPECT_EQ(File(), std::string("14 \0", 4));
    EXPECT_EQ(LoadSave(), 14);
    std::filesystem::remove(dir.root / "data/state0.dat.tmp");

    // No data folder at all: nothing is written, nothing breaks.
    std::filesystem::remove_all(dir.root / "data");
    EXPECT_EQ(WriteSave(5), -1);
    EXPECT_EQ(LoadSave(), 0);
}

}  // namespace
