#include "tests/actors/actor_fixture.h"

TEST(GameRandom, ClassicSequenceFromStateOne) {
    // Worked by hand from state 1: state * 214013 + 2531011, bits 16..30.
    SetGameRandState(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724};
    for (int v : expected) EXPECT_EQ(GameRand(), v);
    // The state wraps modulo 2^32 and results stay within 0..32767.
    SetGameRandState(0xFFFFFFFFu);
    uint32_t s = 0xFFFFFFFFu * 214013u + 2531011u;
    EXPECT_EQ(GameRand(), static_cast<int>((s >> 16) & 0x7FFF));
    EXPECT_EQ(GameRandState(), s);
}

TEST(RectHelpers, EdgesTouchingOverlapAndEmptyRectsSitAtTheOrigin) {
    Rect a = MakeRect(0, 0, 15, 15);
    EXPECT_EQ(a.right, 15);
    EXPECT_TRUE(RectsOverlap(a, MakeRect(15, 15, 3, 3)));  // one shared corner pixel
    EXPECT_FALSE(RectsOverlap(a, MakeRect(16, 0, 3, 3)));
    Rect z = MakeRect(40, 40, 0, 5);
    EXPECT_EQ(z.left, 0);
    EXPECT_EQ(z.bottom, 0);
    EXPECT_TRUE(RectsOverlap(z, MakeRect(-2, -2, 4, 4)));
    EXPECT_FALSE(RectsOverlap(z, MakeRect(1, 1, 4, 4)));
    EXPECT_TRUE(PointInRect(15, 0, a));
    EXPECT_FALSE(PointInRect(16, 0, a));
    EXPECT_TRUE(InRange(-16, -16, 256));
    EXPECT_FALSE(InRange(257, -16, 256));
    // A box far past the int range saturates instead of wrapping.
    Rect far = MakeRect(TruncToInt(1e12), 0, 16, 16);
    EXPECT_GE(far.right, far.left);
}

TEST(MoveStepCap, DownwardSpeedIsCutBeforeThePositionChangesUpwardIsNot) {
    Actor a;
    a.vy = 2.4;
    a.gravity = 0.35;
    a.y = 10;
    a.MoveStep();
    EXPECT_DOUBLE_EQ(a.vy, 2.5);
    EXPECT_DOUBLE_EQ(a.y, 12.5);
    a.vy = -9.0;
    a.gravity = 0;
    a.MoveStep();
    EXPECT_DOUBLE_EQ(a.vy, -9.0);
}

using Pools = ActorTest;

TEST_F(Pools, FullEnemyPoolDropsSpawnsAndTheGridCellIsRetriedLater) {
    for (int i = 0; i < EnemyPoolSize; ++i) ASSERT_EQ(SpawnEnemyAt(22, 3000, 16, 1), i);
    EXPECT_EQ(SpawnEnemyAt(22, 100, 100, 0), -1);

    StageGrid[5][3] = 0;  // code 0 is kind 0, not an empty cell
    StageGrid[5][4] = 7;
    SpawnRow(5);
    EXPECT_EQ(StageGrid[5][3], 0);
    EXPECT_EQ(StageGrid[5][4], 7);

    EnemyPool[7].Reset();
    SpawnRow(5);
    EXPECT_EQ(StageGrid[5][3], -1);
    EXPECT_EQ(StageGrid[5][4], 7);  // no second free slot yet
    EXPECT_TRUE(EnemyPool[7].active);
    EXPECT_EQ(EnemyPool[7].kind, 0);
    EXPECT_DOUBLE_EQ(EnemyPool[7].x, 80.0);
    EXPECT_DOUBLE_EQ(EnemyPool[7].y, 48.0);
    EXPECT_EQ(EnemyPool[7].dir, 1);

    SpawnRow(320);  // beyond the grid: nothing
    SpawnRow(-1);
}

TEST_F(Pools, BossStopsTheRowAndTheCellsAfterItWaitForTheNextCall) {
    StageGrid[40][2] = 1;
    StageGrid[40][5] = LastBossCode;
    StageGrid[40][9] = 3;
    SpawnRow(40);
    EXPECT_EQ(ActiveEnemies(), 1);
    EXPECT_EQ(EnemyPool[0].kind, 1);
    EXPECT_TRUE(TheLastBoss.active);
    EXPECT_DOUBLE_EQ(TheLastBoss.x, 640.0);
    EXPECT_DOUBLE_EQ(TheLastBoss.y, 80.0 - 32);
    EXPECT_EQ(StageGrid[40][5], -1);
    EXPECT_EQ(StageGrid[40][9], 3);
    SpawnRow(40);
    EXPECT_EQ(ActiveEnemies(), 2);
    EXPECT_EQ(EnemyPool[1].kind, 3);

    StageGrid[60][12] = ExtraBossCode;
    SpawnRow(60);
    EXPECT_TRUE(TheExtraBoss.active);
    EXPECT_DOUBLE_EQ(TheExtraBoss.x, 960.0 - 256);
    EXPECT_DOUBLE_EQ(TheExtraBoss.y, 192.0 - 64);
    EXPECT_EQ(Rec.music, std::vector<int>{5});
}

