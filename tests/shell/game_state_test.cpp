#include <gtest/gtest.h>
#include "game/shell/game_state.h"

TEST(GameState, FinalStageTestMatchesOnlyTheLastStageOfEachSeries) {
    struct Case { int extra, stage; bool final; } cases[] = {
        {0, 30, true}, {0, 29, false}, {1, 10, true}, {1, 30, false}, {2, 10, false}, {2, 30, false},
    };
    for (const Case& c : cases) {
        GameState.ExtraMode = c.extra;
        GameState.StageIndex = c.stage;
        EXPECT_EQ(IsFinalStage(), c.final) << c.extra << " " << c.stage;
    }
}

TEST(GameState, TickDifferencesAreWrapSafe) {
    struct Case { int later, earlier, diff; } cases[] = {
        {100, 84, 16}, {5, 0x7FFFFFF5, 16}, {0, 0x7FFFFFFF, 1}, {0x7FFFFFFF, 0, 0x7FFFFFFF}, {7, 7, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TickDiff(c.later, c.earlier), c.diff) << c.later << " " << c.earlier;
}

TEST(GameState, ResetGivesTheProgramStartValues) {
    GameState.SceneId = 5;
    GameState.PrevSceneId = 4;
    GameState.Lives = 9;
    GameState.StageName[0] = 's';
    GameState.StartArgument = 3;
    ResetGameState();
    EXPECT_EQ(GameState.SceneId, SceneTitle);
    EXPECT_EQ(GameState.PrevSceneId, -1);
    EXPECT_EQ(GameState.StartArgument, -1);
    EXPECT_EQ(GameState.Lives, 0);
    EXPECT_EQ(GameState.StageName[0], '\0');
}
