#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/call_log.h"
#include "engine/engine.h"
#include "game/actors/drill.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

namespace {

// Buttons held in one frame.
struct Held {
    bool right = false, left = false, jump = false, drill = false, up = false, down = false;
};

class PlayerTest : public ::testing::Test {
protected:
    CallLog log;

    void SetUp() override {
        ClearStageGrids();
        GameState = GameStateRecord{};
        GameState.DrillCharges = 1;
        TheDrill.Reset();
        Player.Reset();
        Player.animTimer = 0;
        Player.gravity = 0.0;
    }

    // A floor of ground in the bottom cell of rows [from, to].
    static void Floor(int from = 0, int to = GridRows - 1, int cell = 15) {
        for (int r = from; r <= to; ++r) FieldGrid[r][cell] = FieldGround;
    }

    // One gameplay frame of the player with the buttons latched as the
    // main loop would.
    void Frame(const Held& h = {}) {
        GameState.ButtonRight = NextLatch(GameState.ButtonRight, h.right);
        GameState.ButtonLeft = NextLatch(GameState.ButtonLeft, h.left);
        GameState.ButtonJump = NextLatch(GameState.ButtonJump, h.jump);
        GameState.ButtonDrill = NextLatch(GameState.ButtonDrill, h.drill);
        GameState.ButtonUp = NextLatch(GameState.ButtonUp, h.up);
        GameState.ButtonDown = NextLatch(GameState.ButtonDown, h.down);
        Player.Act();
        Player.Move();
    }

