// Soak: the game under random input over the shipped data. It must not
// crash, must free every block it took, and must not grow once the first
// stage is running (it allocates nothing while it plays).
#include <gtest/gtest.h>

#include <set>

#include "tests/soak/sim_run.h"

using namespace simrun;

namespace {

constexpr int SceneTitle = 3, SceneStageIntro = 4, SceneGameplay = 5, SceneGameOver = 8, ScenePrologue = 10,
              SceneSaveDeletion = 14;
// Room for the allocator's own bookkeeping pages once the stage runs.
// AddressSanitizer keeps freed blocks in quarantine, so resident memory says
// nothing there; its leak check and the memory report still apply.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool CheckResident = false;
#else
constexpr bool CheckResident = true;
#endif
constexpr long ResidentSlackKb = 512;

struct SoakResult {
    int exitCode;
    long leftOver;
    std::vector<MemorySample> memory;
};

SoakResult Soak(const WorkCopy& work, int frames, int seed, const std::string& extra = "") {
    std::string memoryLog = (work.dir / "memory.txt").string();
    SoakResult r;
    r.exitCode = RunSim("--dir " + work.dir.string() + " --frames " + std::to_string(frames) + " --random-input " +
                        std::to_string(seed) + " --memory-log " + memoryLog + " " + extra);
    r.leftOver = LeftOverBytes(ReadAll(work.dir / "Log.txt"));
    r.memory = ReadMemoryLog(memoryLog);
    return r;
}

// Largest growth of resident memory after the first second of gameplay.
long GrowthAfterFirstStage(const std::vector<MemorySample>& memory) {
    size_t start = memory.size();
    for (size_t i = 0; i < memory.size(); ++i)
        if (memory[i].scene == SceneGameplay) {
            start = i + 1;
            break;
        }
    if (start >= memory.size()) return -1;
    long base = memory[start].residentKb, most = base;
    for (size_t i = start; i < memory.size(); ++i) most = std::max(most, memory[i].residentKb);
    return most - base;
}

TEST(Soak, RandomInputFromAFreshStartVisitsTheScenesAndStaysFlat) {
    WorkCopy work("soak-fresh");
    SoakResult r = Soak(work, 14000, 4);  // a seed that comes round every scene here
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.leftOver, 0) << "the memory report in Log.txt lists blocks still held";
    std::set<int> scenes;
    for (const MemorySample& s : r.memory) scenes.insert(s.scene);
    for (int scene : {SceneTitle, SceneStageIntro, SceneGameplay, SceneGameOver, ScenePrologue, SceneSaveDeletion})
        EXPECT_TRUE(scenes.count(scene)) << "scene " << scene << " never seen";
    ASSERT_GE(r.memory.size(), 14000u / 60 + 1);
    long growth = GrowthAfterFirstStage(r.memory);
    ASSERT_GE(growth, 0);
    if (CheckResident) {
        EXPECT_LE(growth, ResidentSlackKb);
    }
}

// Later stages and the extra series: a save at the last normal stage (the
// title's "continue") and a start-up argument for the extra stages.
TEST(Soak, RandomInputOnLaterStagesAndTheExtraSeries) {
    WorkCopy work("soak-late");
    WriteAll(work.Data("state0.dat"), std::string("29 \0", 4));
    SoakResult r = Soak(work, 6000, 7, "--arg 9");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.leftOver, 0);
    std::set<int> stages;
    for (const MemorySample& s : r.memory)
        if (s.scene == SceneGameplay) stages.insert(s.stage);
    EXPECT_GE(stages.size(), 1u);
    long growth = GrowthAfterFirstStage(r.memory);
    ASSERT_GE(growth, 0);
    if (CheckResident) {
        EXPECT_LE(growth, ResidentSlackKb);
    }
}

}  // namespace
