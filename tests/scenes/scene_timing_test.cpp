// The scenes' millisecond waits across the wrap of the tick counter, run
// in process on the headless clock (drawing without a started engine is
// refused and does nothing).
#include <gtest/gtest.h>

#include "engine/platform/headless/headless.h"
#include "game/scenes/scenes.h"
#include "game/shell/game_state.h"

namespace {

struct Wait {
    const char* name;
    void (*scene)(bool);
    int sceneId, limitMs, nextScene;
};

TEST(SceneTiming, MillisecondWaitsEndAcrossTheCounterWrap) {
    const Wait waits[] = {
        {"title idle", TitleScene, SceneTitle, 15000, ScenePrologue},
        {"stage intro", StageIntroScene, SceneStageIntro, 2500, SceneGameplay},
        {"game over", GameOverScene, SceneGameOver, 3000, SceneTitle},
    };
    for (const Wait& w : waits) {
        SCOPED_TRACE(w.name);
        HeadlessReset();
        ResetGameState();
        GameState.ExtraMode = 1;  // the intro then writes no save
        // Entered 100 ms before the counter wraps from 0x7FFFFFFF to 0.
        HeadlessSetTickMs(0x7FFFFFFFu - 100);
        GameState.SceneId = w.sceneId;
        w.scene(true);
        ASSERT_EQ(GameState.SceneId, w.sceneId);
        HeadlessSetTickMs(0x7FFFFFFFu - 100 + w.limitMs);  // exactly the limit: not yet
        w.scene(false);
        EXPECT_EQ(GameState.SceneId, w.sceneId);
        HeadlessSetTickMs(0x7FFFFFFFu - 100 + w.limitMs + 1);
        w.scene(false);
        EXPECT_EQ(GameState.SceneId, w.nextScene);
    }
}

}  // namespace

namespace {

// Title cursor moves: only a fresh press moves it, and never past the ends.
TEST(TitleMenu, CursorMovesOneStepPerPressWithinTheEntries) {
    HeadlessReset();
    ResetGameState();
    Scenes.MenuCursor = 0;
    GameState.SceneId = SceneTitle;
    TitleScene(true);
    struct Step {
        int up, down, cursor;
    };
    const Step steps[] = {
        {LatchPressed, LatchUp, 0},  // Up on "start" stays
        {LatchUp, LatchPressed, 1},  {LatchUp, LatchHeld, 1},    {LatchUp, LatchHeld, 1},
        {LatchUp, LatchPressed, 2},  {LatchUp, LatchPressed, 3}, {LatchUp, LatchPressed, 4},
        {LatchUp, LatchPressed, 4},  // Down on "exit" stays
        {LatchPressed, LatchUp, 3},
    };
    for (const Step& s : steps) {
        GameState.ButtonUp = s.up;
        GameState.ButtonDown = s.down;
        TitleScene(false);
        EXPECT_EQ(Scenes.MenuCursor, s.cursor);
    }
    EXPECT_EQ(GameState.SceneId, SceneTitle);
    // The cursor is kept over a new visit.
    GameState.ButtonUp = LatchUp;
    TitleScene(true);
    EXPECT_EQ(Scenes.MenuCursor, 3);
}

}  // namespace

namespace {

// Enter in the very frame the 15 s run out starts the chosen game, not
// the prologue; without a choice the prologue follows.
TEST(TitleMenu, ChoiceInTheFrameTheIdleTimeEndsWins) {
    for (int confirm : {LatchPressed, LatchUp}) {
        SCOPED_TRACE(confirm);
        HeadlessReset();
        ResetGameState();
        Scenes.MenuCursor = 0;
        GameState.SceneId = SceneTitle;
        HeadlessSetTickMs(5000);
        TitleScene(true);
        HeadlessSetTickMs(5000 + 15001);
        GameState.ButtonConfirm = confirm;
        TitleScene(false);
        EXPECT_EQ(GameState.SceneId, confirm == LatchPressed ? SceneStageIntro : ScenePrologue);
    }
}

}  // namespace
