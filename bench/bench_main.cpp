// quellbore-bench: what one gameplay frame costs, the same draw list through
// SDL2's software blitter, start-up to the first presented frame, and the
// main loop's processor use at 60 Hz.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "bench/draw_list.h"
#include "engine/platform/headless/headless.h"
#include "game/actors/debris.h"
#include "game/actors/enemy.h"
#include "game/actors/explosion.h"
#include "game/actors/item.h"
#include "game/scenes/scenes.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/actors/player.h"

// ------------------------------------------------------------ draw list
namespace {
bool g_Recording = false;
std::vector<DrawCall> g_DrawList;
}  // namespace

extern "C" int __wrap__Z13DrawImageRectiiiiiiiii(int x, int y, int srcX, int srcY, int width, int height,
                                                  int image, int transparent, int mirror) {
    if (g_Recording) g_DrawList.push_back({x, y, srcX, srcY, width, height, image, transparent, mirror});
    return __real__Z13DrawImageRectiiiiiiiii(x, y, srcX, srcY, width, height, image, transparent, mirror);
}

namespace {

// ------------------------------------------------------------ busy stage
constexpr int Enemies = 40, Items = 12, DebrisBursts = 6, Explosions = 6;
bool g_EngineUp = false;

int CountActive() {
    int n = 0;
    for (const Enemy& e : EnemyPool) n += e.active;
    return n;
}

void Populate() {
    int left = Player.scrollX;
    for (int i = 0; CountActive() < Enemies && i < 400; ++i)
        SpawnEnemyAt(i % 6, left + 24 + (i * 37) % 208, 32 + (i * 53) % 160, i & 1);
    for (int i = 0; i < Items; ++i) SpawnItem(i % 2, left + 16 + i * 18, 64 + (i % 3) * 40);
    for (int i = 0; i < DebrisBursts; ++i) SpawnDebris(1, left + 40 + i * 30, 80 + (i % 2) * 50);
    for (int i = 0; i < Explosions; ++i) SpawnExplosion(i % 2, left + 30 + i * 36, 100 + (i % 3) * 30);
}

// The engine over the headless backend and the shipped data, the game on
// its first stage with the pools filled.
bool StartBusyStage() {
    if (!g_EngineUp) {
        if (chdir(QUELLBORE_BUILD_DIR) != 0) return false;
        HeadlessReset();
        ResetGameState();
        SetScreenMode(256, 256, 16, 60);
        if (EngineInit() == -1) return false;
        SetDrawTarget(BackScreen);
        SetDrawClip(0, 0, 256, 256);
        SetTransparentColor(0, 0, 0);
        LoadAllAssets();
        PrepareSceneTexts();
        g_EngineUp = true;
    }
    GameState.ExtraMode = 0;
    GameState.StageIndex = 0;
    GameState.Lives = 3;
    GameState.SceneId = SceneGameplay;
    GameplayScene(true);
    Populate();
    return true;
}

// Keeps the stage busy: refills the pools and restarts a lost stage.
void KeepBusy() {
    if (Player.state != PlayerAlive) StartBusyStage();
    else Populate();
}

void GameFrame() {
    ClearScreen();
    GameplayScene(false);
}

void BM_GameplayFrame(benchmark::State& state) {
    if (!StartBusyStage()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    int n = 0;
    for (auto _ : state) {
        GameFrame();
        if (++n % 30 == 0) {
            state.PauseTiming();
            KeepBusy();
            state.ResumeTiming();
        }
    }
    state.counters["enemies"] = CountActive();
}

void BM_SdlBlitSameDrawList(benchmark::State& state) {
    if (!StartBusyStage()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    g_DrawList.clear();
    g_Recording = true;
    GameFrame();
    g_Recording = false;
    SdlDrawList* sdl = SdlPrepare(g_DrawList);
    for (auto _ : state) benchmark::DoNotOptimize(SdlBlit(sdl));
    SdlFinish(sdl);
    state.counters["draws"] = double(g_DrawList.size());
}

// The engine's blitter on the very same list (no game update), for the ratio.
void BM_EngineBlitSameDrawList(benchmark::State& state) {
    if (!StartBusyStage()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    g_DrawList.clear();
    g_Recording = true;
    GameFrame();
    g_Recording = false;
    for (auto _ : state) {
        ClearScreen();
        for (const DrawCall& c : g_DrawList)
            __real__Z13DrawImageRectiiiiiiiii(c.x, c.y, c.srcX, c.srcY, c.width, c.height, c.image, c.transparent,
                                              c.mirror);
    }
    state.counters["draws"] = double(g_DrawList.size());
}

// ------------------------------------------------- start-up and the loop
double Seconds(const timespec& a, const timespec& b) {
    return double(b.tv_sec - a.tv_sec) + double(b.tv_nsec - a.tv_nsec) * 1e-9;
}

// quellbore-sim from fork to its exit after the first presented frame
// (--frames 1: one pass of the loop, which presents).
void BM_StartUpToFirstFrame(benchmark::State& state) {
    std::string sim = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-sim";
    char dir[] = "/tmp/quellbore-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::string data = std::string(dir) + "/data";
    if (symlink(QUELLBORE_DATA_DIR, data.c_str()) != 0) {
        state.SkipWithError("cannot link the data");
        return;
    }
    for (auto _ : state) {
        timespec a, b;
        clock_gettime(CLOCK_MONOTONIC, &a);
        pid_t child = fork();
        if (child == 0) {
            int null = open("/dev/null", 1);
            dup2(null, 1);
            dup2(null, 2);
            execl(sim.c_str(), sim.c_str(), "--dir", dir, "--frames", "1", (char*)nullptr);
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        clock_gettime(CLOCK_MONOTONIC, &b);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("quellbore-sim failed");
            break;
        }
        state.SetIterationTime(Seconds(a, b));
    }
    unlink(data.c_str());
    unlink((std::string(dir) + "/Log.txt").c_str());
    rmdir(dir);
}

// The game's loop waits for each frame by polling the clock; under the
// headless backend that clock is virtual, so the loop's processor time per
// frame is measured here: gameplay frames as the loop runs them (message
// pump, clear, scene, present), paced against the real clock at 60 Hz.
// The figure is processor time over wall time while paced.
void BM_LoopCpuAt60Hz(benchmark::State& state) {
    if (!StartBusyStage()) {
        state.SkipWithError("the engine did not start");
        return;
    }
    constexpr int Frames = 120;
    double busy = 0, wall = 0;
    for (auto _ : state) {
        timespec start, now, cpuA, cpuB;
        clock_gettime(CLOCK_MONOTONIC, &start);
        for (int f = 0; f < Frames; ++f) {
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuA);
            ProcessWindowMessages();
            GameFrame();
            PresentFrame();
            if (f % 30 == 29) KeepBusy();
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuB);
            busy += Seconds(cpuA, cpuB);
            // Sleep to the next 1/60 s boundary of the real clock.
            timespec next = start;
            long long ns = (long long)(f + 1) * 1000000000LL / 60;
            next.tv_sec += time_t(ns / 1000000000LL);
            next.tv_nsec += long(ns % 1000000000LL);
            if (next.tv_nsec >= 1000000000L) {
                next.tv_sec += 1;
                next.tv_nsec -= 1000000000L;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        }
        clock_gettime(CLOCK_MONOTONIC, &now);
        wall += Seconds(start, now);
    }
    state.counters["cpu_percent"] = wall > 0 ? 100.0 * busy / wall : 0;
}

}  // namespace

BENCHMARK(BM_GameplayFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlBlitSameDrawList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineBlitSameDrawList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartUpToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LoopCpuAt60Hz)->Unit(benchmark::kMillisecond)->Iterations(2);

// The table, then the goals: frame under 50 us, at least twice as fast as
// SDL's blitter on the same list, start-up under 1 s.
namespace {
struct Collect : benchmark::ConsoleReporter {
    Collect() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> us;   // wall time
    std::map<std::string, double> cpu;  // processor time of this process
    std::map<std::string, double> counter;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // With --benchmark_repetitions the median stands for the
            // repetitions (it is reported after them); other aggregates
            // are left out.
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            std::string name = r.run_name.function_name;
            double scale = r.time_unit == benchmark::kMillisecond ? 1000.0 : 1.0;
            us[name] = r.GetAdjustedRealTime() * scale;
            cpu[name] = r.GetAdjustedCPUTime() * scale;
            for (const auto& c : r.counters) counter[c.first] = c.second;
        }
    }
};
}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Collect report;
    benchmark::RunSpecifiedBenchmarks(&report);
    // Processor time for the in-process figures (wall time suffers on a
    // shared machine); wall time for start-up, which runs another process.
    auto get = [&](std::map<std::string, double>& m, const char* name) { return m.count(name) ? m[name] : -1.0; };
    double frame = get(report.cpu, "BM_GameplayFrame"), sdl = get(report.cpu, "BM_SdlBlitSameDrawList"),
           engine = get(report.cpu, "BM_EngineBlitSameDrawList"), start = get(report.us, "BM_StartUpToFirstFrame");
    std::printf("\n%-46s %12s %12s\n", "figure", "value", "goal");
    if (frame > 0) std::printf("%-46s %9.1f us %12s\n", "gameplay frame, draw + update (CPU)", frame, "< 50 us");
    if (sdl > 0 && engine > 0) {
        std::printf("%-46s %9.1f us\n", "its draw list, engine blitter (CPU)", engine);
        std::printf("%-46s %9.1f us\n", "its draw list, SDL_BlitSurface (CPU)", sdl);
        std::printf("%-46s %10.2fx %12s\n", "SDL / engine on the same draw list", sdl / engine, ">= 2x");
    }
    if (sdl > 0 && frame > 0) std::printf("%-46s %10.2fx\n", "SDL draw list / whole gameplay frame", sdl / frame);
    if (start > 0) std::printf("%-46s %9.1f ms %12s\n", "start-up to first presented frame (wall)", start / 1000, "< 1000 ms");
    if (report.counter.count("cpu_percent"))
        std::printf("%-46s %10.1f%%\n", "loop CPU use at 60 Hz, real clock", report.counter["cpu_percent"]);
    benchmark::Shutdown();
    if (g_EngineUp) EngineEnd();
    return 0;
}
