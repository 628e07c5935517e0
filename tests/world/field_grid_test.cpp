// The field alone: clearing a block and building the tiles touch only the
// grids and report what the block held; the actors do the spawning.
#include <gtest/gtest.h>

#include "game/actors/debris.h"
#include "game/actors/door.h"
#include "game/actors/item.h"
#include "game/world/field.h"
#include "game/world/stage_file.h"

namespace {

bool AnyActive() {
    for (const Item& i : ItemPool)
        if (i.active) return true;
    for (const Debris& d : DebrisPool)
        if (d.active) return true;
    return TheDoor.active;
}

TEST(FieldGrid, ClearBlockReportsWhatItHeldAndSpawnsNothing) {
    struct Case {
        int code;
        bool cleared;
        int item;
    } cases[] = {
        {FieldEmpty, false, -1},     {FieldGround, false, -1},    {FieldBlock, true, -1},
        {FieldCoinBlock, true, 0},   {FieldKeyBlock, true, 1},    {FieldHiddenBlock, true, 2},
        {FieldCoin, false, -1},      {FieldDoor, false, -1},
    };
    for (const Case& c : cases) {
        ResetItems();
        ResetDebris();
        TheDoor.Reset();
        ClearStageGrids();
        FieldGrid[30][7] = c.code;
        SetUpFieldTiles();
        int item = 99;
        EXPECT_EQ(ClearBlock(30, 7, &item), c.cleared) << c.code;
        EXPECT_EQ(item, c.item) << c.code;
        EXPECT_EQ(FieldGrid[30][7], c.cleared ? FieldEmpty : c.code) << c.code;
        if (c.cleared) EXPECT_EQ(TileGrid[30][7], TileNone) << c.code;
        EXPECT_FALSE(AnyActive()) << c.code;
    }
    int item = 99;
    EXPECT_FALSE(ClearBlock(-1, 0, &item));
    EXPECT_EQ(item, -1);
    EXPECT_FALSE(ClearBlock(GridRows, 0, &item));
}

}  // namespace
