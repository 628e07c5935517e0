#include "game/actors/player.h"

#include <cstdint>

#include "engine/engine.h"
#include "game/actors/drill.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/world/stage_file.h"

PlayerRecord Player;

namespace {

constexpr double WalkAcceleration = 0.1;
constexpr double SlipperyAcceleration = 0.04;
constexpr int SlipperyGroundRow = 4;
constexpr double AirControlDivisor = 2.5;
constexpr double TopSpeed = 1.3;
constexpr double JumpSpeed = -4.9;
constexpr double NormalGravity = 0.55;
constexpr double HeldJumpGravity = 0.2;
constexpr double DyingGravity = 0.15;
constexpr double PitDeathHop = -2.5;
constexpr double PitLine = 256.0;
constexpr int CameraRight = 144;  // screen x the player may not pass to the right
constexpr int CameraLeft = 96;    // and to the left
constexpr int AnimationPeriod = 5;

int Trunc(double v) { return static_cast<int>(v); }

Rect CellRect(int row, int cell) { return MakeRect(16 * row, 16 * cell, 15, 15); }

}  // namespace

void PlayerRecord::Reset() {
    state = PlayerAlive;
    timer = 0;
    scrollX = 0;
    dir = 0;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    width = 16;
    height = 16;
    jumpHeld = 0;
    animStep = 1;
    animFrame = 0;
    // gravity and animTimer keep their values.
}

void PlayerRecord::Act() {
    const double a = GameState.GroundRow == SlipperyGroundRow ? SlipperyAcceleration : WalkAcceleration;
    gravity = NormalGravity;

    if (state == PlayerDying) {
        vx = 0.0;
        gravity = DyingGravity;
        return;
    }
    if (state != PlayerAlive) return;

    const bool right = GameState.ButtonRight == LatchHeld;
    const bool left = GameState.ButtonLeft == LatchHeld;

    if (vy == 0.0) {
        // On the ground.
        if (right) {
            dir = 0;
            vx += a;
            if (vx >= TopSpeed) vx = TopSpeed;
        }
        if (left) {
            dir = 1;
            vx -= a;
            if (vx <= -TopSpeed) vx = -TopSpeed;
        }
        if (GameState.ButtonJump == LatchPressed) {
            PlaySound(SoundJump);
            vy = JumpSpeed;
            jumpHeld = 1;
        }
        if (!right && !left) {
            if (vx > 0.0) {
                vx -= a / 2.0;
                if (vx <= 0.0) vx = 0.0;
            }
            if (vx < 0.0) {
                vx += a / 2.0;
                if (vx >= 0.0) vx = 0.0;
            }
        }
    } else {
        // In the air: no friction; the high jump lasts while the button is held.
        if (jumpHeld && GameState.ButtonJump == LatchHeld) gravity = HeldJumpGravity;
        else jumpHeld = 0;
        if (right) {
            dir = 0;
            vx += a / AirControlDivisor;
            if (vx >= TopSpeed) vx = TopSpeed;
        }
        if (left) {
            dir = 1;
            vx -= a / AirControlDivisor;
            if (vx <= -TopSpeed) vx = -TopSpeed;
        }
    }

    if (GameState.ButtonDrill == LatchPressed && !TheDrill.active && GameState.DrillCharges != 0) {
        PlaySound(SoundDrillThrow);
        if (GameState.ButtonUp == LatchHeld) TheDrill.Spawn(0, Trunc(x + 4.0), Trunc(y), 2);
        else if (GameState.ButtonDown == LatchHeld) TheDrill.Spawn(0, Trunc(x + 4.0), Trunc(y), 3);
        else if (dir == 0) TheDrill.Spawn(0, Trunc(x), Trunc(y + 4.0), 0);
        else TheDrill.Spawn(0, Trunc(x), Trunc(y + 4.0), 1);
        GameState.DrillCharges -= 1;
        if (GameState.DrillCharges == 0) GameState.DrillRechargeTick = GetTickMs();
    } else if (GameState.DrillCharges == 0 && TickDiff(GetTickMs(), GameState.DrillRechargeTick) > DrillRechargeMs) {
        PlaySound(SoundCursor);
        GameState.DrillCharges = 1;
    }

    animTimer += 1;
    if (animTimer > AnimationPeriod) {
        animFrame += animStep;
        if (!(animFrame > 0 && animFrame < 2)) animStep = -animStep;
        animTimer = 0;
    }
}

