// The scene table of the main loop.
#include "game/scenes/scenes.h"
#include "game/shell/entry.h"
#include "game/shell/game_state.h"

namespace {

using SceneFunction = void (*)(bool);

constexpr int SceneTableSize = 15;
constexpr SceneFunction SceneTable[SceneTableSize] = {
    nullptr,           nullptr,         nullptr,       TitleScene,        StageIntroScene,
    GameplayScene,     nullptr,         nullptr,       GameOverScene,     nullptr,
    PrologueScene,     EndingScene,     CreditsScene,  ExtraEndingScene,  SaveDeletionScene,
};
static_assert(SceneTitle == 3 && SceneStageIntro == 4 && SceneGameplay == 5 && SceneGameOver == 8 &&
                  ScenePrologue == 10 && SceneEnding == 11 && SceneCredits == 12 && SceneExtraEnding == 13 &&
                  SceneSaveDeletion == 14,
              "scene numbers match the table");

}  // namespace

bool RunScene(int sceneId, bool entered) {
    if (sceneId < 0 || sceneId >= SceneTableSize || !SceneTable[sceneId]) return false;
    SceneTable[sceneId](entered);
    return true;
}
