#include <cmath>

#include "tests/actors/actor_fixture.h"

using Enemies = ActorTest;

TEST_F(Enemies, KindTableSetsLookFlagsAndHeading) {
    struct Case {
        int kind, look, frameBase;
        bool falls, ledges, stompable, drillable, fragile, bounces, ghost, revives, pingPong;
    } cases[] = {
        {0, 0, 0, true, false, true, true, false, false, false, false, true},
        {5, 5, 0, true, true, true, true, false, false, false, true, true},
        {8, 6, 5, false, false, true, true, false, true, false, false, false},
        {11, 11, 0, false, false, false, false, false, true, false, false, true},
        {13, 12, 0, false, false, true, true, true, false, false, false, false},
        {19, 8, 5, true, true, true, true, false, false, false, true, false},
        {20, 5, 5, true, false, false, false, true, false, false, false, false},
        {30, 9, 5, false, false, false, false, false, false, true, false, false},
        {99, 14, 5, false, false, false, true, false, false, true, false, false},
        {42, 42, 0, true, false, true, true, false, false, false, false, false},  // any other code
    };
    for (const Case& c : cases) {
        ResetEnemies();
        ASSERT_EQ(SpawnEnemyAt(c.kind, 0, 0, 0), 0);
        const Enemy& e = EnemyPool[0];
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(e.look, c.look);
        EXPECT_EQ(e.frameBase, c.frameBase);
        EXPECT_EQ(e.falls, c.falls);
        EXPECT_EQ(e.turnsAtLedges, c.ledges);
        EXPECT_EQ(e.stompable, c.stompable);
        EXPECT_EQ(e.drillable, c.drillable);
        EXPECT_EQ(e.fragile, c.fragile);
        EXPECT_EQ(e.bounces, c.bounces);
        EXPECT_EQ(e.ghost, c.ghost);
        EXPECT_EQ(e.revives, c.revives);
        EXPECT_EQ(e.pingPong, c.pingPong);
    }
    // Kind 30 draws its heading: the first value from state 1 is 41.
    ResetEnemies();
    SetGameRandState(1);
    SpawnEnemyAt(30, 0, 0, 0);
    EXPECT_EQ(EnemyPool[0].param, 41);
}

TEST_F(Enemies, WalkerTurnsAtTheLedgeAndNeverWalksOff) {
    Ground(0, 5, 10);  // ground x 0..95 at y 160
    Enemy& e = EnemyPool[0];
    e.Spawn(1, 3, 9);
    e.dir = 0;
    bool turnedRight = false, turnedLeft = false;
    for (int f = 0; f < 400; ++f) {
        int before = e.dir;
        EnemyFrame();
        ASSERT_TRUE(e.active);
        ASSERT_LE(e.y, 146.0) << "fell at frame " << f;
        if (before == 0 && e.dir == 1) {
            turnedRight = true;
            EXPECT_GE(TruncToInt(e.x + 13), 96);  // right foot over the gap
            EXPECT_LE(TruncToInt(e.x + 2), 95);
        }
        if (before == 1 && e.dir == 0) turnedLeft = true;  // the world's left edge is a gap too
    }
    EXPECT_TRUE(turnedRight);
    EXPECT_TRUE(turnedLeft);
}

TEST_F(Enemies, BothFeetOnGroundNeverTurnAndAWallTurnsIt) {
    Ground(0, 40, 10);
    FieldGrid[20][9] = FieldGround;  // a wall at x 320..335
    Enemy& e = EnemyPool[0];
    e.Spawn(1, 10, 9);
    e.dir = 0;
    for (int f = 0; f < 300 && e.dir == 0; ++f) EnemyFrame();
    EXPECT_EQ(e.dir, 1);
    EXPECT_DOUBLE_EQ(e.x, 320.0 - 16);
    EXPECT_NEAR(e.y, 144.0, 0.5);
}

