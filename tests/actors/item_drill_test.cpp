#include "game/shell/bitmap_text.h"
#include "tests/actors/actor_fixture.h"

using Items = ActorTest;

TEST_F(Items, HundredthCoinGivesALifeAndShowsOneUpWhileItRises) {
    GameState.Coins = 99;
    GameState.Lives = 2;
    Item& coin = ItemPool[SpawnItem(ItemCoin, 200, 100)];
    Player.x = 186;  // its right edge touches the 12 x 12 pick-up box
    Player.y = 100;
    coin.Act();
    coin.Move();
    EXPECT_EQ(GameState.Coins, 0);
    EXPECT_EQ(GameState.Lives, 3);
    EXPECT_EQ(SoundCount(5), 1);
    EXPECT_EQ(SoundCount(2), 0);
    EXPECT_TRUE(coin.oneUp);
    EXPECT_EQ(coin.state, ItemCollected);

    // Touching it again does nothing; it rises 0.95 a frame for 26 frames.
    Player.scrollX = 40;
    double y0 = coin.y;
    for (int f = 1; f <= 26; ++f) {
        ASSERT_TRUE(coin.active) << f;
        Rec.sprites.clear();
        coin.Draw();
        ASSERT_FALSE(Rec.sprites.empty());
        EXPECT_EQ(Rec.sprites[0].slot, FontImageSlot);  // "1up" centred over the coin
        EXPECT_EQ(Rec.sprites[0].x, TruncToInt(coin.x - 40 - 8));
        EXPECT_EQ(Rec.sprites[0].y, TruncToInt(coin.y - 16));
        coin.Act();
        coin.Move();
        if (f == 1) {
            EXPECT_NEAR(coin.y, y0 - 0.95, 1e-9);
        }
    }
    EXPECT_FALSE(coin.active);
    EXPECT_EQ(GameState.Coins, 0);
    EXPECT_EQ(GameState.Lives, 3);
}

