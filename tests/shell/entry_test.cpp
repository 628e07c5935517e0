#include <climits>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/platform/headless/headless.h"
#include "game/shell/entry.h"
#include "game/shell/game_state.h"
#include "tests/support/temp_folder.h"

TEST(StartArgument, ReadsLikeAtoiAndEmptyIsMinusOne) {
    struct Case { const char* text; int value; } cases[] = {
        {"abc", 0}, {"", -1}, {nullptr, -1}, {"5", 5}, {"0", 0}, {" 12x", 12}, {"-3", -3}, {"+7", 7},
        {"5 9", 5}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"2147483647", INT_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseStartArgument(c.text), c.value) << (c.text ? c.text : "(null)");
}

TEST(StartArgument, ArgumentsAreJoinedBySingleBlanks) {
    char prog[] = "quellbore", a[] = "5", b[] = "extra", empty[] = "";
    char* argv[] = {prog, a, b, empty, nullptr};
    char out[64];
    JoinArguments(4, argv, out, sizeof out);
    EXPECT_STREQ(out, "5 extra ");
    JoinArguments(1, argv, out, sizeof out);
    EXPECT_STREQ(out, "");
    JoinArguments(3, argv, out, 4);  // cut, never overrun
    EXPECT_STREQ(out, "5 e");
}

TEST(SceneTable, OnlyTheGamesScenesRun) {
    for (int id = -2; id < 20; ++id) {
        bool known = id == 3 || id == 4 || id == 5 || id == 8 || (id >= 10 && id <= 14);
        if (!known) {
            EXPECT_FALSE(RunScene(id, false)) << id;
        }
    }
    EXPECT_FALSE(RunScene(INT_MAX, true));
    EXPECT_FALSE(RunScene(INT_MIN, true));
}

namespace {

// One in-process run of the game loop over the headless backend, with a
// record of every frame.
struct FrameRecord {
    int frame;
    int lastFrameTick;
    int sceneId;
    int sceneEntered;
    int presents;  // presents counted after the scene ran
};

struct LoopRun {
    std::vector<FrameRecord> frames;
    std::vector<int> presentsAfter;
    int limit = 12;
    void (*afterScene)(int frame) = nullptr;
    void (*afterPresent)(int frame) = nullptr;
};
LoopRun* g_Run;

bool BeforePass(int frame) { return frame < g_Run->limit; }
bool AfterScene(int frame) {
    g_Run->frames.push_back(
        {frame, GameState.LastFrameTick, GameState.SceneId, GameState.SceneEntered, HeadlessPresentCount()});
    if (g_Run->afterScene) g_Run->afterScene(frame);
    return true;
}
bool AfterPresent(int frame) {
    g_Run->presentsAfter.push_back(HeadlessPresentCount());
    if (g_Run->afterPresent) g_Run->afterPresent(frame);
    return true;
}

class LoopTest : public ::testing::Test {
protected:
    TempFolder folder{"quellbore-loop-"};
    std::filesystem::path dir, previous;
    LoopRun run;
    void SetUp() override {
        previous = std::filesystem::current_path();
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
        std::filesystem::current_path(dir);
        HeadlessReset();
        g_Run = &run;
    }
    void TearDown() override {
        EngineSetInactivePassHook(nullptr);
        std::filesystem::current_path(previous);
        HeadlessReset();
    }
    int Run(const char* arg = "") {
        GameLoopHooks hooks = {BeforePass, AfterScene, AfterPresent};
        return GameMainWithHooks(arg, &hooks);
    }
};

int g_Passes;
void ReactivateAfter300() {
    if (++g_Passes == 300) HeadlessSetActive(1);
}

}  // namespace

TEST_F(LoopTest, FramesLastAtLeast16MsAndSceneEnteredFollowsChanges) {
    run.afterScene = [](int frame) {
        if (frame == 4) ChangeScene(SceneStageIntro);
    };
    ASSERT_EQ(Run("5"), 0);
    EXPECT_EQ(GameState.StartArgument, 5);
    ASSERT_EQ(run.frames.size(), 12u);
    for (size_t i = 1; i < run.frames.size(); ++i) {
        int d = TickDiff(run.frames[i].lastFrameTick, run.frames[i - 1].lastFrameTick);
        EXPECT_GE(d, 16) << i;
        EXPECT_LE(d, 34) << i;
    }
    EXPECT_EQ(run.frames[0].sceneEntered, 1);
    EXPECT_EQ(run.frames[1].sceneEntered, 0);
    EXPECT_EQ(run.frames[5].sceneId, SceneStageIntro);
    EXPECT_EQ(run.frames[5].sceneEntered, 1);
    EXPECT_EQ(run.frames[6].sceneEntered, 0);
    EXPECT_EQ(Run(""), 0);
    EXPECT_EQ(GameState.StartArgument, -1);
}

