// A clean stage for driving the actors directly: empty grids, every actor
// reset, the player parked far away, sounds and sprites recorded.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/actors/actors.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"
#include "tests/support/call_log.h"

class ActorTest : public ::testing::Test {
protected:
    CallLog Rec;  // sprites, sounds and music of the whole test

    void SetUp() override {
        GameState = GameStateRecord{};
        ClearStageGrids();
        Player.Reset();
        ParkPlayer();
        ResetAllActors();
        SetGameRandState(1);
        Rec.Clear();
    }

    // Out of everybody's way, but alive.
    static void ParkPlayer() {
        Player.x = 3000;
        Player.y = 16;
        Player.scrollX = 0;
        Player.state = PlayerAlive;
    }
    // Ground cells from row first to row last in one cell band.
    static void Ground(int first, int last, int cell, int code = FieldGround) {
        for (int r = first; r <= last; ++r) FieldGrid[r][cell] = code;
    }
    int SoundCount(int slot) const { return Rec.CountSound(slot); }
    static int ActiveEnemies() {
        int n = 0;
        for (const Enemy& e : EnemyPool) n += e.active;
        return n;
    }
    static int ActiveDebris() {
        int n = 0;
        for (const Debris& d : DebrisPool) n += d.active;
        return n;
    }
    static void EnemyFrame() {
        ActEnemies();
        MoveEnemies();
    }
    static void DrillFrame() {
        TheDrill.Act();
        TheDrill.Move();
    }
};
