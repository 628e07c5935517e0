#include "game/shell/game_state.h"

GameStateRecord GameState;

void ChangeScene(int scene) { GameState.SceneId = scene; }
void SetQuitRequested(int flag) { GameState.QuitRequested = flag ? 1 : 0; }
int IsQuitRequested() { return GameState.QuitRequested; }
bool IsFinalStage() {
    return (GameState.ExtraMode == 0 && GameState.StageIndex == LastNormalStage) ||
           (GameState.ExtraMode == 1 && GameState.StageIndex == LastExtraStage);
}

void ResetGameState() { GameState = GameStateRecord{}; }
