#include "tests/actors/actor_fixture.h"

using ExtraBossTest = ActorTest;

TEST_F(ExtraBossTest, RunsFasterTheFewerWoundsAreLeft) {
    TheExtraBoss.Spawn(ExtraBossCode, 40, 15);
    struct Case {
        int hp;
        double vx;
    } cases[] = {{10, 1.2}, {4, 1.2}, {3, 1.4}, {2, 1.6}, {1, 1.8}};
    for (const Case& c : cases) {
        TheExtraBoss.hp = c.hp;
        TheExtraBoss.Act();
        EXPECT_DOUBLE_EQ(TheExtraBoss.vx, c.vx) << c.hp;
        EXPECT_EQ(TheExtraBoss.dir, 1);
    }
    // Other codes do not spawn it.
    TheExtraBoss.Reset();
    TheExtraBoss.Spawn(LastBossCode, 40, 15);
    EXPECT_FALSE(TheExtraBoss.active);
}

TEST_F(ExtraBossTest, OnlyTheWeakSpotIsWoundedAndAWoundStopsItBriefly) {
    Ground(0, 100, 15);
    Player.scrollX = 300;
    TheExtraBoss.Spawn(ExtraBossCode, 40, 15);  // x 384, y 176
    for (int f = 0; f < 2; ++f) {  // lands on the second frame
        TheExtraBoss.Act();
        TheExtraBoss.Move();
    }
    ASSERT_EQ(TheExtraBoss.dir, 1);
    EXPECT_DOUBLE_EQ(TheExtraBoss.y, 240.0 - 64);  // stands on the ground
    int bx = TruncToInt(TheExtraBoss.x), by = TruncToInt(TheExtraBoss.y);

    // Low on its back: explodes without damage.
    TheDrill.Spawn(0, bx + 4, by + 40, DrillRight);
    TheDrill.Move();
    EXPECT_EQ(TheDrill.state, DrillExploding);
    EXPECT_EQ(TheExtraBoss.hp, 10);
    EXPECT_EQ(TheExtraBoss.phase, ExtraBossRunning);

    // The top corner on the side it runs to.
    TheDrill.Reset();
    TheDrill.Spawn(0, bx + 50, by + 2, DrillLeft);
    TheDrill.Move();
    EXPECT_EQ(TheDrill.state, DrillExploding);
    EXPECT_EQ(TheExtraBoss.hp, 9);
    EXPECT_EQ(TheExtraBoss.phase, ExtraBossHurt);
    for (int f = 0; f < 21; ++f) {
        TheExtraBoss.Act();
        EXPECT_DOUBLE_EQ(TheExtraBoss.vx, 0.0);
        TheExtraBoss.Move();
    }
    EXPECT_EQ(TheExtraBoss.phase, ExtraBossRunning);
    TheExtraBoss.Act();
    EXPECT_DOUBLE_EQ(TheExtraBoss.vx, 1.2);
}

TEST_F(ExtraBossTest, TheLastWoundDropsItAndTheStageIsWonBelowTheScreen) {
    Ground(0, 100, 15);
    Player.scrollX = 300;
    TheExtraBoss.Spawn(ExtraBossCode, 40, 15);
    TheExtraBoss.Act();
    TheExtraBoss.Move();
    TheExtraBoss.hp = 1;
    Rect w = ExtraBossWeakSpot(TheExtraBoss);
    TheDrill.Spawn(0, w.left + 8, w.top + 2, DrillLeft);
    TheDrill.Move();
    EXPECT_EQ(TheExtraBoss.state, ExtraBossDefeated);
    int frames = 0;
    while (!GameState.StageCleared && frames < 200) {
        TheExtraBoss.Act();
        TheExtraBoss.Move();
        ++frames;
    }
    EXPECT_TRUE(GameState.StageCleared);
    EXPECT_GT(TheExtraBoss.y, 256.0);
    EXPECT_EQ(TheExtraBoss.state, ExtraBossLeaving);
    TheExtraBoss.Act();
    TheExtraBoss.Move();
    EXPECT_FALSE(TheExtraBoss.active);
}

TEST_F(ExtraBossTest, HeldAtTheWorldsEndAndByTheWorldsBottom) {
    TheExtraBoss.Spawn(ExtraBossCode, 319, 10);
    TheExtraBoss.x = 5120 - 64 - 0.5;
    for (int f = 0; f < 200; ++f) {
        TheExtraBoss.Act();
        TheExtraBoss.Move();
    }
    EXPECT_DOUBLE_EQ(TheExtraBoss.x, 5120.0 - 64);
    EXPECT_DOUBLE_EQ(TheExtraBoss.y, 256.0 - 64);  // no ground: the bottom holds it
    EXPECT_TRUE(TheExtraBoss.active);
}

