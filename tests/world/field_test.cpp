#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "tests/support/call_log.h"
#include "game/actors/debris.h"
#include "game/actors/door.h"
#include "game/actors/field_actors.h"
#include "game/actors/item.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

namespace {

class FieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearStageGrids();
        ResetItems();
        ResetDebris();
        TheDoor.Reset();
        Player.Reset();
        GameState.StageKind = 0;
        GameState.GroundRow = 0;
    }
    int ActiveItems() {
        int n = 0;
        for (const Item& i : ItemPool) n += i.active;
        return n;
    }
    int ActiveDebris() {
        int n = 0;
        for (const Debris& d : DebrisPool) n += d.active;
        return n;
    }
};

TEST_F(FieldTest, GroundVariantsCountTheOutsideAsGround) {
    struct Case {
        int row, cell, variant;
        const char* where;
    } cases[] = {
        {100, 8, 1, "alone in the middle"},
        {0, 8, 15, "row 0: left is outside"},
        {319, 8, 14, "row 319: right is outside"},
        {100, 0, 13, "cell 0: up is outside"},
        {100, 15, 12, "cell 15: down is outside"},
        {0, 15, 9, "bottom-left corner"},
    };
    for (const Case& c : cases) {
        ClearStageGrids();
        FieldGrid[c.row][c.cell] = FieldGround;
        EXPECT_EQ(GroundVariant(c.row, c.cell), c.variant) << c.where;
    }

    // A floor two cells deep: the neighbours decide, blocks do not count.
    ClearStageGrids();
    for (int r = 10; r <= 12; ++r) FieldGrid[r][14] = FieldGrid[r][15] = FieldGround;
    FieldGrid[13][14] = FieldBlock;
    EXPECT_EQ(GroundVariant(11, 14), 2);   // top surface: open above
    EXPECT_EQ(GroundVariant(10, 14), 8);   // left top corner
    EXPECT_EQ(GroundVariant(12, 14), 9);   // right top corner, block to its right
    EXPECT_EQ(GroundVariant(11, 15), 0);   // buried, the outside below
    SetUpField();
    EXPECT_EQ(TileGrid[11][14], TileGroundBase + 2);
    EXPECT_EQ(TileGrid[13][14], TileBlock);
}

TEST_F(FieldTest, CodesDecideSolidBreakableAndTile) {
    struct Case {
        int code;
        bool solid, breakable;
        int tile;
    } cases[] = {
        {0, false, false, TileNone},  {1, true, false, TileGroundBase + 1},
        {2, true, true, TileBlock},   {3, true, true, TileBlock},
        {4, true, true, TileBlock},   {5, true, true, TileNone},  // hidden: solid, not drawn
        {6, false, false, TileNone},  {49, false, false, TileNone},
        {99, false, false, TileNone}, {-1, false, false, TileNone},
    };
    for (const Case& c : cases) {
        ClearStageGrids();
        FieldGrid[50][8] = c.code;
        SetUpField();
        EXPECT_EQ(IsSolid(50, 8), c.solid) << c.code;
        EXPECT_EQ(IsBreakable(50, 8), c.breakable) << c.code;
        EXPECT_EQ(TileGrid[50][8], c.tile) << c.code;
    }
    const int outside[][2] = {{-1, 0}, {320, 0}, {0, -1}, {0, 16}, {100000, 5}, {-100000, 5}};
    std::memset(FieldGrid, 0, sizeof FieldGrid);
    for (auto& row : FieldGrid)
        for (int& v : row) v = FieldBlock;
    for (const auto& o : outside) {
        EXPECT_FALSE(IsSolid(o[0], o[1])) << o[0] << "," << o[1];
        EXPECT_FALSE(IsBreakable(o[0], o[1])) << o[0] << "," << o[1];
        BreakBlock(o[0], o[1]);
    }
    EXPECT_EQ(ActiveDebris(), 0);
}

TEST_F(FieldTest, SetUpPlacesItemsAndTheDoor) {
    FieldGrid[20][14] = FieldCoin;
    FieldGrid[21][14] = FieldKey;
    FieldGrid[30][14] = FieldDoor;
    SetUpField();
    ASSERT_EQ(ActiveItems(), 2);
    EXPECT_EQ(ItemPool[0].kind, 0);
    EXPECT_EQ(static_cast<int>(ItemPool[0].x), 320);
    EXPECT_EQ(static_cast<int>(ItemPool[0].y), 224);
    EXPECT_EQ(ItemPool[1].kind, 1);
    EXPECT_EQ(FieldGrid[20][14], FieldCoin);  // stays, an empty cell
    EXPECT_FALSE(IsSolid(20, 14));
    EXPECT_TRUE(TheDoor.active);
    EXPECT_EQ(static_cast<int>(TheDoor.x), 16 * 30 - 8);
    EXPECT_EQ(static_cast<int>(TheDoor.y), 16 * 14 - 16);
}

