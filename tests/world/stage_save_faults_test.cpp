// Stage and save files as a hostile or broken disk leaves them: values
// that are not numbers, FIFOs in place of files, a planted link at the
// save's temporary name, folders where files should be; and the lines
// such failures leave in the log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "engine/core/core.h"
#include "game/shell/game_state.h"
#include "game/world/save.h"
#include "game/world/stage_file.h"
#include "tests/support/fifo.h"
#include "tests/support/temp_folder.h"

namespace {

class StageSaveFaults : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override { ASSERT_EQ(LogStart(dir.root.c_str()), 0); }
    void TearDown() override { LogStart(nullptr); }
    std::string Log() const { return dir.Read("Log.txt"); }
};

TEST_F(StageSaveFaults, AValueThatIsNotANumberEndsTheRead) {
    struct Case {
        const char* text;
        int kind, groundRow, bodyValues;
    } cases[] = {
        {"a 3 0 1 1 1 1", 0, 0, 0},   // once read from "3 0 1 1", two cells off
        {"5 x 1 1 1 1", 5, 0, 0},
        {"5 2 1 1 ; 1 1", 5, 2, 2},
        {"- 3 0 1 1", 0, 0, 0},       // a lone sign is no number
        {"5 2 1 +1 -1 2", 5, 2, 4},
    };
    for (const Case& c : cases) {
        GameState.StageKind = GameState.GroundRow = 77;
        int k = ReadStageFileAt(dir.Write("data/s.dat", c.text).c_str());
        EXPECT_EQ(k, c.bodyValues) << c.text;
        EXPECT_EQ(GameState.StageKind, c.kind) << c.text;
        EXPECT_EQ(GameState.GroundRow, c.groundRow) << c.text;
        EXPECT_EQ(FileGrid[0][c.bodyValues], 0) << c.text;
    }
}

TEST_F(StageSaveFaults, AFifoInPlaceOfAStageOrTheSaveNeverBlocks) {
    std::string stage = (dir.root / "data/stage01.dat").string();
    std::string save = (dir.root / "data/state0.dat").string();
    ASSERT_EQ(mkfifo(stage.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(save.c_str(), 0600), 0);
    int k = 0;
    EXPECT_TRUE(FinishesWithoutBlocking(stage, [&] { k = ReadStageFileAt(stage.c_str()); }));
    EXPECT_EQ(k, -1);
    EXPECT_EQ(StageGrid[0][0], -1);
    int loaded = -1, saved = -1;
    EXPECT_TRUE(FinishesWithoutBlocking(save, [&] {
        loaded = LoadSave();
        saved = ReadSavedStage();
    }));
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(saved, 0);
    EXPECT_NE(Log().find(stage), std::string::npos) << Log();
    EXPECT_NE(Log().find("state0.dat"), std::string::npos) << Log();
}

TEST_F(StageSaveFaults, APlantedLinkAtTheTemporaryNameIsNotFollowed) {
    std::filesystem::path victim = dir.root / "victim.txt";
    dir.Write("victim.txt", "keep me");
    std::filesystem::create_symlink(victim, dir.root / "data/state0.dat.tmp");
    ASSERT_EQ(WriteSave(7), 0);
    EXPECT_EQ(dir.Read("victim.txt"), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.root / "data/state0.dat"));
    EXPECT_EQ(dir.Read("data/state0.dat"), std::string("07 \0", 4));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.root / "data/state0.dat.tmp")));
    EXPECT_EQ(LoadSave(), 7);
}

TEST_F(StageSaveFaults, FailuresToReadOrWriteAreLoggedAndTheGameGoesOn) {
    // A missing stage: logged, the grids cleared as before.
    EXPECT_EQ(ReadStageFileAt("./data/nowhere.dat"), -1);
    EXPECT_NE(Log().find("./data/nowhere.dat"), std::string::npos);

    // No save yet is normal and stays quiet.
    std::string before = Log();
    EXPECT_EQ(LoadSave(), 0);
    EXPECT_EQ(Log(), before);

    // A folder where the save should be: it cannot be read, and the new
    // file cannot be renamed over it. Logged, and on standard error.
    std::filesystem::create_directories(dir.root / "data/state0.dat/inside");
    EXPECT_EQ(LoadSave(), 0);
    EXPECT_NE(Log().find("state0.dat"), std::string::npos);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WriteSave(12), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("state0.dat"), std::string::npos) << err;
    EXPECT_NE(Log().find("rename"), std::string::npos) << Log();
    EXPECT_FALSE(std::filesystem::exists(dir.root / "data/state0.dat.tmp"));
}

}  // namespace