using LastBossTest = ActorTest;

namespace {
void HitLastBossWithDrill() {
    TheDrill.Reset();
    TheDrill.Spawn(0, TruncToInt(TheLastBoss.x) + 8, TruncToInt(TheLastBoss.y) + 8, DrillRight);
    TheDrill.Move();
}
}  // namespace

TEST_F(LastBossTest, DrillDamagesItOnlyInPhasesOneAndTwo) {
    struct Case {
        int phase;
        bool hurt;
    } cases[] = {{0, false}, {1, true}, {2, true}, {10, false}, {11, false}, {12, false}, {14, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        TheLastBoss.Reset();
        TheLastBoss.Spawn(LastBossCode, 10, 8);
        TheLastBoss.phase = c.phase;
        HitLastBossWithDrill();
        EXPECT_EQ(TheLastBoss.hp, c.hurt ? 9 : 10);
        EXPECT_EQ(TheDrill.state, c.hurt ? DrillExploding : DrillFlying);
    }
}

TEST_F(LastBossTest, TenthHitSoundsTheBeatenCryInTheSameFrame) {
    TheLastBoss.Spawn(LastBossCode, 10, 8);
    TheLastBoss.phase = 1;
    TheLastBoss.hp = 1;
    TheLastBoss.timer = 5;
    TheDrill.Spawn(0, TruncToInt(TheLastBoss.x) + 8, TruncToInt(TheLastBoss.y) + 8, DrillRight);
    ActAndMoveActors();
    EXPECT_EQ(TheLastBoss.hp, 0);
    EXPECT_EQ(SoundCount(13), 1);
    EXPECT_EQ(TheLastBoss.phase, 11);
    EXPECT_DOUBLE_EQ(TheLastBoss.vx, 0.0);
    // 100 frames beaten in all, then the third form at the top of the screen.
    for (int f = 1; f < 100; ++f) ActAndMoveActors();
    EXPECT_EQ(TheLastBoss.phase, 12);
    EXPECT_EQ(TheLastBoss.width, 80);
    EXPECT_EQ(TheLastBoss.height, 64);
    EXPECT_EQ(TheLastBoss.image, 29);
    EXPECT_DOUBLE_EQ(TheLastBoss.y, 0.0);
}

TEST_F(LastBossTest, IntroThenFlyingWithTheFirstVolleyAtTheNextMultipleOfSeventy) {
    TheLastBoss.Spawn(LastBossCode, 10, 8);
    for (int f = 0; f < 229; ++f) TheLastBoss.Act();
    EXPECT_EQ(TheLastBoss.phase, 0);
    TheLastBoss.Act();
    EXPECT_EQ(TheLastBoss.phase, 1);
    EXPECT_EQ(Rec.music, std::vector<int>{5});
    EXPECT_EQ(TheLastBoss.width, 64);
    EXPECT_DOUBLE_EQ(TheLastBoss.x, 160.0 - 16);
    EXPECT_DOUBLE_EQ(TheLastBoss.y, 128.0 - 32 - 64);

    TheLastBoss.timer = 299;
    TheLastBoss.Act();
    EXPECT_EQ(TheLastBoss.phase, 2);
    for (int t = 301; t < 350; ++t) TheLastBoss.Act();
    EXPECT_EQ(ActiveEnemies(), 0);
    SetGameRandState(1);
    TheLastBoss.Act();  // timer 350
    EXPECT_EQ(TheLastBoss.phase, 1);
    EXPECT_EQ(SoundCount(7), 1);
    ASSERT_EQ(ActiveEnemies(), 5);
    const int headings[] = {41 % 180, 18467 % 180, 6334 % 180, 26500 % 180, 19169 % 180};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(EnemyPool[i].kind, 30);
        EXPECT_EQ(EnemyPool[i].param, headings[i]);
    }
}

TEST_F(LastBossTest, TouchKillsInEveryPhaseAndTheThirdFormStopsFiringAtTimeUp) {
    for (int phase : {0, 1, 12, 14}) {
        TheLastBoss.Reset();
        TheLastBoss.Spawn(LastBossCode, 10, 8);
        TheLastBoss.phase = phase;
        Player.x = TheLastBoss.x + 4;
        Player.y = TheLastBoss.y + 4;
        Player.state = PlayerAlive;
        TheLastBoss.Move();
        EXPECT_EQ(Player.state, PlayerDying) << phase;
        EXPECT_DOUBLE_EQ(Player.vy, -2.5);
    }
    ParkPlayer();
    TheLastBoss.Reset();
    TheLastBoss.Spawn(LastBossCode, 10, 8);
    TheLastBoss.phase = 12;
    TheLastBoss.timer = 99;
    GameState.StageTimer = 0;
    TheLastBoss.Act();
    EXPECT_EQ(ActiveEnemies(), 0);
    GameState.StageTimer = 1;
    TheLastBoss.timer = 199;
    TheLastBoss.Act();
    EXPECT_EQ(ActiveEnemies(), 8);
}

