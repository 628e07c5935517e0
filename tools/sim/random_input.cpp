// Random holds of the game's keys, each lasting a random number of frames.
// On the title a random goal is picked at each visit (one of the menu's
// entries other than "exit", or waiting for the idle story) and walked to,
// so every scene comes round; Escape is never pressed, and a soak runs for
// its whole frame count.
#include "tools/sim/random_input.h"

#include <cstring>

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
int g_QuietLeft = 0;  // frames of a spell without any key
int g_TitleGoal = -1;  // menu entry to reach, TitleIdleGoal, or -1 (not on the title)
constexpr int TitleIdleGoal = 99;
constexpr int TitleIdleFrames = 1200;  // more than the title's 15 s of idling

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
    g_QuietLeft = 0;
    g_TitleGoal = -1;
    g_On = true;
}

// Keys on the title: walk the cursor to the goal and confirm it, one
// press every other frame (the menu acts on presses, not on holds).
void TitleFrame(int frame) {
    if (g_TitleGoal < 0) {
        uint32_t pick = Next() % 5;
        g_TitleGoal = pick == 4 ? TitleIdleGoal : int(pick);  // never "exit"
        if (g_TitleGoal == TitleIdleGoal) g_QuietLeft = TitleIdleFrames;
    }
    int up = -1, down = -1, enter = -1;
    for (int i = 0; i < KeyCount; ++i) {
        g_Keys[i].left = 0;
        HeadlessSetKey(g_Keys[i].code, 0);
        if (!std::strcmp(g_Keys[i].name, "up")) up = g_Keys[i].code;
        if (!std::strcmp(g_Keys[i].name, "down")) down = g_Keys[i].code;
        if (!std::strcmp(g_Keys[i].name, "enter")) enter = g_Keys[i].code;
    }
    if (g_QuietLeft > 0) {
        --g_QuietLeft;
        return;
    }
    if (frame & 1) return;
    int cursor = Scenes.MenuCursor;
    if (cursor < g_TitleGoal) HeadlessSetKey(down, 1);
    else if (cursor > g_TitleGoal) HeadlessSetKey(up, 1);
    else if (cursor != TitleExitEntry) HeadlessSetKey(enter, 1);
}

void RandomInputFrame(int frame) {
    if (!g_On) return;
    if (GameState.SceneId == SceneTitle) {
        TitleFrame(frame);
        return;
    }
    g_TitleGoal = -1;
    if (g_QuietLeft == 0 && Next() % 3000 == 0) g_QuietLeft = 600 + int(Next() % 900);
    bool quiet = g_QuietLeft > 0;
    if (quiet) --g_QuietLeft;
    for (int i = 0; i < KeyCount; ++i) {
        RandomKey& k = g_Keys[i];
        if (k.left > 0) {
            --k.left;
        } else if (int(Next() % 1000) < k.startChance) {
            k.left = 1 + int(Next() % uint32_t(k.longest));
        }
        HeadlessSetKey(k.code, k.left > 0 && !quiet ? 1 : 0);
    }
}