void PlayerRecord::Move() {
    x += vx;
    if (x < 0.0) x = 0.0;  // the left end of the world is a wall
    vy += gravity;
    if (vy > FallSpeedCap) vy = FallSpeedCap;
    y += vy;

    Collide();

    if (scrollX < Trunc(x - CameraRight)) scrollX = Trunc(x) - CameraRight;
    if (scrollX > Trunc(x - CameraLeft)) scrollX = Trunc(x) - CameraLeft;
    if (scrollX > PlayerScrollLimit) scrollX = PlayerScrollLimit;
    else if (scrollX < 0) scrollX = 0;
}

void PlayerRecord::Collide() {
    if (state == PlayerDying) return;
    if (state == PlayerInDoor) {
        vx = 0.0;
        vy = 0.0;
        return;
    }

    if (state == PlayerAlive && y > PitLine) {
        PlaySound(SoundPlayerLost);
        vy = PitDeathHop;
        state = PlayerDying;
    }

    const int w = width, h = height;

    // Walls and ceiling; the bounds follow x and y as the tests move them.
    for (int r = Trunc(x / 16.0); r < (x + w) / 16.0 + 1.0; ++r) {
        for (int c = Trunc(y / 16.0); c < (y + h) / 16.0 + 1.0; ++c) {
            if (!IsSolid(r, c)) continue;
            const Rect cell = CellRect(r, c);
            if (RectsOverlap(MakeRect(Trunc(x + 7), Trunc(y), w - 14, h / 2), cell)) {
                PlaySound(SoundHeadBump);
                y = 16 * c + 16;
                vy = 0.0;
            }
            if (RectsOverlap(MakeRect(Trunc(x + w / 2), Trunc(y + h / 2), w / 2 - 1, h / 4), cell)) {
                x = 16 * r - 16;
                vx = 0.0;
                continue;
            }
            if (RectsOverlap(MakeRect(Trunc(x), Trunc(y + h / 2), w / 2, h / 4), cell)) {
                x = 16 * r + 16;
                vx = 0.0;
            }
        }
    }

    // Floor: the highest solid cell under either foot.
    int top = 256;
    int hits = 0;
    const int footY = Trunc(y + h);
    const int leftFootX = Trunc(x + 2);
    const int rightFootX = Trunc(x + w - 3);
    for (int r = Trunc(x / 16.0); r < (x + w) / 16.0 + 1.0 && hits < 2; ++r) {
        for (int c = 0; c < GridCells && hits < 2; ++c) {
            if (!IsSolid(r, c)) continue;
            const Rect cell = CellRect(r, c);
            if (PointInRect(leftFootX, footY, cell)) {
                if (16 * c < top) top = 16 * c;
                ++hits;
                if (hits >= 2) break;
            }
            if (PointInRect(rightFootX, footY, cell)) {
                if (16 * c < top) top = 16 * c;
                ++hits;
            }
        }
    }
    if (hits > 0) {
        y = top - h;
        vy = 0.0;
    }
}

void PlayerRecord::Draw() {
    int row = 0, column = 0;
    if (state == PlayerAlive) {
        row = dir;
        if (vy == 0.0) {
            if (vx > 0.0) column = dir == 1 ? 4 : animFrame + 1;
            else if (vx < 0.0) column = dir == 0 ? 4 : animFrame + 1;
            else column = 0;
        } else {
            column = vy < 0.0 ? 5 : 6;
        }
    } else if (state == PlayerDying) {
        row = 2;
        column = vy > 0.0 ? 1 : 0;
    } else {
        return;  // inside the door: not drawn
    }
    DrawSprite(PlayerImageSlot, Trunc(x) - scrollX, Trunc(y), 16 * column, 16 * row, width, height);
}