using ChaserTest = ActorTest;

TEST_F(ChaserTest, HuntsAtPointEightPerAxisAndCatchesThePlayer) {
    Player.x = 320;
    Player.y = 112;
    TheDeathChaser.Spawn(0, 0, 7);
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    EXPECT_DOUBLE_EQ(TheDeathChaser.x, 0.8);
    EXPECT_DOUBLE_EQ(TheDeathChaser.y, 112.0);  // level: sideways only
    Player.y = 300;
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    EXPECT_DOUBLE_EQ(TheDeathChaser.vy, 0.8);
    EXPECT_DOUBLE_EQ(TheDeathChaser.x, 1.6);

    // Snaps to the target's x but keeps its speed for that frame's Move.
    Player.x = TheDeathChaser.x + 0.5;
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    EXPECT_DOUBLE_EQ(TheDeathChaser.x, Player.x + 0.8);

    Player.x = TheDeathChaser.x + 10;
    Player.y = TheDeathChaser.y + 10;
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    EXPECT_EQ(Player.state, PlayerDying);
    EXPECT_DOUBLE_EQ(Player.vy, -5.5);
    EXPECT_EQ(TheDeathChaser.state, ChaserHolding);
    EXPECT_EQ(SoundCount(4), 1);
    double x = TheDeathChaser.x;
    for (int f = 0; f < 50; ++f) {
        TheDeathChaser.Act();
        TheDeathChaser.Move();
    }
    EXPECT_EQ(TheDeathChaser.state, ChaserHolding);
    EXPECT_DOUBLE_EQ(TheDeathChaser.x, x);
    TheDeathChaser.Act();
    EXPECT_EQ(TheDeathChaser.state, ChaserHunting);
}

TEST_F(ChaserTest, HuntsTheThirdFormInsteadOfThePlayer) {
    TheLastBoss.Spawn(LastBossCode, 20, 8);
    TheLastBoss.phase = 12;
    TheLastBoss.y = 0;
    TheLastBoss.width = 80;
    TheLastBoss.height = 64;
    TheDeathChaser.Spawn(0, 10, 7);
    Player.x = TheDeathChaser.x;  // touching, yet ignored
    Player.y = TheDeathChaser.y;
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    EXPECT_EQ(Player.state, PlayerAlive);
    EXPECT_DOUBLE_EQ(TheDeathChaser.vx, 0.8);
    EXPECT_DOUBLE_EQ(TheDeathChaser.vy, -0.8);
    for (int f = 0; f < 200 && TheLastBoss.phase == 12; ++f) {
        TheDeathChaser.Act();
        TheDeathChaser.Move();
    }
    EXPECT_EQ(TheLastBoss.phase, 13);
    EXPECT_EQ(TheDeathChaser.state, ChaserHolding);
    // The boss leaves the floating enemy behind and fades in 120 frames.
    TheLastBoss.Act();
    EXPECT_EQ(TheLastBoss.phase, 14);
    ASSERT_EQ(ActiveEnemies(), 1);
    EXPECT_EQ(EnemyPool[0].kind, 99);
    for (int f = 1; f < 120; ++f) TheLastBoss.Act();
    EXPECT_FALSE(TheLastBoss.active);
}

TEST_F(ChaserTest, DrillOnTheFloatingEnemyDrivesItOffAndItsRiseWinsTheStage) {
    TheDeathChaser.Spawn(0, 10, 7);
    TheDeathChaser.state = ChaserHolding;  // still holding the boss
    TheDeathChaser.moving = false;
    TheDeathChaser.timer = 10;
    int i = SpawnEnemyAt(99, 200, 100, 0);
    TheDrill.Spawn(0, 190, 104, DrillRight);
    TheDrill.Move();
    EXPECT_EQ(TheDeathChaser.state, ChaserDrivenOff);
    EXPECT_EQ(EnemyPool[i].state, EnemyKnockedOut);
    EXPECT_EQ(SoundCount(16), 4);
    EXPECT_EQ(ActiveDebris(), 4);
    EXPECT_DOUBLE_EQ(DebrisPool[0].x, 200.0);

    double y = TheDeathChaser.y;
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    EXPECT_NEAR(y - TheDeathChaser.y, 1.15, 1e-12);
    int frames = 1;
    while (TheDeathChaser.active && frames < 400) {
        TheDeathChaser.Act();
        TheDeathChaser.Move();
        ++frames;
    }
    EXPECT_FALSE(TheDeathChaser.active);
    EXPECT_TRUE(GameState.StageCleared);
    EXPECT_LE(TheDeathChaser.y, -50.0);
}
