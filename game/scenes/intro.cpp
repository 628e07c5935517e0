// The stage intro before every attempt, and the game-over screen.
#include <cstdio>

#include "engine/engine.h"
#include "game/scenes/scenes.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"
#include "game/world/save.h"

namespace {
constexpr int IntroMs = 2500;
constexpr int GameOverMs = 3000;
}  // namespace

void StageIntroScene(bool entered) {
    if (entered) {
        // Progress is saved only for the normal series without a start-up
        // argument, and never over a further stage the file already holds.
        if (GameState.ExtraMode == 0 && GameState.StartArgument == -1 &&
            GameState.StageIndex > GameState.SavedStageIndex && GameState.StageIndex < LastNormalStage &&
            GameState.StageIndex > ReadSavedStage()) {
            WriteSave(GameState.StageIndex);
        }
        Scenes.IntroTick = GetTickMs(0);
    }

    char line[32];
    if (IsFinalStage()) {
        DrawBitmapText(64, 80, "THE LAST STAGE");
    } else {
        std::snprintf(line, sizeof line, "stage %d", GameState.StageIndex + 1);
        DrawBitmapText(96, 80, line);
    }
    DrawSprite(PlayerImageSlot, 96, 104, 0, 0, 16, 16);
    std::snprintf(line, sizeof line, " x %d", GameState.Lives);
    DrawBitmapText(112, 112, line);

    if (TickDiff(GetTickMs(0), Scenes.IntroTick) > IntroMs) ChangeScene(SceneGameplay);
}

void GameOverScene(bool entered) {
    if (entered) {
        Scenes.GameOverTick = GetTickMs(0);
        PlayMusic(MusicGameOver);
    }
    DrawBitmapText(96, 112, "GAME OVER");
    if (TickDiff(GetTickMs(0), Scenes.GameOverTick) > GameOverMs) {
        StopAllMusic();
        ChangeScene(SceneTitle);
    }
}
