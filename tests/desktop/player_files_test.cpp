// Finding the data folder, the game's names under it, the save's place and
// carrying an old save over.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine.h"
#include "game/shell/assets.h"
#include "game/shell/player_files.h"
#include "game/world/save.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct PlayerFilesTest : ::testing::Test {
    TempFolder folder{"quellbore-files-"};
    fs::path dir;
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
    }
    void TearDown() override {
        SetDataFolder(nullptr);
        SetSaveFilePath(nullptr);
    }
    static void Write(const fs::path& path, const std::string& bytes) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

TEST_F(PlayerFilesTest, CandidatesRunFromTheWorkingFolderToTheInstalledOne) {
    char out[4][4096];
    int n = DataFolderCandidates("/home/p/games", "/opt/q/bin/quellbore", "/usr/share/quellbore", out, 4);
    ASSERT_EQ(n, 4);
    EXPECT_STREQ(out[0], "/home/p/games/data");
    EXPECT_STREQ(out[1], "/opt/q/bin/data");
    EXPECT_STREQ(out[2], "/opt/q/bin/../share/quellbore");
    EXPECT_STREQ(out[3], "/usr/share/quellbore");
    // Unknown places are left out; the table never overflows.
    EXPECT_EQ(DataFolderCandidates("", nullptr, "/usr/share/quellbore", out, 4), 1);
    EXPECT_STREQ(out[0], "/usr/share/quellbore");
    EXPECT_EQ(DataFolderCandidates("/a", "/b/q", "/c", out, 2), 2);
}

TEST_F(PlayerFilesTest, TheDataFolderStandsForTheGamesDataNames) {
    ASSERT_EQ(SetDataFolder("/usr/share/quellbore/"), 0);
    char out[4096];
    struct Case {
        const char* name;
        const char* path;
    } cases[] = {
        {"./data/jumper.dat", "/usr/share/quellbore/jumper.dat"},
        {"data/sound/bom24.wav", "/usr/share/quellbore/sound/bom24.wav"},
        {"./other/x.dat", "./other/x.dat"},
        {"./database/x", "./database/x"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(ResolveDataPath(c.name, out, sizeof out), 0) << c.name;
        EXPECT_STREQ(out, c.path) << c.name;
    }
    EXPECT_EQ(ResolveDataPath("./data/jumper.dat", out, 10), -1) << "does not fit";
    EXPECT_EQ(SetDataFolder(std::string(5000, 'a').c_str()), -1);
    SetDataFolder(nullptr);
    ASSERT_EQ(ResolveDataPath("./data/jumper.dat", out, sizeof out), 0);
    EXPECT_STREQ(out, "./data/jumper.dat");
}

TEST_F(PlayerFilesTest, TheFirstFolderWithTheGamesDataIsChosenAndCheckedWhole) {
    // A ~/data of the player's own, then a folder with only the hero, then the real data.
    Write(dir / "cwd/data/notes.txt", "mine");
    Write(dir / "partial/jumper.dat", "x");
    char candidates[3][4096];
    std::snprintf(candidates[0], 4096, "%s", (dir / "cwd/data").c_str());
    std::snprintf(candidates[1], 4096, "%s", (dir / "partial").c_str());
    std::snprintf(candidates[2], 4096, "%s", QUELLBORE_DATA_DIR);
    ASSERT_EQ(ChooseDataFolder(candidates, 3), 1);
    EXPECT_STREQ(FirstMissingDataFile(), ImageFiles[1]) << "the partial data is reported, not skipped";
    ASSERT_EQ(ChooseDataFolder(candidates + 2, 1), 0);
    EXPECT_EQ(FirstMissingDataFile(), nullptr);
    EXPECT_EQ(CanOpenFile("./data/stage01.dat"), 1);
    EXPECT_EQ(CanOpenFile("./data/sound"), 0) << "a folder is no data file";
    EXPECT_EQ(ChooseDataFolder(candidates, 1), -1);
}

TEST_F(PlayerFilesTest, TheSaveGoesWhereItIsNamed) {
    fs::path save = dir / "share/quellbore/state0.dat";
    fs::create_directories(save.parent_path());
    ASSERT_EQ(SetSaveFilePath(save.c_str()), 0);
    EXPECT_STREQ(SaveFilePath(), save.c_str());
    ASSERT_EQ(WriteSave(12), 0);
    EXPECT_EQ(Read(save), std::string("12 \0", 4));
    EXPECT_EQ(LoadSave(), 12);
    EXPECT_FALSE(fs::exists(save.string() + ".tmp"));

    // No save place at all: nothing is written anywhere, continue reads 0.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_EQ(SetSaveFilePath(""), 0);
    EXPECT_EQ(WriteSave(5), -1);
    EXPECT_EQ(ReadSavedStage(), 0);
    EXPECT_FALSE(fs::exists(dir / ".tmp"));
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(SetSaveFilePath(std::string(5000, 'a').c_str()), -1);
    SetSaveFilePath(nullptr);
    EXPECT_STREQ(SaveFilePath(), "./data/state0.dat");
}

TEST_F(PlayerFilesTest, AnOldSaveIsCarriedOverOnceAndNeverOverwritesANewOne) {
    fs::path old = dir / "data/state0.dat";
    fs::path now = dir / "home/state0.dat";
    fs::create_directories(now.parent_path());
    Write(old, std::string("07 \0", 4));
    EXPECT_EQ(CarryOverSave(old.c_str(), now.c_str()), 1);
    EXPECT_EQ(Read(now), std::string("07 \0", 4));
    Write(old, std::string("09 \0", 4));
    EXPECT_EQ(CarryOverSave(old.c_str(), now.c_str()), 0);
    EXPECT_EQ(Read(now), std::string("07 \0", 4)) << "the new place keeps its own";

    // Things that are not an old save are left alone, never waited on.
    struct Case {
        const char* what;
        void (*make)(const fs::path&);
    } cases[] = {
        {"missing", [](const fs::path&) {}},
        {"a folder", [](const fs::path& p) { fs::create_directories(p); }},
        {"a FIFO", [](const fs::path& p) { mkfifo(p.c_str(), 0600); }},
        {"far too large", [](const fs::path& p) { Write(p, std::string(100000, '1')); }},
    };
    for (const Case& c : cases) {
        fs::path from = dir / (std::string("odd-") + c.what);
        fs::path to = dir / (std::string("new-") + c.what);
        c.make(from);
        EXPECT_EQ(CarryOverSave(from.c_str(), to.c_str()), 0) << c.what;
        EXPECT_FALSE(fs::exists(to)) << c.what;
    }
    EXPECT_EQ(CarryOverSave(old.c_str(), (dir / "no/such/folder/state0.dat").c_str()), -1);
    for (const auto& entry : fs::directory_iterator(now.parent_path()))
        EXPECT_EQ(entry.path().filename(), "state0.dat") << "no temporary file is left";
}

}  // namespace