    // Stands the player on the floor at x.
    void StandAt(double x) {
        Player.x = x;
        for (int i = 0; i < 200 && !(Player.vy == 0.0 && Player.y > 16.0); ++i) Frame();
        ASSERT_EQ(Player.vy, 0.0);
    }
};

TEST_F(PlayerTest, StandsOnTheFloorAndReLandsEveryFrame) {
    Floor();
    StandAt(40.0);
    EXPECT_EQ(Player.y, 224.0);
    for (int i = 0; i < 10; ++i) {
        Frame();
        EXPECT_EQ(Player.y, 224.0);
        EXPECT_EQ(Player.vy, 0.0);
    }
    // A hidden block carries him too.
    ClearStageGrids();
    FieldGrid[2][15] = FieldHiddenBlock;
    Player.Reset();
    StandAt(32.0);
    EXPECT_EQ(Player.y, 224.0);
}

TEST_F(PlayerTest, TopSpeedAfter13FramesOr33OnSlipperyGround) {
    struct Case {
        int groundRow, frames;
    } cases[] = {{0, 13}, {3, 13}, {4, 33}};
    for (const Case& c : cases) {
        SetUp();
        Floor();
        GameState.GroundRow = c.groundRow;
        StandAt(20.0);
        Frame({.right = true});  // pressed: a walk needs the held latch
        EXPECT_EQ(Player.vx, 0.0);
        int frames = 0;
        while (Player.vx < 1.3 && frames < 100) {
            Frame({.right = true});
            ++frames;
        }
        EXPECT_EQ(frames, c.frames) << "ground row " << c.groundRow;
        EXPECT_EQ(Player.vx, 1.3);
        Frame({.right = true});
        EXPECT_EQ(Player.vx, 1.3);

        // Friction: half the acceleration per frame, down to exactly 0.
        const double a = c.groundRow == 4 ? 0.04 : 0.1;
        Frame();
        EXPECT_NEAR(Player.vx, 1.3 - a / 2, 1e-12);
        int stop = 1;
        while (Player.vx > 0.0 && stop < 200) {
            Frame();
            ++stop;
        }
        EXPECT_EQ(Player.vx, 0.0);
        EXPECT_NEAR(stop, 1.3 / (a / 2), 1.0) << "ground row " << c.groundRow;
        EXPECT_EQ(Player.dir, 0);
    }
}

TEST_F(PlayerTest, JumpHeightDependsOnHoldingTheButton) {
    Floor();
    StandAt(40.0);
    Frame({.jump = true});
    EXPECT_EQ(log.CountSound(11), 1);
    EXPECT_EQ(Player.jumpHeld, 1);
    double top = Player.y;
    for (int i = 0; i < 60; ++i) {
        Frame();
        top = std::min(top, Player.y);
    }
    EXPECT_NEAR(224.0 - top, 19.4, 1e-9);
    EXPECT_EQ(Player.y, 224.0);
    EXPECT_EQ(Player.jumpHeld, 0);

    top = Player.y;
    Frame({.jump = true});
    for (int i = 0; i < 80; ++i) {
        Frame({.jump = true});
        top = std::min(top, Player.y);
    }
    EXPECT_NEAR(224.0 - top, 49.5, 1e-9);
    EXPECT_EQ(Player.y, 224.0);
    EXPECT_EQ(log.CountSound(11), 2);  // holding the button does not jump again
}

TEST_F(PlayerTest, TheHighJumpCannotResumeAndTheAirHasNoJump) {
    Floor();
    StandAt(40.0);
    Frame({.jump = true});
    Frame();                  // let go: gravity is normal from now on
    Frame({.jump = true});    // pressed again in the air: no jump
    EXPECT_EQ(Player.jumpHeld, 0);
    EXPECT_EQ(log.CountSound(11), 1);
    Frame({.jump = true});    // held again: still no high jump
    EXPECT_EQ(Player.gravity, 0.55);
}

TEST_F(PlayerTest, AWallStopsHimAtItsLeftEdge) {
    Floor();
    FieldGrid[10][14] = FieldGround;
    FieldGrid[10][13] = FieldGround;
    StandAt(100.0);
    int frames = 0;
    do {
        Frame({.right = true});
        ++frames;
    } while (!(Player.vx == 0.0 && frames > 2) && frames < 200);
    EXPECT_EQ(Player.x, 144.0);  // the cell's left edge minus 16
    for (int i = 0; i < 30; ++i) {
        Frame({.right = true});
        EXPECT_GE(Player.x, 144.0);
        EXPECT_LT(Player.x, 145.0);
    }
    EXPECT_EQ(Player.y, 224.0);

    // From the other side the left box stops him at the cell's right edge.
    Player.x = 190.0;
    Player.vx = 0.0;
    for (int i = 0; i < 100; ++i) Frame({.left = true});
    EXPECT_EQ(Player.x, 176.0);
    EXPECT_EQ(Player.vx, 0.0);
}

TEST_F(PlayerTest, TheHeadBumpsABlockAbove) {
    Floor();
    StandAt(48.0);
    FieldGrid[3][12] = FieldBlock;  // y 192 .. 207, 16 pixels above his head
    Frame({.jump = true});
    int frames = 0;
    while (log.CountSound(19) == 0 && frames < 30) {
        Frame({.jump = true});
        ++frames;
    }
    ASSERT_EQ(log.CountSound(19), 1);
    EXPECT_EQ(Player.y, 208.0);  // just under the block
    EXPECT_EQ(Player.vy, 0.0);
    double before = Player.y;
    Frame();
    EXPECT_GE(Player.y, before);  // the rise is over
    for (int i = 0; i < 30; ++i) Frame();
    EXPECT_EQ(Player.y, 224.0);
}

TEST_F(PlayerTest, TheCameraKeepsHimInItsWindow) {
    Floor();
    StandAt(100.0);
    EXPECT_EQ(Player.scrollX, 0);
    while (Player.x < 300.0) Frame({.right = true});
    EXPECT_EQ(Player.scrollX, static_cast<int>(Player.x) - 144);
    Player.x = 300.0;
    Frame({.right = true});
    EXPECT_EQ(Player.scrollX, static_cast<int>(Player.x) - 144);
    while (Player.x > 200.0) Frame({.left = true});
    EXPECT_EQ(Player.scrollX, static_cast<int>(Player.x) - 96);

    struct Case {
        double x;
        int before, after;
    } cases[] = {
        {100.0, 0, 0}, {300.0, 0, 156}, {200.0, 156, 104}, {220.0, 104, 104},
        {7000.0, 0, 5760}, {50.0, 5760, 0},
    };
    for (const Case& c : cases) {
        Player.state = PlayerInDoor;  // still: only the camera moves
        Player.x = c.x;
        Player.vx = 0.0;
        Player.scrollX = c.before;
        Player.Move();
        EXPECT_EQ(Player.scrollX, c.after) << c.x;
    }
}

TEST_F(PlayerTest, TheLeftEndOfTheWorldIsAWall) {
    Floor();
    StandAt(1.0);
    for (int i = 0; i < 20; ++i) Frame({.left = true});
    EXPECT_EQ(Player.x, 0.0);
    EXPECT_LT(Player.vx, 0.0);  // the speed is kept
    EXPECT_EQ(Player.dir, 1);
}

TEST_F(PlayerTest, FallingIntoAPitStartsTheDeathHop) {
    Floor(0, 9);
    Floor(13, GridRows - 1);
    StandAt(120.0);
    int frames = 0;
    while (Player.state == PlayerAlive && frames < 300) {
        Frame({.right = true});
        ++frames;
    }
    ASSERT_EQ(Player.state, PlayerDying);
    EXPECT_GT(Player.y, 256.0);
    EXPECT_EQ(Player.vy, -2.5);
    EXPECT_EQ(log.CountSound(14), 1);
    const double x = Player.x;
    Frame({.right = true});
    EXPECT_EQ(Player.vx, 0.0);
    EXPECT_EQ(Player.gravity, 0.15);
    EXPECT_EQ(Player.x, x);
    EXPECT_NEAR(Player.vy, -2.35, 1e-12);
    for (int i = 0; i < 100 && Player.y <= 304.0; ++i) Frame();
    EXPECT_GT(Player.y, 304.0);  // the scene takes the life
    EXPECT_EQ(log.CountSound(14), 1);
}

TEST_F(PlayerTest, ThrowsTheDrillOnceAndRechargesAfterThreeSeconds) {
    Floor();
    StandAt(64.0);
    Frame({.drill = true});
    ASSERT_TRUE(TheDrill.active);
    EXPECT_EQ(TheDrill.dir, 0);
    EXPECT_EQ(static_cast<int>(TheDrill.x), 64);
    EXPECT_EQ(static_cast<int>(TheDrill.y), 228);
    EXPECT_EQ(log.CountSound(1), 1);
    EXPECT_EQ(GameState.DrillCharges, 0);
    const int thrownAt = GameState.DrillRechargeTick;
    EXPECT_LE(TickDiff(GetTickMs(), thrownAt), 1000);

    // No second throw while it is out, nor without a charge.
    Frame();
    Frame({.drill = true});
    EXPECT_EQ(log.CountSound(1), 1);
    TheDrill.Reset();
    Frame();
    Frame({.drill = true});
    EXPECT_FALSE(TheDrill.active);
    EXPECT_EQ(GameState.DrillCharges, 0);

    // 3000 ms are not enough; a little more is.
    GameState.DrillRechargeTick = GetTickMs() - 2990;
    Frame();
    EXPECT_EQ(GameState.DrillCharges, 0);
    GameState.DrillRechargeTick = GetTickMs() - 3100;
    Frame();
    EXPECT_EQ(GameState.DrillCharges, 1);
    EXPECT_EQ(log.CountSound(17), 1);

    struct Aim {
        Held held;
        int dir, dx, dy;
    } aims[] = {
        {{.drill = true, .up = true}, 2, 4, 0},
        {{.drill = true, .down = true}, 3, 4, 0},
        {{.drill = true, .up = true, .down = true}, 2, 4, 0},
    };
    for (const Aim& a : aims) {
        TheDrill.Reset();
        GameState.DrillCharges = 1;
        Held aim = a.held;
        aim.drill = false;
        Frame(aim);  // the direction is held before the throw
        Frame(a.held);
        ASSERT_TRUE(TheDrill.active);
        EXPECT_EQ(TheDrill.dir, a.dir);
        EXPECT_EQ(static_cast<int>(TheDrill.x), static_cast<int>(Player.x) + a.dx);
        EXPECT_EQ(static_cast<int>(TheDrill.y), static_cast<int>(Player.y) + a.dy);
        Frame();
    }
    // Facing left.
    TheDrill.Reset();
    GameState.DrillCharges = 1;
    Frame({.left = true});
    Frame({.left = true, .drill = true});
    EXPECT_EQ(TheDrill.dir, 1);
}

TEST_F(PlayerTest, ElapsedTimeSurvivesTheTickWrap) {
    struct Case {
        int then, now, elapsed;
    } cases[] = {
        {1000, 4001, 3001},
        {0x7FFFFFFF - 1000, 2000, 3001},
        {0x7FFFFFFF, 0, 1},
        {5, 5, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TickDiff(c.now, c.then), c.elapsed) << c.then << " " << c.now;
}

TEST_F(PlayerTest, DrawPicksTheCellOfTheState) {
    struct Case {
        int state, dir;
        double vx, vy;
        int animFrame, column, row;
    } cases[] = {
        {1, 0, 0.0, 0.0, 2, 0, 0},   {1, 1, 0.0, 0.0, 2, 0, 1},  {1, 0, 0.5, 0.0, 2, 3, 0},
        {1, 1, 0.5, 0.0, 2, 4, 1},   {1, 1, -0.5, 0.0, 1, 2, 1}, {1, 0, -0.5, 0.0, 1, 4, 0},
        {1, 0, 0.5, -1.0, 0, 5, 0},  {1, 1, 0.0, 1.0, 0, 6, 1},  {2, 0, 0.0, -1.0, 0, 0, 2},
        {2, 1, 0.0, 0.5, 0, 1, 2},   {2, 0, 0.0, 0.0, 0, 0, 2},
    };
    for (const Case& c : cases) {
        log.Clear();
        Player.state = c.state;
        Player.dir = c.dir;
        Player.vx = c.vx;
        Player.vy = c.vy;
        Player.animFrame = c.animFrame;
        Player.x = 300.7;
        Player.y = 100.9;
        Player.scrollX = 200;
        Player.Draw();
        ASSERT_EQ(log.sprites.size(), 1u);
        EXPECT_EQ(log.sprites[0], (SpriteCall{0, 100, 100, 16 * c.column, 16 * c.row, 16, 16}))
            << c.state << " " << c.dir << " " << c.vx << " " << c.vy;
    }
    log.Clear();
    Player.state = PlayerInDoor;
    Player.Draw();
    EXPECT_TRUE(log.sprites.empty());
}

TEST_F(PlayerTest, WalkingFramesPingPongEverySixFrames) {
    Floor();
    StandAt(40.0);
    Player.animTimer = 0;
    Player.animFrame = 0;
    Player.animStep = 1;
    std::vector<int> frames;
    for (int i = 0; i < 36; ++i) {
        Frame();
        if (Player.animTimer == 0) frames.push_back(Player.animFrame);
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 1, 0, 1, 2}));
}

TEST_F(PlayerTest, InsideTheDoorHeStandsStill) {
    Floor();
    StandAt(40.0);
    Player.state = PlayerInDoor;
    Player.vx = 1.0;
    Player.Act();
    Player.Move();
    EXPECT_EQ(Player.vx, 0.0);
    EXPECT_EQ(Player.vy, 0.0);
}

TEST_F(PlayerTest, ResetKeepsGravityAndTheAnimationTimer) {
    Player.gravity = 0.2;
    Player.animTimer = 4;
    Player.x = 500.0;
    Player.scrollX = 300;
    Player.jumpHeld = 1;
    Player.state = PlayerDying;
    Player.Reset();
    EXPECT_EQ(Player.gravity, 0.2);
    EXPECT_EQ(Player.animTimer, 4);
    EXPECT_EQ(Player.x, 16.0);
    EXPECT_EQ(Player.y, 16.0);
    EXPECT_EQ(Player.scrollX, 0);
    EXPECT_EQ(Player.jumpHeld, 0);
    EXPECT_EQ(Player.state, PlayerAlive);
    EXPECT_EQ(Player.animStep, 1);
}

}  // namespace