TEST_F(Enemies, StompTakesPrecedenceOverContact) {
    Ground(0, 20, 10);
    Enemy& e = EnemyPool[0];
    e.Spawn(0, 6, 9);  // (96, 144)
    Player.x = 96;
    Player.y = 136;  // feet box and body box both overlap the enemy
    // Pick a generator state whose next value leaves a coin (r = 0).
    uint32_t s = 1;
    for (;;) {
        SetGameRandState(s);
        if (GameRand() % 3 == 0) break;
        s = GameRandState();
    }
    SetGameRandState(s);
    e.Move();
    EXPECT_EQ(e.state, EnemySquashed);
    EXPECT_EQ(Player.state, PlayerAlive);
    EXPECT_DOUBLE_EQ(Player.vy, -4.0);
    EXPECT_EQ(SoundCount(8), 1);
    EXPECT_EQ(SoundCount(14), 0);
    EXPECT_TRUE(ItemPool[0].active);
    EXPECT_DOUBLE_EQ(ItemPool[0].x, 96.0);

    // Squashed: harmless, and gone on its 16th frame.
    Player.vy = 0;
    for (int f = 0; f < 15; ++f) {
        EnemyFrame();
        ASSERT_TRUE(e.active);
    }
    EXPECT_EQ(Player.state, PlayerAlive);
    EnemyFrame();
    EXPECT_FALSE(e.active);
}

TEST_F(Enemies, SideContactKillsThePlayerAndARevivingOneComesBack) {
    Ground(0, 20, 10);
    Enemy& e = EnemyPool[0];
    e.Spawn(0, 6, 9);
    Player.x = 104;
    Player.y = 144;
    e.Move();
    EXPECT_EQ(Player.state, PlayerDying);
    EXPECT_DOUBLE_EQ(Player.vy, -2.5);
    EXPECT_EQ(SoundCount(14), 1);

    ParkPlayer();
    ResetEnemies();
    EnemyPool[0].Spawn(5, 6, 9);
    EnemyPool[0].Kill();
    for (int f = 0; f < 300; ++f) EnemyFrame();
    EXPECT_EQ(EnemyPool[0].state, EnemySquashed);
    EnemyFrame();
    EXPECT_EQ(EnemyPool[0].state, EnemyAlive);
}

TEST_F(Enemies, KindFourWalksJumpsThenStandsForOneHundredOneFrames) {
    Ground(0, 60, 10);
    Enemy& e = EnemyPool[0];
    e.Spawn(4, 30, 9);
    for (int f = 0; f < 200; ++f) EnemyFrame();
    EXPECT_EQ(e.phase, 0);
    double vyBefore = e.vy;
    EnemyFrame();  // 201st frame: the jump
    EXPECT_EQ(e.phase, 1);
    EXPECT_DOUBLE_EQ(e.vx, 0.0);
    EXPECT_DOUBLE_EQ(e.vy, vyBefore - 5.5);
    double vyJump = e.vy;
    EnemyFrame();
    EXPECT_DOUBLE_EQ(e.vy, vyJump + 0.35);  // gravity back to normal
    for (int f = 0; f < 100; ++f) {
        EXPECT_DOUBLE_EQ(e.vx, 0.0);
        EnemyFrame();
    }
    EXPECT_EQ(e.phase, 0);
    EXPECT_DOUBLE_EQ(e.vx, 0.0);
    EXPECT_NEAR(e.y, 144.0, 0.5);  // landed again
    EnemyFrame();
    EXPECT_DOUBLE_EQ(e.vx, -0.8);
}

TEST_F(Enemies, KindTenKeepsGravitySoItSinksFasterThanItRises) {
    Enemy& e = EnemyPool[0];
    e.Spawn(10, 10, 5);
    EXPECT_EQ(e.vdir, 1);
    EnemyFrame();
    EXPECT_NEAR(e.vy, -0.15, 1e-12);
    EXPECT_NEAR(e.y, 80.0 - 0.15, 1e-12);
    e.vdir = 0;
    EnemyFrame();
    EXPECT_NEAR(e.vy, 0.85, 1e-12);
    // Bouncing off the top of the world flips vdir.
    e.y = 0.05;
    e.vdir = 1;
    EnemyFrame();
    EXPECT_EQ(e.vdir, 0);
    EXPECT_DOUBLE_EQ(e.y, 0.0);
}

