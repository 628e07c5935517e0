// The scene functions, one per screen of the game; the main loop calls the
// current one once per frame with the SceneEntered flag.
#pragma once

void TitleScene(bool entered);
void StageIntroScene(bool entered);
void GameplayScene(bool entered);
void GameOverScene(bool entered);
void PrologueScene(bool entered);
void EndingScene(bool entered);
void CreditsScene(bool entered);
void ExtraEndingScene(bool entered);
void SaveDeletionScene(bool entered);

// Turns the scenes' Japanese lines into the engine's text encoding, once.
// The entry calls it before the first frame; later calls do nothing.
void PrepareSceneTexts();

// Scene-local values, kept for the runner's trace and for tests.
struct SceneLocals {
    int MenuCursor = 0;        // title entry 0..4, kept between visits
    int TitleIdleTick = 0;
    int TitleFrame = 0;
    int DeleteCursor = 0;      // 0 "no", 1 "yes"
    int SaveDeleted = 0;
    int DeletedFrames = 0;
    int IntroTick = 0;
    int GameOverTick = 0;
    int StoryCounter = 0;
    int CreditsCounter = 0;
};
extern SceneLocals Scenes;

// The stage file base name for a series and a 0-based stage index.
void StageNameFor(int extraMode, int stageIndex, char out[260]);
