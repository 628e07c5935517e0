// Random holds of the game's keys, each lasting a random number of frames.
// Escape is never pressed and the title menu's last entry ("exit") is never
// confirmed, so a soak runs for its whole frame count.
#include "tools/sim/random_input.h"

#include "engine/platform/headless/headless.h"
#include "game/scenes/scenes.h"
#include "game/shell/game_state.h"
#include "tools/sim/input_script.h"

namespace {

struct RandomKey {
    const char* name;
    int startChance;  // in 1/1000 per frame while released
    int longest;      // frames of one hold, at most
    int code;
    int left;         // frames still held
};
RandomKey g_Keys[] = {
    {"right", 60, 90, 0, 0}, {"left", 25, 40, 0, 0}, {"up", 20, 20, 0, 0},  {"down", 20, 20, 0, 0},
    {"z", 50, 25, 0, 0},     {"x", 30, 10, 0, 0},    {"enter", 12, 4, 0, 0},
};
constexpr int KeyCount = int(sizeof g_Keys / sizeof g_Keys[0]);
constexpr int TitleExitEntry = 4;
uint64_t g_State = 1;
bool g_On = false;

uint32_t Next() {
    g_State ^= g_State << 13;
    g_State ^= g_State >> 7;
    g_State ^= g_State << 17;
    return uint32_t(g_State >> 16);
}

}  // namespace

void RandomInputStart(uint64_t seed) {
    g_State = seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
    if (!g_State) g_State = 1;
    for (RandomKey& k : g_Keys) {
        int index = FindScriptInput(k.name);
        k.code = index >= 0 ? ScriptInputAt(index).code : 0;
        k.left = 0;
    }
    g_On = true;
}

void RandomInputFrame(int) {
    if (!g_On) return;
    bool onExit = GameState.SceneId == SceneTitle && Scenes.MenuCursor == TitleExitEntry;
    for (int i = 0; i < KeyCount; ++i) {
        RandomKey& k = g_Keys[i];
        if (k.left > 0) {
            --k.left;
        } else if (int(Next() % 1000) < k.startChance) {
            k.left = 1 + int(Next() % uint32_t(k.longest));
        }
        bool down = k.left > 0;
        if (onExit && (i == 3 || i == 6)) down = false;  // no "down", no "enter" on "exit"
        if (onExit && i == 2) down = true;               // move back up
        HeadlessSetKey(k.code, down ? 1 : 0);
    }
}