TEST_F(Pools, ShotIntoAHigherSlotActsInTheSameLoopIntoALowerSlotNextFrame) {
    // A kind 3 about to fire: phase 1 with 60 frames counted.
    auto makeShooter = [](int slot) {
        Enemy& s = EnemyPool[slot];
        s.Spawn(3, 10, 5);
        s.dir = 0;
        s.phase = 1;
        s.timer = 60;
    };
    makeShooter(0);
    ActEnemies();
    ASSERT_TRUE(EnemyPool[1].active);
    EXPECT_EQ(EnemyPool[1].kind, 13);
    EXPECT_DOUBLE_EQ(EnemyPool[1].x, 176.0);
    EXPECT_DOUBLE_EQ(EnemyPool[1].vx, 1.0);  // acted already
    EXPECT_EQ(EnemyPool[1].animTimer, 1);

    ResetEnemies();
    EnemyPool[0].active = true;  // hold slot 0 while the shooter takes slot 1
    makeShooter(1);
    EnemyPool[0].Reset();
    EnemyPool[0].animTimer = 0;
    ActEnemies();
    ASSERT_TRUE(EnemyPool[0].active);
    EXPECT_EQ(EnemyPool[0].kind, 13);
    EXPECT_DOUBLE_EQ(EnemyPool[0].vx, 0.0);  // waits for the next frame
    EXPECT_EQ(EnemyPool[0].animTimer, 0);
}

TEST_F(Pools, OtherFullPoolsDropRequestsSilently) {
    for (int i = 0; i < ItemPoolSize; ++i) ASSERT_EQ(SpawnItem(0, 3000, 0), i);
    EXPECT_EQ(SpawnItem(1, 0, 0), -1);
    for (int i = 0; i < ExplosionPoolSize; ++i) ASSERT_EQ(SpawnExplosion(0, 0, 0), i);
    EXPECT_EQ(SpawnExplosion(1, 0, 0), -1);
    for (int i = 0; i < DebrisPoolSize / 4; ++i) ASSERT_EQ(SpawnDebris(0, 5, 5), 4);
    Rec.sounds.clear();
    EXPECT_EQ(SpawnDebris(0, 5, 5), 0);
    EXPECT_TRUE(Rec.sounds.empty());
}

TEST_F(Pools, ResetAllLeavesEveryClassInactive) {
    SpawnEnemyAt(1, 0, 0, 0);
    SpawnItem(0, 0, 0);
    SpawnExplosion(0, 0, 0);
    SpawnDebris(1, 0, 0);
    TheDrill.Spawn(0, 0, 0, 2);
    TheDoor.Spawn(0, 3, 3);
    TheDeathChaser.Spawn(0, 1, 7);
    TheLastBoss.Spawn(49, 1, 1);
    TheExtraBoss.Spawn(48, 30, 1);
    ResetAllActors();
    EXPECT_EQ(ActiveEnemies(), 0);
    EXPECT_EQ(ActiveDebris(), 0);
    EXPECT_FALSE(ItemPool[0].active || ExplosionPool[0].active || TheDrill.active || TheDoor.active ||
                 TheDeathChaser.active || TheLastBoss.active || TheExtraBoss.active);
    EXPECT_EQ(EnemyPool[0].state, 0);
    EXPECT_EQ(TheExtraBoss.state, 0);
}

TEST_F(Pools, FrameOrderEntryPointsSpawnTheRowBeyondTheScreen) {
    Player.scrollX = 100;
    StageGrid[(100 + 256) / 16 + 1][4] = 2;
    SpawnNextRow();
    EXPECT_EQ(ActiveEnemies(), 1);
    EXPECT_DOUBLE_EQ(EnemyPool[0].x, 16.0 * 23);
    StageGrid[16][0] = 5;
    StageGrid[17][0] = 5;
    SpawnStartRows();
    EXPECT_EQ(ActiveEnemies(), 2);
    EXPECT_EQ(StageGrid[17][0], 5);
}

TEST_F(Pools, ExplosionKindIsTakenModuloTwoAndPicksSizeAndPicture) {
    struct Case {
        int requested, kind, size, slot;
    } cases[] = {{0, 0, 24, SmallExplosionSlot}, {1, 1, 64, LargeExplosionSlot}, {2, 0, 24, SmallExplosionSlot},
                 {-1, -1, 64, LargeExplosionSlot}};
    for (const Case& c : cases) {
        ResetExplosions();
        Rec.sprites.clear();
        Explosion& x = ExplosionPool[SpawnExplosion(c.requested, 40, 50)];
        EXPECT_EQ(x.kind, c.kind);
        EXPECT_EQ(x.width, c.size);
        EXPECT_EQ(x.height, c.size);
        x.Draw();
        ASSERT_EQ(Rec.sprites.size(), 1u);
        EXPECT_EQ(Rec.sprites[0].slot, c.slot);
        EXPECT_EQ(Rec.sprites[0].w, c.size);
    }
}