TEST_F(Enemies, KindThirtyWithHeadingZeroAcceleratesRightWithoutLimit) {
    FieldGrid[320 - 1][6] = FieldGround;  // a wall it passes through
    Enemy& e = EnemyPool[0];
    e.Spawn(30, 300, 6);
    e.param = 0;
    EnemyFrame();
    // The increment is 0.02 rounded to single precision, not 0.02 itself.
    EXPECT_EQ(e.vx, static_cast<double>(0.02f));
    EXPECT_NE(e.vx, 0.02);
    EXPECT_EQ(e.vy, 0.0);
    for (int f = 1; f < 1000; ++f) EnemyFrame();
    EXPECT_TRUE(e.active);
    EXPECT_EQ(e.vy, 0.0);
    EXPECT_DOUBLE_EQ(e.y, 96.0);
    EXPECT_GT(e.x, 5120.0 + 5000);
    EXPECT_NEAR(e.vx, 1000 * 0.02, 1e-5);

    // Heading 90 drifts straight down and leaves the world below.
    ResetEnemies();
    EnemyPool[0].Spawn(30, 10, 15);
    EnemyPool[0].param = 90;
    EnemyFrame();
    EXPECT_EQ(EnemyPool[0].vy, static_cast<double>(static_cast<float>(std::sin(90 / 180.0 * 3.14159265358979323846) * 0.02)));
    EXPECT_NEAR(EnemyPool[0].vx, 0.0, 1e-17);
    for (int f = 0; f < 400 && EnemyPool[0].active; ++f) EnemyFrame();
    EXPECT_FALSE(EnemyPool[0].active);
}

TEST_F(Enemies, FragileShotIsKnockedOutByAWallAndBlinksWhileFalling) {
    FieldGrid[12][5] = FieldGround;
    Enemy& e = EnemyPool[0];
    e.Spawn(13, 10, 5);
    e.dir = 0;
    for (int f = 0; f < 40 && e.state == EnemyAlive; ++f) EnemyFrame();
    EXPECT_EQ(e.state, EnemyKnockedOut);
    EXPECT_DOUBLE_EQ(e.vy, -4.0);
    // Knocked out: drawn only on odd timer frames, column frameBase + 4.
    Rec.sprites.clear();
    e.timer = 3;
    e.Draw();
    e.timer = 4;
    e.Draw();
    ASSERT_EQ(Rec.sprites.size(), 1u);
    EXPECT_EQ(Rec.sprites[0].srcX, 16 * 4);
    EXPECT_EQ(Rec.sprites[0].srcY, 16 * (e.dir + 2 * 12));
    for (int f = 0; f < 200 && e.active; ++f) EnemyFrame();
    EXPECT_FALSE(e.active);
}

TEST_F(Enemies, KindFourteenLeapsWhenThePlayerIsNearAndReturnsHome) {
    Enemy& e = EnemyPool[0];
    e.Spawn(14, 10, 12);  // (160, 192)
    e.dir = 0;
    Player.x = 200;
    Player.y = 192;  // 40 px away: 1600 < 4096
    EnemyFrame();
    EXPECT_EQ(e.phase, 1);
    EXPECT_EQ(e.param, 192);
    EXPECT_TRUE(e.ghost);
    EXPECT_EQ(SoundCount(10), 1);
    ParkPlayer();
    double top = e.y;
    for (int f = 0; f < 400 && e.phase != 0; ++f) {
        EnemyFrame();
        top = std::min(top, e.y);
    }
    EXPECT_EQ(e.phase, 0);
    // Snapped home in Act, then that frame's Move still adds the 1.9 fall.
    EXPECT_NEAR(e.y, 192.0 + 1.9, 1e-9);
    EXPECT_FALSE(e.ghost);
    EXPECT_LT(top, 192.0 - 50);
    EXPECT_EQ(SoundCount(10), 2);
}