TEST_F(Items, CoinKeyAndEmptyFindEachCountTheirOwnWay) {
    struct Case {
        int kind, coins, keys, sound;
    } cases[] = {{ItemCoin, 1, 0, 2}, {ItemKey, 0, 1, 18}, {ItemEmpty, 0, 0, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        GameState.Coins = GameState.Keys = 0;
        ResetItems();
        Rec.sounds.clear();
        Item& it = ItemPool[SpawnItem(c.kind, 100, 100)];
        Player.x = 100;
        Player.y = 100;
        it.Act();
        it.Move();
        EXPECT_EQ(it.state, ItemCollected);
        EXPECT_EQ(GameState.Coins, c.coins);
        EXPECT_EQ(GameState.Keys, c.keys);
        if (c.sound < 0) {
            EXPECT_TRUE(Rec.sounds.empty());
        } else {
            EXPECT_EQ(Rec.sounds, std::vector<int>{c.sound});
        }
    }
}

TEST_F(Items, FallsRestsOnGroundAndVanishesBelowTheWorld) {
    Ground(5, 7, 12);  // top at y 192
    Item& it = ItemPool[SpawnItem(ItemCoin, 96, 150)];
    for (int f = 0; f < 60; ++f) {
        it.Act();
        it.Move();
    }
    EXPECT_DOUBLE_EQ(it.y, 192.0 - 16);
    EXPECT_EQ(it.state, ItemLying);

    Item& lost = ItemPool[SpawnItem(ItemCoin, 400, 250)];
    int frames = 0;
    while (lost.state == ItemLying && frames < 100) {
        lost.Act();
        lost.Move();
        ++frames;
    }
    EXPECT_EQ(lost.state, ItemCollected);
    EXPECT_EQ(GameState.Coins, 0);
    for (int f = 0; f < 26; ++f) {
        ASSERT_TRUE(lost.active);
        lost.Act();
        lost.Move();
    }
    EXPECT_FALSE(lost.active);
    EXPECT_TRUE(Rec.sounds.empty());
}

using Drills = ActorTest;

TEST_F(Drills, DownwardThrowIsHeldAtTheFallCapUpwardKeepsAccelerating) {
    TheDrill.Spawn(0, 100, 0, DrillDown);
    EXPECT_EQ(TheDrill.width, 8);
    EXPECT_EQ(TheDrill.height, 16);
    for (int f = 0; f < 40; ++f) DrillFrame();
    ASSERT_TRUE(TheDrill.active);
    EXPECT_DOUBLE_EQ(TheDrill.vy, 2.5);
    double y = TheDrill.y;
    DrillFrame();
    EXPECT_DOUBLE_EQ(TheDrill.y - y, 2.5);

    TheDrill.Reset();
    TheDrill.Spawn(0, 100, 240, DrillUp);
    for (int f = 0; f < 30; ++f) DrillFrame();
    EXPECT_NEAR(TheDrill.vy, -3.0, 1e-9);
    EXPECT_NEAR(TheDrill.y, 240 - 46.5, 1e-9);
}

TEST_F(Drills, LeavingTheScreenEndsItSilently) {
    Player.scrollX = 500;
    TheDrill.Spawn(0, 500 + 200, 100, DrillRight);
    for (int f = 0; f < 100 && TheDrill.active; ++f) DrillFrame();
    EXPECT_FALSE(TheDrill.active);
    EXPECT_GT(TheDrill.vx, -1);  // Reset: at rest again
    EXPECT_TRUE(Rec.sounds.empty());
    EXPECT_FALSE(ExplosionPool[0].active);
}

TEST_F(Drills, TouchingTwoBlocksBreaksBothAndExplodesOnceCountingItsFirstFrame) {
    FieldGrid[10][5] = FieldBlock;
    FieldGrid[10][6] = FieldCoinBlock;
    TheDrill.Spawn(0, 120, 92, DrillRight);  // spans y 92..100: cells 5 and 6
    int frames = 0;
    while (TheDrill.state == DrillFlying && frames < 100) {
        ActAndMoveActors();
        ++frames;
    }
    ASSERT_EQ(TheDrill.state, DrillExploding);
    EXPECT_GE(TruncToInt(TheDrill.x) + 16, 160);  // its box touches the blocks' edge
    EXPECT_EQ(FieldGrid[10][5], FieldEmpty);
    EXPECT_EQ(FieldGrid[10][6], FieldEmpty);
    EXPECT_EQ(ActiveDebris(), 8);
    EXPECT_EQ(SoundCount(3), 8);
    EXPECT_TRUE(ItemPool[0].active);  // the coin block's coin

    // Drawn once with its last column, then it explodes in the next frame.
    Rec.sprites.clear();
    TheDrill.Draw();
    ASSERT_EQ(Rec.sprites.size(), 1u);
    EXPECT_EQ(Rec.sprites[0].srcX, 48);
    double x = TheDrill.x, y = TheDrill.y;
    ActAndMoveActors();
    EXPECT_FALSE(TheDrill.active);
    EXPECT_EQ(SoundCount(0), 1);
    const Explosion& blast = ExplosionPool[0];
    ASSERT_TRUE(blast.active);
    EXPECT_FALSE(ExplosionPool[1].active);
    EXPECT_EQ(blast.width, 24);
    EXPECT_DOUBLE_EQ(blast.x, TruncToInt(x));
    EXPECT_DOUBLE_EQ(blast.y, TruncToInt(y - 10));
    EXPECT_EQ(blast.animTimer, 1);  // its Act already ran in this frame
    // Ten frames of six game frames each, counted from that first one.
    for (int f = 1; f < 59; ++f) {
        ActExplosions();
        ASSERT_TRUE(blast.active) << f;
    }
    ActExplosions();
    EXPECT_FALSE(blast.active);
}

TEST_F(Drills, EnemiesAreKnockedOutSquashedOrUnharmedByKind) {
    struct Case {
        int kind, state, sound9;
        const char* what;
    } cases[] = {
        {0, EnemyKnockedOut, 1, "plain"},
        {5, EnemySquashed, 0, "revives"},
        {11, EnemyAlive, 0, "armoured"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetEnemies();
        TheDrill.Reset();
        Rec.sounds.clear();
        int i = SpawnEnemyAt(c.kind, 150, 100, 1);
        TheDrill.Spawn(0, 130, 104, DrillRight);
        int frames = 0;
        while (TheDrill.state == DrillFlying && frames < 60) {
            DrillFrame();
            ++frames;
        }
        EXPECT_EQ(TheDrill.state, DrillExploding);
        EXPECT_EQ(EnemyPool[i].state, c.state);
        EXPECT_EQ(SoundCount(9), c.sound9);
        if (c.state == EnemyKnockedOut) {
            EXPECT_DOUBLE_EQ(EnemyPool[i].vy, -4.0);
        }
    }
}

TEST_F(Drills, OnlyTheFirstEnemyHitCounts) {
    int a = SpawnEnemyAt(0, 150, 100, 1);
    int b = SpawnEnemyAt(0, 151, 100, 1);
    TheDrill.Spawn(0, 140, 104, DrillRight);
    TheDrill.Move();
    EXPECT_EQ(EnemyPool[a].state, EnemyKnockedOut);
    EXPECT_EQ(EnemyPool[b].state, EnemyAlive);
}
