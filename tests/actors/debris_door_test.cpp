#include "tests/actors/actor_fixture.h"

using DebrisTest = ActorTest;

TEST_F(DebrisTest, WithNinetyEightInFlightABreakLaunchesTwoWithTwoSounds) {
    for (int i = 0; i < 98; ++i) {
        DebrisPool[i].active = true;
        DebrisPool[i].x = 3000;
    }
    FieldGrid[20][9] = FieldBlock;
    BreakBlock(20, 9);
    EXPECT_EQ(ActiveDebris(), 100);
    EXPECT_EQ(SoundCount(3), 2);
    EXPECT_DOUBLE_EQ(DebrisPool[98].vx, -0.7);
    EXPECT_DOUBLE_EQ(DebrisPool[98].vy, -5.9);
    EXPECT_DOUBLE_EQ(DebrisPool[99].vx, 1.5);
    EXPECT_DOUBLE_EQ(DebrisPool[99].vy, -4.9);
    // Kinds from the generator: 41 and 18467 are both odd, so large pieces,
    // centred in the cell and resting on its floor.
    EXPECT_EQ(DebrisPool[98].kind, 1);
    EXPECT_EQ(DebrisPool[98].width, 8);
    EXPECT_DOUBLE_EQ(DebrisPool[98].x, 320.0 + 4);
    EXPECT_DOUBLE_EQ(DebrisPool[98].y, 144.0 + 8);
}

TEST_F(DebrisTest, SmallPiecesAndTheGroundStyleRow) {
    SetGameRandState(2);  // first value even
    SetGameRandState(GameRandState());
    uint32_t s = 1;
    for (;;) {  // a state whose next value is even
        SetGameRandState(s);
        if (GameRand() % 2 == 0) break;
        s = GameRandState();
    }
    SetGameRandState(s);
    GameState.GroundRow = 3;
    ASSERT_EQ(SpawnDebris(0, 10, 5), 4);
    const Debris& d = DebrisPool[0];
    EXPECT_EQ(d.kind, 0);
    EXPECT_EQ(d.width, 6);
    EXPECT_DOUBLE_EQ(d.x, 160.0 + 5);
    EXPECT_DOUBLE_EQ(d.y, 80.0 + 10);
    Rec.sprites.clear();
    DrawDebris();
    ASSERT_EQ(Rec.sprites.size(), 4u);
    EXPECT_EQ(Rec.sprites[0].slot, GroundSlot);
    EXPECT_EQ(Rec.sprites[0].srcY, 48);
    EXPECT_EQ(Rec.sprites[0].srcX, 16 * (17 + d.kind));
}

TEST_F(DebrisTest, BouncesSlidesAndVanishesAfterOneHundredOneFrames) {
    Ground(0, 40, 12);
    SpawnDebris(0, 20, 11);
    for (int f = 0; f < 100; ++f) {
        ActDebris();
        MoveDebris();
        for (int i = 0; i < 4; ++i) ASSERT_LE(DebrisPool[i].y + DebrisPool[i].height, 192 + 2.5) << f;
    }
    EXPECT_EQ(ActiveDebris(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_LT(std::abs(DebrisPool[i].vx), 0.5);
    ActDebris();
    EXPECT_EQ(ActiveDebris(), 0);
}

using DoorTest = ActorTest;

TEST_F(DoorTest, OpensOnlyWithAKeyAndTakesThePlayerInOnceOpen) {
    TheDoor.Spawn(0, 10, 12);
    EXPECT_DOUBLE_EQ(TheDoor.x, 160.0 - 8);
    EXPECT_DOUBLE_EQ(TheDoor.y, 192.0 - 16);
    Player.x = 151;  // right edge on the slot's left pixel
    Player.y = 192;
    for (int f = 0; f < 50; ++f) {
        TheDoor.Act();
        TheDoor.Move();
    }
    EXPECT_EQ(TheDoor.state, DoorClosed);

    // Beside the slot but inside the picture: nothing.
    GameState.Keys = 1;
    Player.x = 160 - 8 - 2;
    TheDoor.Move();
    EXPECT_EQ(TheDoor.state, DoorClosed);

    Player.x = 151;
    TheDoor.Move();
    EXPECT_EQ(TheDoor.state, DoorOpening);
    EXPECT_EQ(SoundCount(6), 1);
    int frames = 0;
    while (TheDoor.state == DoorOpening && frames < 100) {
        TheDoor.Act();
        TheDoor.Move();
        ++frames;
        if (TheDoor.state == DoorOpening) {
            EXPECT_EQ(Player.state, PlayerAlive);  // ignored while opening
        }
    }
    EXPECT_EQ(frames, 36);  // six steps of six frames, the last one past column 5
    EXPECT_EQ(Player.state, PlayerInDoor);  // the same frame's Move takes it in
    EXPECT_TRUE(GameState.StageCleared);
    EXPECT_EQ(GameState.Keys, 1);  // keys are not used up
}
