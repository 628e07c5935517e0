// Frame pacing: the frame wait's rules through the whole game over the
// headless backend, and 60 game frames a second whatever refresh rate the
// headless display pretends to.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/platform/headless/headless.h"
#include "engine/platform/platform.h"
#include "game/shell/entry.h"
#include "game/shell/game_state.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// ------------------------------------------------ the frame wait in-process
struct PassLog {
    std::vector<int> starts;  // LastFrameTick of each frame
    int frames = 0;
    void (*poke)(int frame) = nullptr;
};
PassLog g_Log;

bool Before(int frame) {
    if (frame >= g_Log.frames) return false;
    if (g_Log.poke) g_Log.poke(frame);
    return true;
}
bool AfterScene(int) {
    g_Log.starts.push_back(GameState.LastFrameTick);
    return true;
}

void RunFrames(int frames, void (*poke)(int)) {
    g_Log = PassLog{};
    g_Log.frames = frames;
    g_Log.poke = poke;
    HeadlessReset();
    GameLoopHooks hooks = {Before, AfterScene, nullptr};
    ASSERT_EQ(GameMainWithHooks("", &hooks), 0);
}

TEST(FramePacing, NeverShorterThanSixteenMillisecondsAndASlowFrameIsNotMadeUp) {
    // Frame 20 is slowed by 50 ms.
    RunFrames(40, [](int frame) {
        if (frame == 20) HeadlessAdvanceMicroseconds(50000);
    });
    ASSERT_EQ(g_Log.starts.size(), 40u);
    for (size_t i = 1; i < g_Log.starts.size(); ++i) {
        int step = g_Log.starts[i] - g_Log.starts[i - 1];
        EXPECT_GE(step, 16) << "frame " << i;
        if (i == 20) {
            EXPECT_GE(step, 50) << "the slow frame";
        }
        // After the slow frame the next one starts 16 ms on, not at once
        // again: nothing is made up.
        if (i == 21) {
            EXPECT_LE(step, 17) << "after the slow frame";
        }
    }
}

TEST(FramePacing, TheCounterWrapEndsTheWait) {
    // The counter jumps from just under 2^31 to just past 0: the wait must
    // treat that as elapsed, not wait 24.8 days for the counter to return.
    RunFrames(10, [](int frame) {
        if (frame == 5) HeadlessSetTickMs(0x7FFFFFFFu - 3);
        if (frame == 6) HeadlessSetTickMs(0x80000000u + 2);
    });
    ASSERT_EQ(g_Log.starts.size(), 10u);
    EXPECT_LT(g_Log.starts[6], 100) << "the frame after the wrap started";
    EXPECT_GE(g_Log.starts[9] - g_Log.starts[7], 32);
}

TEST(FramePacing, SleepingToATickLandsOnItExactly) {
    // The wait sleeps to the millisecond the frame may start; the next read
    // of the counter is the first of that millisecond, as a poll-by-poll
    // wait would have found it.
    HeadlessReset();
    const uint32_t now = PlatformTickMs() & 0x7FFFFFFFu;
    PlatformSleepUntilTickMs(now + 12, 1000);
    EXPECT_EQ(PlatformTickMs(), now + 12);
    uint64_t at = HeadlessMicroseconds();
    EXPECT_EQ(at % 1000, 0u);
    // Already there, behind (across the wrap) or too far ahead: no wait.
    PlatformSleepUntilTickMs(now + 12, 1000);
    PlatformSleepUntilTickMs(now - 5, 1000);
    PlatformSleepUntilTickMs(now + 5000, 1000);
    EXPECT_LT(HeadlessMicroseconds() - at, 10u);
}

// ------------------------------------------------ refresh rates via the runner
long long Field(const std::string& line, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -1;
    return std::stoll(m[1]);
}

TEST(FramePacing, SixtyGameFramesASecondOnEveryDisplay) {
    TempFolder folder("quellbore-pacing-");
    ASSERT_FALSE(folder.path.empty());
    const fs::path dir = folder.path;
    const std::string sim = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-sim";
    // Walking right through the title's menu into a stage and on.
    std::ofstream(dir / "in.txt") << "60 enter\n200-700 right\n300-310 z\n";
    for (int hz : {60, 75, 100, 144, 165, 240, 50, 0}) {
        const std::string cmd = "'" + sim + "' --dir '" + dir.string() + "' --frames 720 --refresh " +
                                std::to_string(hz) + " --input '" + (dir / "in.txt").string() + "' --trace '" +
                                (dir / "t.jsonl").string() + "' >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << hz << " Hz";
        std::vector<long long> ticks;
        std::istringstream lines(ReadFile(dir / "t.jsonl"));
        for (std::string line; std::getline(lines, line);) ticks.push_back(Field(line, "tick"));
        ASSERT_EQ(ticks.size(), 720u);
        // 600 frames after the start-up: ten seconds, within a frame.
        EXPECT_NEAR((double)(ticks[700] - ticks[100]), 10000.0, 17.0) << hz << " Hz";
        // and every single second within a frame too
        for (int f = 100; f + 60 <= 700; f += 60)
            EXPECT_NEAR((double)(ticks[f + 60] - ticks[f]), 1000.0, 17.0) << hz << " Hz, frame " << f;
    }
}

}  // namespace
