// Soak: the game under random input over the shipped data. It must not
// crash, must free every block it took, and must not grow once the first
// stage is running (it allocates nothing while it plays).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/soak/sim_run.h"

using namespace simrun;

namespace {

constexpr int SceneTitle = 3, SceneStageIntro = 4, SceneGameplay = 5, SceneGameOver = 8, ScenePrologue = 10,
              SceneEnding = 11, SceneCredits = 12, SceneExtraEnding = 13, SceneSaveDeletion = 14;
// Room for the allocator's own bookkeeping pages once the stage runs.
// AddressSanitizer keeps freed blocks in quarantine, so resident memory says
// nothing there; its leak check and the memory report still apply.
#if QUELLBORE_ASAN
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

// Largest growth of the heap's resident memory after the first second of
// gameplay.
long GrowthAfterFirstStage(const std::vector<MemorySample>& memory) {
    size_t start = memory.size();
    for (size_t i = 0; i < memory.size(); ++i)
        if (memory[i].scene == SceneGameplay) {
            start = i + 1;
            break;
        }
    if (start >= memory.size()) return -1;
    long base = memory[start].heapKb, most = base;
    for (size_t i = start; i < memory.size(); ++i) most = std::max(most, memory[i].heapKb);
    return most - base;
}

TEST(Soak, RandomInputFromAFreshStartVisitsTheScenesAndStaysFlat) {
    WorkCopy work("soak-fresh");
    SoakResult r = Soak(work, 20000, 4);  // a seed that comes round every scene here
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

// Random keys never beat a boss: a boss stage's clear script leads into its
// ending and the credits, and random input takes over from there.
TEST(Soak, RandomInputAfterEachBossRunsTheEndingCreditsAndOn) {
    struct Leg {
        const char* script;
        const char* save;   // the title's "continue" reads it; nullptr: none
        const char* extra;  // start-up argument
        int ending;
    };
    constexpr int RandomTail = 9000;  // the ending and the credits take about 6000 frames
    const Leg legs[] = {
        {"stageexboss", nullptr, "--arg 10", SceneExtraEnding},
        {"stageboss", "29 ", "", SceneEnding},  // stage30, then the boss
    };
    for (const Leg& leg : legs) {
        SCOPED_TRACE(leg.script);
        const fs::path script = fs::path(QUELLBORE_SOURCE_DIR) / "assets/stages" / (std::string(leg.script) + ".input");
        if (!fs::exists(script)) {
            ADD_FAILURE() << "no clear script " << script;
            continue;
        }
        WorkCopy work(std::string("soak-") + leg.script);
        if (leg.save) WriteAll(work.Data("state0.dat"), std::string(leg.save) + std::string(1, '\0'));
        std::string text = ReadAll(script);
        size_t at = text.find("# frames ");
        ASSERT_NE(at, std::string::npos);
        int frames = std::atoi(text.c_str() + at + 9) + RandomTail;
        SoakResult r = Soak(work, frames, 11, std::string(leg.extra) + " --input " + script.string());
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.leftOver, 0);
        std::vector<int> order;  // scenes in the order first seen
        for (const MemorySample& s : r.memory)
            if (std::find(order.begin(), order.end(), s.scene) == order.end()) order.push_back(s.scene);
        auto pos = [&](int scene) { return std::find(order.begin(), order.end(), scene) - order.begin(); };
        EXPECT_LT(pos(leg.ending), pos(SceneCredits)) << "the ending, then the credits";
        EXPECT_LT(pos(SceneCredits), long(order.size()));
        // Back on the title, random input takes the game on from there.
        EXPECT_GT(std::count_if(r.memory.begin(), r.memory.end(),
                                [&](const MemorySample& s) { return s.scene == SceneTitle && s.frame > frames - RandomTail; }),
                  0);
        long growth = GrowthAfterFirstStage(r.memory);
        ASSERT_GE(growth, 0);
        if (CheckResident) {
            EXPECT_LE(growth, ResidentSlackKb) << "the heap grew through the ending and the credits";
        }
    }
}

}  // namespace