TEST_F(FieldTest, BreakingABlockLeavesItsItemAndDebris) {
    CallLog log;
    FieldGrid[40][10] = FieldBlock;
    FieldGrid[41][10] = FieldHiddenBlock;
    FieldGrid[42][10] = FieldCoinBlock;
    FieldGrid[43][10] = FieldGround;
    SetUpField();

    BreakBlock(40, 10);
    EXPECT_EQ(FieldGrid[40][10], 0);
    EXPECT_EQ(TileGrid[40][10], 0);
    EXPECT_FALSE(IsSolid(40, 10));
    EXPECT_EQ(ActiveItems(), 0);
    EXPECT_EQ(ActiveDebris(), 4);
    EXPECT_EQ(log.CountSound(3), 4);

    BreakBlock(41, 10);
    ASSERT_EQ(ActiveItems(), 1);
    EXPECT_EQ(ItemPool[0].kind, 2);
    EXPECT_EQ(static_cast<int>(ItemPool[0].x), 16 * 41);
    EXPECT_EQ(static_cast<int>(ItemPool[0].y), 16 * 10);
    EXPECT_EQ(ActiveDebris(), 8);

    BreakBlock(42, 10);
    EXPECT_EQ(ItemPool[1].kind, 0);

    BreakBlock(43, 10);  // ground does not break
    EXPECT_EQ(FieldGrid[43][10], FieldGround);
    EXPECT_EQ(ActiveItems(), 2);
    EXPECT_EQ(ActiveDebris(), 12);
}

TEST_F(FieldTest, TilesAreDrawnAtTheirScreenPositions) {
    for (int r = 0; r < GridRows; ++r) FieldGrid[r][15] = FieldGround;
    GameState.GroundRow = 3;
    SetUpField();
    CallLog log;
    Player.scrollX = 100;
    DrawField();
    std::vector<SpriteCall> tiles = log.OfSlot(GroundSlot);
    ASSERT_EQ(tiles.size(), 17u);  // rows 6 to 22
    EXPECT_EQ(tiles.front(), (SpriteCall{GroundSlot, -4, 240, 16 * 2, 48, 16, 16}));  // row 6: open above
    EXPECT_EQ(tiles.back().x, 252);  // row 22

    // Near the world's end only the rows that exist draw.
    log.Clear();
    Player.scrollX = 5000;  // rows 312 .. 328
    DrawField();
    tiles = log.OfSlot(GroundSlot);
    ASSERT_EQ(tiles.size(), 8u);
    EXPECT_EQ(tiles.back().x, 16 * 319 - 5000);
    log.Clear();
    Player.scrollX = 5760;
    DrawField();
    EXPECT_TRUE(log.OfSlot(GroundSlot).empty());
    log.Clear();
    Player.scrollX = -40;  // rows -2 .. 14: none below 0
    DrawField();
    EXPECT_EQ(log.OfSlot(GroundSlot).size(), 15u);
}

TEST_F(FieldTest, BackgroundFillsTheScreenThenDrawsTheLayersOfTheKind) {
    CallLog log;
    GameState.StageKind = 1;
    Player.scrollX = 0;
    DrawField();
    std::vector<SpriteCall> fill = log.OfSlot(FillTileSlot);
    ASSERT_EQ(fill.size(), 256u);
    EXPECT_EQ(fill[0], (SpriteCall{1, 0, 0, 64, 0, 16, 16}));
    EXPECT_EQ(fill[1], (SpriteCall{1, 0, 16, 64, 0, 16, 16}));  // i is the outer loop
    EXPECT_EQ(fill[16].x, 16);
    ASSERT_GE(log.sprites.size(), 256u + 5u);
    // Layer 15 once, 16 and 17 twice each, right after the fill.
    const int expected[] = {15, 16, 16, 17, 17};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(log.sprites[256 + i].slot, expected[i]);

    log.Clear();
    GameState.StageKind = 7;  // no set: fill column 0, no layers
    DrawField();
    EXPECT_EQ(log.sprites.size(), 256u);
    EXPECT_EQ(log.sprites[0].srcX, 0);
}

TEST_F(FieldTest, LayersRepeatAtTheirScrollSpeed) {
    struct Case {
        int divisor, position;
        std::vector<int> xs;
    } cases[] = {
        {4, 1030, {-1, 255}},
        {3, 1000, {-77, 179}},
        {0, 1000, {0}},
        {-2, 1000, {0}},
        {4, 0, {0, 256}},
        {4, 5760, {-160, 96}},
    };
    for (const Case& c : cases) {
        CallLog log;
        Player.scrollX = c.position;
        DrawLayer(20, c.divisor);
        ASSERT_EQ(log.sprites.size(), c.xs.size()) << c.divisor << " " << c.position;
        for (size_t i = 0; i < c.xs.size(); ++i) {
            EXPECT_EQ(log.sprites[i], (SpriteCall{20, c.xs[i], 0, 0, 0, 256, 256}));
        }
        log.Clear();
        DrawLayerAt(20, c.divisor, c.position);
        ASSERT_EQ(log.sprites.size(), c.xs.size());
        EXPECT_EQ(log.sprites[0].x, c.xs[0]);
    }
}

// The band a collision walk keeps: exactly the cells whose pixel rows meet
// top ... bottom, also far outside the field and at the int limits.
TEST(CellBandTest, HoldsExactlyTheCellsThatMeetTheRows) {
    const int edges[] = {INT_MIN, -100000, -17, -16, -15, -1, 0, 1, 15, 16, 17, 31, 32, 100,
                         239, 240, 254, 255, 256, 257, 300, 100000, INT_MAX};
    for (int top : edges) {
        for (int bottom : edges) {
            unsigned expected = 0;
            for (int c = 0; c < GridCells; ++c)
                if (top <= bottom && 16 * c + 15 >= top && 16 * c <= bottom) expected |= 1u << c;
            EXPECT_EQ(CellBand(top, bottom), expected) << top << " ... " << bottom;
        }
    }
    EXPECT_EQ(CellsAfter(0xFFFFu, 0), 0xFFFEu);
    EXPECT_EQ(CellsAfter(0xFFFFu, 15), 0u);
}

}  // namespace
