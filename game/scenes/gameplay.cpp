// Scene 5: one stage, from its entry to its loss or its clear.
#include <cstdio>
#include <cstring>

#include "game/actors/actors.h"
#include "game/scenes/scenes.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

namespace {

constexpr int StageTimerStart = 9999;
constexpr int TimerWarningBelow = 500;
constexpr int TimerWarningStep = 50;
constexpr int ClearFramesNormal = 150;
constexpr int ClearFramesFinal = 200;
constexpr double FallenOutY = 304.0;

void EnterStage() {
    GameState.StageCleared = 0;
    GameState.ChaserSpawned = 0;

    Player.Reset();
    ResetAllActors();

    StageNameFor(GameState.ExtraMode, GameState.StageIndex, GameState.StageName);
    ReadStageFile(GameState.StageName);
    SetUpField();

    GameState.Keys = 0;
    GameState.DrillCharges = 1;
    GameState.StageTimer = StageTimerStart;
    GameState.ClearFrames = 0;

    SpawnStartRows();

    // On a final stage the boss starts its own music.
    if (!IsFinalStage()) {
        switch (GameState.StageKind) {
            case 1: PlayMusic(MusicStageKind1); break;
            case 3:
            case 5: PlayMusic(MusicStageKind3); break;
            default: PlayMusic(MusicStageOther); break;
        }
    }
}

void CountStageTimer() {
    if (GameState.StageTimer > 0) {
        GameState.StageTimer -= 1;
        if (GameState.StageTimer < TimerWarningBelow && GameState.StageTimer % TimerWarningStep == 0) {
            PlaySound(SoundTimerWarning);
        }
    } else if (!TheDeathChaser.active && !GameState.ChaserSpawned) {
        GameState.ChaserSpawned = 1;
        TheDeathChaser.Spawn(0, (int)(Player.x / 16 - 10), 7);
    }
}

}  // namespace

void StageNameFor(int extraMode, int stageIndex, char out[260]) {
    if (extraMode == 0) {
        if (stageIndex == LastNormalStage) std::snprintf(out, 260, "stageboss");
        else std::snprintf(out, 260, "stage%02d", stageIndex + 1);
    } else {
        if (stageIndex == LastExtraStage) std::snprintf(out, 260, "stageexboss");
        else std::snprintf(out, 260, "stageex%02d", stageIndex + 1);
    }
}

void GameplayScene(bool entered) {
    if (entered) EnterStage();

    DrawField();
    DrawActorsBehindPlayer();
    Player.Draw();
    DrawActorsInFrontOfPlayer();
    DrawHud();

    if (GameState.StageCleared) {
        if (IsFinalStage()) DrawBitmapText(80, 96, "CONGRATURATION !!");
        else DrawBitmapText(112, 96, "CLEAR !!");
        if (GameState.ClearFrames == 0) PlayMusic(MusicStageClear);
        GameState.ClearFrames += 1;
    } else {
        Player.Act();
        Player.Move();
    }

    if (Player.state == PlayerAlive && !GameState.StageCleared) {
        CountStageTimer();
        ActAndMoveActors();
        SpawnNextRow();
    }

    if (Player.state == PlayerDying && Player.y > FallenOutY) {
        GameState.Lives -= 1;
        StopAllMusic();
        ChangeScene(GameState.Lives > 0 ? SceneStageIntro : SceneGameOver);
    }

    if (IsFinalStage()) {
        if (GameState.ClearFrames > ClearFramesFinal) {
            StopAllMusic();
            ChangeScene(GameState.ExtraMode == 0 ? SceneEnding : SceneExtraEnding);
        }
    } else if (GameState.ClearFrames > ClearFramesNormal) {
        StopAllMusic();
        GameState.StageIndex += 1;
        ChangeScene(SceneStageIntro);
    }
}
