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

struct SpriteCall {
    int slot, x, y, srcX, srcY, w, h;
};

struct Recorded {
    std::vector<int> sounds;
    std::vector<int> music;
    std::vector<SpriteCall> sprites;
};
inline Recorded Rec;

class ActorTest : public ::testing::Test {
protected:
    void SetUp() override {
        GameState = GameStateRecord{};
        ClearStageGrids();
        Player.Reset();
        ParkPlayer();
        ResetAllActors();
        SetGameRandState(1);
        Rec = Recorded{};
        AssetObservers.playSound = [](int s) { Rec.sounds.push_back(s); };
        AssetObservers.playMusic = [](int s) { Rec.music.push_back(s); };
        AssetObservers.drawSprite = [](int slot, int x, int y, int sx, int sy, int w, int h) {
            Rec.sprites.push_back({slot, x, y, sx, sy, w, h});
        };
    }
    void TearDown() override { AssetObservers = AssetHooks{}; }

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
    static int SoundCount(int slot) {
        return static_cast<int>(std::count(Rec.sounds.begin(), Rec.sounds.end(), slot));
    }
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
