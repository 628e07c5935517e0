// quellbore-bench: what one gameplay frame costs, the same draw list through
// SDL2's software blitter, and the programs a player runs measured from
// outside (bench/program_figures.cpp).
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
#include "bench/program_figures.h"
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

}  // namespace

BENCHMARK(BM_GameplayFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlBlitSameDrawList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineBlitSameDrawList)->Unit(benchmark::kMicrosecond);

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
           engine = get(report.cpu, "BM_EngineBlitSameDrawList");
    if (g_EngineUp) EngineEnd();
    g_EngineUp = false;
    std::printf("\nmeasuring quellbore in a window and quellbore-sim (about 40 s) ...\n");
    std::fflush(stdout);
    ProgramFigures p = MeasurePrograms();
    auto row = [](const char* name, double v, const char* unit, const char* goal) {
        if (v < 0) std::printf("%-50s %12s %12s\n", name, "n/a", goal);
        else std::printf("%-50s %9.1f %-2s %12s\n", name, v, unit, goal);
    };
    std::printf("\n%-50s %12s %12s\n", "figure", "value", "goal");
    row("gameplay frame, draw + update (CPU)", frame, "us", "< 35 us");
    if (sdl > 0 && engine > 0) {
        row("its draw list, engine blitter (CPU)", engine, "us", "");
        row("its draw list, SDL_BlitSurface (CPU)", sdl, "us", "");
        std::printf("%-50s %10.2fx %12s\n", "SDL / engine on the same draw list", sdl / engine, ">= 2x");
    }
    if (!p.windowSkipped.empty()) {
        std::printf("%-50s %s\n", "quellbore in a window", p.windowSkipped.c_str());
    } else {
        row("window: CPU on the title, 8 s", p.titleCpu, "%", "<= 3 %");
        row("window: CPU walking in stage 1, 8 s", p.stageCpu, "%", "<= 3 %");
        row("window: of it the main thread, title", p.titleMainCpu, "%", "");
        row("window: of it the main thread, stage 1", p.stageMainCpu, "%", "");
        row("window: exec to first presented title frame", p.windowFirstFrameMs, "ms", "<= 300 ms");
        row("window: anonymous resident memory", p.windowAnonMb, "MB", "<= 85 MB");
        row("window: total resident memory", p.windowTotalMb, "MB", "");
    }
    row("sim: exec to first presented title frame", p.simFirstFrameMs, "ms", "<= 150 ms");
    row("sim: anonymous resident memory over stage 1", p.simAnonMb, "MB", "<= 45 MB");
    benchmark::Shutdown();
    return 0;
}
