#include "game/actors/debris.h"

#include <algorithm>

#include "game/actors/random.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

Debris DebrisPool[DebrisPoolSize];

namespace {
struct Launch {
    double vx, vy;
};
constexpr Launch LaunchVelocity[4] = {{-0.7, -5.9}, {1.5, -4.9}, {-1.5, -4.9}, {0.7, -5.9}};
}  // namespace

void Debris::Reset() {
    state = 1;
    timer = 0;
    dir = 1;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 8;
    height = 8;
    active = false;
    kind = 0;
}

void Debris::Spawn(int mode, int a, int b) {
    timer = 0;
    kind = GameRand() % 2;
    width = height = kind == 1 ? 8 : 6;
    if (mode == 1) {
        x = a;
        y = b;
    } else {
        // Centred in the cell, resting on its floor.
        x = 16.0 * a + (16 - width) / 2;
        y = 16.0 * b + 16 - height;
    }
    active = true;
}

void Debris::Draw() {
    if (!active) return;
    DrawSprite(GroundSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y), 16 * (17 + kind), 16 * GameState.GroundRow,
               width, height);
}

void Debris::Act() {
    timer += 1;
    if (timer > 100) Reset();
    gravity = 0.55;
}

void Debris::Move() {
    if (!active) return;
    MoveStep();
    Collide();
}

void Debris::Collide() {
    if (state == 1 && y > WorldHeight) {
        Reset();
        return;
    }
    // The probe points depend on x and y only: worked out once and again
    // after each test that moves the piece, instead of for every cell.
    // Cells outside the probes' band are passed over: they cannot touch.
    int leftX, rightX, middleX, middleY, topY, bottomY, bandTop, bandBottom;
    auto probes = [&] {
        leftX = TruncToInt(x);
        rightX = TruncToInt(x + width - 1);
        middleX = TruncToInt(x + width / 2 - 1);
        middleY = TruncToInt(y + height / 2 - 1);
        topY = TruncToInt(y);
        bottomY = TruncToInt(y + height - 1);
        bandTop = std::min(middleY, std::min(topY, bottomY));
        bandBottom = std::max(middleY, std::max(topY, bottomY));
    };
    probes();
    WalkSolidCells(*this, bandTop, bandBottom, [&](int, int, const Rect& r) {
        if (PointInRect(leftX, middleY, r)) {
            x = r.right + 1;
            vx *= -0.5;
            probes();
        }
        if (PointInRect(rightX, middleY, r)) {
            x = r.left - width;
            vx *= -0.5;
            probes();
        }
        if (PointInRect(middleX, topY, r)) {
            y = r.bottom + 1;
            vy *= -0.5;
            probes();
        }
        if (PointInRect(middleX, bottomY, r)) {
            y = r.top - height;
            vy *= -0.5;
            vx *= 0.9;
            probes();
        }
        return true;
    });
}

void ResetDebris() { PoolResetAll(DebrisPool); }

void DrawDebris() { PoolDrawAll(DebrisPool); }

void ActDebris() { PoolActAll(DebrisPool); }

void MoveDebris() { PoolMoveAll(DebrisPool); }

int SpawnDebris(int mode, int a, int b) {
    int launched = 0;
    for (int i = 0; i < DebrisPoolSize && launched < 4; ++i) {
        Debris& d = DebrisPool[i];
        if (d.active) continue;
        d.Spawn(mode, a, b);
        PlaySound(mode == 1 ? SoundDebrisCrash : SoundBlockCrash);  // once for each piece
        d.vx = LaunchVelocity[launched].vx;
        d.vy = LaunchVelocity[launched].vy;
        ++launched;
    }
    return launched;
}
