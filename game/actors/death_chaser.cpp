#include "game/actors/death_chaser.h"

#include "game/actors/last_boss.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/actors/player.h"

DeathChaser TheDeathChaser;

namespace {
constexpr double HuntSpeed = 0.8;
// The last boss's third form, which the chaser hunts instead of the player.
bool HuntsBoss() { return TheLastBoss.active && TheLastBoss.phase == 12; }
}  // namespace

void DeathChaser::Reset() {
    state = ChaserHunting;
    timer = 0;
    dir = 0;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 32;
    height = 32;
    active = false;
    moving = false;
    kind = 0;
    animStep = 1;
    animFrame = 0;
}

void DeathChaser::Spawn(int k, int row, int cell) {
    kind = k;
    x = 16.0 * row;
    y = 16.0 * cell;
    moving = true;
    active = true;
    timer = 0;
}

void DeathChaser::Draw() {
    if (!active) return;
    if (state == ChaserHolding) {
        // The wide picture reaches out on the side it faces.
        DrawSprite(ChaserImageSlot, TruncToInt(x) - Player.scrollX - 48 * dir, TruncToInt(y) - 16, 0, 64 + 48 * dir,
                   80, 48);
        return;
    }
    DrawSprite(ChaserImageSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y), 32 * animFrame, 32 * dir + 64 * kind,
               width, height);
}

void DeathChaser::Act() {
    if (!active) return;
    gravity = 0.35;
    if (state == ChaserHolding) {
        moving = false;
        timer += 1;
        if (timer > 50) {
            moving = true;
            state = ChaserHunting;
        }
    }
    if (state == ChaserDrivenOff) {
        // Driven off while holding a catch it would never move again.
        moving = true;
        vx = 0;
        vy = -1.5;
        if (y <= -50) {
            active = false;
            GameState.StageCleared = 1;
        }
    }
    if (kind == 0 && state == ChaserHunting) {
        double tx = Player.x, ty = Player.y;
        if (HuntsBoss()) {
            tx = TheLastBoss.x;
            ty = TheLastBoss.y;
        }
        if (TruncToInt(tx - x) == 0)
            x = tx;
        else
            vx = tx < x ? -HuntSpeed : HuntSpeed;
        if (ty == y)
            vy = 0;
        else
            vy = ty < y ? -HuntSpeed : HuntSpeed;
        dir = vx < 0 ? 1 : 0;
        gravity = 0;
    }
    animTimer += 1;
    if (animTimer > 50) {
        animFrame += animStep;
        if (animFrame <= 0 || animFrame >= 2) animStep = -animStep;
        animTimer = 0;
    }
}

void DeathChaser::Move() {
    if (!active || !moving) return;
    // The only actor without the fall-speed cap.
    x += vx;
    vy += gravity;
    y += vy;
    Collide();
}

void DeathChaser::Collide() {
    Rect me = MakeRect(TruncToInt(x), TruncToInt(y), width, height);
    if (HuntsBoss()) {
        LastBoss& b = TheLastBoss;
        if (RectsOverlap(me, MakeRect(TruncToInt(b.x), TruncToInt(b.y), b.width, b.height))) {
            PlaySound(SoundChaserHit);
            b.phase = 13;
            state = ChaserHolding;
        }
        return;
    }
    if (Player.state == PlayerAlive &&
        RectsOverlap(me, MakeRect(TruncToInt(Player.x), TruncToInt(Player.y + 2), Player.width, Player.height - 4))) {
        PlaySound(SoundChaserHit);
        Player.vy = -5.5;
        Player.state = PlayerDying;
        state = ChaserHolding;
    }
}
