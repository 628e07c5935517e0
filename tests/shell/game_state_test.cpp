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
