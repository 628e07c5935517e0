// Program entry: engine set-up, the main loop with its frame pacing, and
// shut-down.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "game/shell/assets.h"
#include "game/shell/entry.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"
#include "game/shell/settings.h"
#include "game/shell/movie.h"
#include "game/scenes/scenes.h"

namespace {

constexpr int FrameMs = 16;

// The real program's window choices (-1 / 0: keep what the set-up chose).
int OverrideWindowed = -1;
int OverrideScale = 0;

void ApplyWindowOverrides() {
    if (OverrideWindowed >= 0) ChangeWindowMode(OverrideWindowed);
    if (OverrideScale > 0) SetWindowScale((double)OverrideScale, -1.0);
}

// Waits until a frame's time has passed since the last frame began; a slow
// frame is not made up, and a counter that wrapped counts as elapsed. The
// wait sleeps to the very millisecond instead of spinning.
void WaitForFrameStart() {
    while (TickDiff(GetTickMs(), GameState.LastFrameTick) < FrameMs)
        SleepUntilTick((int)(((unsigned)GameState.LastFrameTick + FrameMs) & 0x7FFFFFFFu));
    GameState.LastFrameTick = GetTickMs();
}

template <bool WithHooks>
void MainLoop(const GameLoopHooks* hooks) {
    for (int frame = 0;; ++frame) {
        if (WithHooks && hooks->beforePass && !hooks->beforePass(frame)) break;
        if (!MoviePassBegins(frame)) break;
        if (ProcessWindowMessages() != 0 || IsKeyDown(KeyEscape) == 1) break;
        ClearScreen();
        WaitForFrameStart();
        LatchButtons();
        GameState.SceneEntered = GameState.PrevSceneId != GameState.SceneId ? 1 : 0;
        GameState.PrevSceneId = GameState.SceneId;
        RunScene(GameState.SceneId, GameState.SceneEntered != 0);
        MovieSceneDone(frame);
        if (WithHooks && hooks->afterScene && !hooks->afterScene(frame)) break;
        if (GameState.QuitRequested) break;
        PresentFrame();
        if (WithHooks && hooks->afterPresent && !hooks->afterPresent(frame)) break;
    }
    MovieLoopEnded();
}

int Run(const char* startArgument, const GameLoopHooks* hooks) {
    ResetGameState();  // every field as at program start
    SetQuitRequested(0);
    SetWindowCaption("Quellbore Ver 1.01");
    SetScreenMode(256, 256, 16, 60);
    SetWindowIconId(101);
    ChangeWindowMode(1);
    SetWindowScale(2.0, -1.0);
    // The player's settings file counts for the real game only; the runner
    // and the tests stay reproducible.
    const bool playerSettings = hooks == nullptr;
    if (playerSettings) ApplySettingsAtStart(); else UseDefaultSettings();
    SetEngineModules(EngineModuleInput | EngineModuleSound | EngineModuleGraphics);
    GameState.StartArgument = ParseStartArgument(startArgument);
    ApplyWindowOverrides();  // the command line wins over the settings
    if (EngineInit() == -1) return -1;
    SetDrawTarget(BackScreen);
    SetDrawClip(0, 0, 256, 256);
    SetWaitVSync(1);
    MovieEngineStarted();  // a movie sees every value the game reads from here on
    GameState.LastFrameTick = GetTickMs();
    GameState.SceneId = SceneTitle;
    GameState.PrevSceneId = -1;
    SetTransparentColor(0, 0, 0);
    LoadAllAssets();
    PrepareSceneTexts();  // the scenes' Japanese lines, converted once
    if (hooks) {
        MainLoop<true>(hooks);
    } else {
        MainLoop<false>(nullptr);
    }
    if (playerSettings) SaveSettingsAtEnd();
    EngineEnd();
    return 0;
}

}  // namespace

int ParseStartArgument(const char* text) {
    if (!text || !*text) return -1;
    // atoi's reading, without its undefined overflow: out-of-range values
    // stop at the int limits.
    const char* p = text;
    while (std::isspace((unsigned char)*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return (int)value;
}

void JoinArguments(int argc, char** argv, char* out, int size) {
    if (!out || size <= 0) return;
    out[0] = '\0';
    int used = 0;
    for (int i = 1; i < argc && argv && argv[i]; ++i) {
        if (i > 1 && used < size - 1) out[used++] = ' ';
        for (const char* s = argv[i]; *s && used < size - 1; ++s) out[used++] = *s;
    }
    out[used] = '\0';
}

void SetWindowOverrides(int windowed, int scale) {
    OverrideWindowed = windowed < 0 ? -1 : (windowed ? 1 : 0);
    OverrideScale = scale > 0 ? scale : 0;
}

int GameMain(const char* startArgument) { return Run(startArgument, nullptr); }

int GameMainWithHooks(const char* startArgument, const GameLoopHooks* hooks) {
    return Run(startArgument, hooks);
}

int GameMainFromArgs(int argc, char** argv) {
    // The whole command line after the program name.
    size_t total = 1;
    for (int i = 1; i < argc && argv[i]; ++i) total += std::strlen(argv[i]) + 1;
    std::string text(total, '\0');
    JoinArguments(argc, argv, text.data(), (int)total);
    return GameMain(text.c_str());
}