TEST_F(LoopTest, SlowFrameIsNotMadeUp) {
    run.afterScene = [](int frame) {
        if (frame == 3) HeadlessAdvanceMicroseconds(100000);
    };
    ASSERT_EQ(Run(), 0);
    int slow = TickDiff(run.frames[4].lastFrameTick, run.frames[3].lastFrameTick);
    EXPECT_GE(slow, 100);
    EXPECT_LE(slow, 100 + 17);
    int next = TickDiff(run.frames[5].lastFrameTick, run.frames[4].lastFrameTick);
    EXPECT_GE(next, 16);
    EXPECT_LE(next, 34);
}

TEST_F(LoopTest, PacingCrossesTheMillisecondWrap) {
    // Just before the 31-bit wrap, and just before the platform's 32-bit one.
    static uint32_t start;
    for (uint32_t s : {0x7FFFFFF5u, 0xFFFFFFF5u}) {
        start = s;
        run = LoopRun{};
        run.afterScene = [](int frame) {
            if (frame == 2) HeadlessSetTickMs(start);
        };
        ASSERT_EQ(Run(), 0);
        ASSERT_EQ(run.frames.size(), 12u);
        for (size_t i = 4; i < run.frames.size(); ++i) {
            int d = TickDiff(run.frames[i].lastFrameTick, run.frames[i - 1].lastFrameTick);
            EXPECT_GE(d, 16) << std::hex << s << " frame " << i;
            EXPECT_LE(d, 34) << std::hex << s << " frame " << i;
        }
        EXPECT_LT(run.frames.back().lastFrameTick, 1000) << "the counter wrapped to 0";
    }
}

TEST_F(LoopTest, EscapeEndsTheLoopBeforeTheNextFrameIsDrawn) {
    run.afterPresent = [](int frame) {
        if (frame == 4) HeadlessSetKey(0x1B, 1);
    };
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(run.frames.size(), 5u);
    ASSERT_EQ(run.presentsAfter.size(), 5u);
    EXPECT_EQ(HeadlessPresentCount(), run.presentsAfter.back());
}

TEST_F(LoopTest, QuitRequestedEndsTheLoopWithoutPresenting) {
    run.afterScene = [](int frame) {
        if (frame == 3) SetQuitRequested(1);
    };
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(run.frames.size(), 4u);
    EXPECT_EQ(run.presentsAfter.size(), 3u);
    EXPECT_EQ(HeadlessPresentCount(), run.presentsAfter.back());
}

TEST_F(LoopTest, CloseBoxEndsTheLoopAfterTheFrameInProgress) {
    run.afterScene = [](int frame) {
        if (frame == 2) HeadlessRequestClose();
    };
    ASSERT_EQ(Run(), 0);
    EXPECT_EQ(run.frames.size(), 3u);
    EXPECT_EQ(run.presentsAfter.size(), 3u);
}

TEST_F(LoopTest, InactiveWindowFreezesTheLoop) {
    g_Passes = 0;
    EngineSetInactivePassHook(ReactivateAfter300);
    run.afterPresent = [](int frame) {
        if (frame == 2) HeadlessSetActive(0);
    };
    ASSERT_EQ(Run(), 0);
    ASSERT_EQ(run.frames.size(), 12u);
    EXPECT_GE(g_Passes, 300);
    // No frame ran while frozen: frame 3 starts some 600 ms after frame 2,
    // and nothing was presented in between.
    int frozen = TickDiff(run.frames[3].lastFrameTick, run.frames[2].lastFrameTick);
    EXPECT_GE(frozen, 600);
    EXPECT_EQ(run.frames[3].presents, run.presentsAfter[2]);
}

TEST_F(LoopTest, EngineStartFailureReturnsMinusOneAndRunsNoFrame) {
    HeadlessFailNextWindowCreation(1);
    EXPECT_EQ(Run(), -1);
    EXPECT_TRUE(run.frames.empty());
    HeadlessReset();
    HeadlessSimulateOtherInstance(1);
    EXPECT_EQ(GameMain(""), -1);
}
