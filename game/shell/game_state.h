// The one record of values that the game's modules share.
#pragma once

#include <cstdint>

enum SceneNumber {
    SceneTitle = 3,
    SceneStageIntro = 4,
    SceneGameplay = 5,
    SceneGameOver = 8,
    ScenePrologue = 10,
    SceneEnding = 11,
    SceneCredits = 12,
    SceneExtraEnding = 13,
    SceneSaveDeletion = 14,
};

// Button latch values.
enum { LatchUp = 0, LatchPressed = 1, LatchHeld = 2 };

struct GameStateRecord {
    // Shell
    int SceneId = 3;
    int PrevSceneId = -1;
    uint8_t SceneEntered = 0;
    uint8_t QuitRequested = 0;
    int StartArgument = -1;
    int LastFrameTick = 0;

    // Button latches
    int ButtonUp = 0;
    int ButtonDown = 0;
    int ButtonLeft = 0;
    int ButtonRight = 0;
    int ButtonConfirm = 0;
    int ButtonJump = 0;
    int ButtonDrill = 0;

    // Progress
    int ExtraMode = 0;
    int StageIndex = 0;
    int SavedStageIndex = 0;
    int Lives = 0;
    int Coins = 0;

    // Per stage
    char StageName[260] = {};
    int StageKind = 0;
    int GroundRow = 0;
    int Keys = 0;
    int DrillCharges = 0;
    int DrillRechargeTick = 0;
    int StageTimer = 0;
    uint8_t StageCleared = 0;
    int ClearFrames = 0;
    uint8_t ChaserSpawned = 0;
};

constexpr int LastNormalStage = 30;
constexpr int LastExtraStage = 10;

extern GameStateRecord GameState;

void ChangeScene(int scene);
void SetQuitRequested(int flag);
int IsQuitRequested();
// The current stage is the last of its series.
bool IsFinalStage();

// Milliseconds from 'earlier' to 'later', two GetTickMs values, correct
// across the counter's wrap from 0x7FFFFFFF to 0 (every millisecond
// difference the game takes goes through this).
inline int TickDiff(int later, int earlier) {
    return (int)(((unsigned)later - (unsigned)earlier) & 0x7FFFFFFFu);
}
// Resets the whole record to its program-start values.
void ResetGameState();
