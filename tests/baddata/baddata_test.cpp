// Broken data: a sample of the shipped files of each kind, in turn empty,
// cut in half or overwritten with random bytes. The game must start, run
// into a stage and end without a crash and with every block freed. And the
// save file is never torn, however a writer is stopped.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "game/world/save.h"
#include "tests/soak/sim_run.h"

using namespace simrun;

namespace {

// Title: start; then walk, jump and throw through the first stage.
const char* const Script = "40-43 enter\n60-399 right\n200-215 z\n300-310 x\n";
constexpr int Frames = 400;

std::string Damaged(const std::string& original, int how, uint32_t seed) {
    switch (how) {
        case 0: return "";
        case 1: return original.substr(0, original.size() / 2);
        default: {
            std::string b(original.size() ? original.size() : 64, '\0');
            uint32_t s = seed * 2654435761u + 1;
            for (char& c : b) {
                s = s * 1664525u + 1013904223u;
                c = char(s >> 24);
            }
            return b;
        }
    }
}

// A few files of each kind (first, middle, last in name order); every file
// when QUELLBORE_BADDATA_ALL is set.
std::vector<std::string> SampleFiles() {
    std::vector<std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(QUELLBORE_DATA_DIR))
        if (e.is_regular_file()) all.push_back(fs::relative(e.path(), QUELLBORE_DATA_DIR).string());
    std::sort(all.begin(), all.end());
    if (std::getenv("QUELLBORE_BADDATA_ALL")) return all;
    auto kind = [](const std::string& name) {
        if (name.rfind("stage", 0) == 0) return std::string("stage");
        return fs::path(name).parent_path().string() + fs::path(name).extension().string();
    };
    std::vector<std::string> picked;
    for (size_t i = 0; i < all.size();) {
        size_t j = i;
        while (j < all.size() && kind(all[j]) == kind(all[i])) ++j;
        for (size_t k : {i, i + (j - i) / 2, j - 1})
            if (std::find(picked.begin(), picked.end(), all[k]) == picked.end()) picked.push_back(all[k]);
        i = j;
    }
#if QUELLBORE_ASAN
    // Each start-up is several times slower under the sanitizers: one file a kind.
    std::vector<std::string> one;
    for (size_t k = 1; k < picked.size(); k += 3) one.push_back(picked[k]);
    return one;
#endif
    // The files the first stage needs whatever the sample.
    for (const char* must : {"stage01.dat", "grand.dat", "block.dat", "enemy.dat"})
        if (fs::exists(fs::path(QUELLBORE_DATA_DIR) / must) &&
            std::find(picked.begin(), picked.end(), must) == picked.end())
            picked.push_back(must);
    return picked;
}

TEST(BadData, EveryDamagedFileStillStartsAndRunsTheGame) {
    std::vector<std::string> files = SampleFiles();
    ASSERT_GE(files.size(), 4u);
    WorkCopy work("baddata");
    fs::path script = work.dir / "input.txt";
    WriteAll(script, Script);
    const char* const how[] = {"empty", "truncated", "random"};
    for (size_t f = 0; f < files.size(); ++f) {
        const fs::path target = work.Data(files[f]);
        const std::string original = ReadAll(target);
        for (int h = 0; h < 3; ++h) {
            SCOPED_TRACE(files[f] + " " + how[h]);
            WriteAll(target, Damaged(original, h, uint32_t(f * 3 + h)));
            fs::remove(work.dir / "Log.txt");
            int code = RunSim("--dir " + work.dir.string() + " --frames " + std::to_string(Frames) + " --input " +
                              script.string());
            EXPECT_EQ(code, 0);
            const std::string log = ReadAll(work.dir / "Log.txt");
            EXPECT_EQ(LeftOverBytes(log), 0);
            // Pictures and sounds name the file that failed (stages read as empty).
            if (h == 0 && files[f].rfind("stage", 0) != 0) {
                EXPECT_NE(log.find("./data/" + files[f]), std::string::npos) << "no line names the file";
            }
        }
        WriteAll(target, original);
    }
}

// A child writes the two records in turn as fast as it can; it is killed at
// random moments. The file must then hold one of the two whole records.
TEST(BadData, AKilledSaveWriterNeverLeavesATornFile) {
    WorkCopy work("savekill");
    char first[SaveRecordSize], second[SaveRecordSize];
    FormatSaveRecord(7, first);
    FormatSaveRecord(12, second);
    const std::string a(first, SaveRecordSize), b(second, SaveRecordSize);
    WriteAll(work.Data("state0.dat"), a);
    uint32_t s = 12345;
    for (int round = 0; round < 60; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (chdir(work.dir.c_str()) != 0) _exit(3);
            for (int i = 0;; ++i)
                if (WriteSave(i & 1 ? 12 : 7) != 0) _exit(4);
        }
        s = s * 1664525u + 1013904223u;
        std::this_thread::sleep_for(std::chrono::microseconds(200 + (s >> 20) % 3000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own: exit " << WEXITSTATUS(status);
        const std::string now = ReadAll(work.Data("state0.dat"));
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(work.dir.c_str()), 0);
    int loaded = LoadSave();
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_TRUE(loaded == 7 || loaded == 12);
}

}  // namespace
