#include "game/actors/explosion.h"

#include "game/shell/assets.h"
#include "game/actors/player.h"

Explosion ExplosionPool[ExplosionPoolSize];

void Explosion::Reset() {
    state = 1;
    timer = 0;
    dir = 1;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 16;
    height = 16;
    active = false;
    kind = 0;
    animTimer = 0;
    animStep = 1;
    animFrame = 0;
}

void Explosion::Spawn(int k, int px, int py) {
    kind = k % 2;
    x = px;
    y = py;
    width = height = kind != 0 ? 64 : 24;
    active = true;
}

void Explosion::Draw() {
    if (!active) return;
    DrawSprite(kind == 0 ? SmallExplosionSlot : LargeExplosionSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y),
               animFrame * width, 0, width, height);
}

void Explosion::Act() {
    animTimer += 1;
    if (animTimer > 5) {
        animFrame += animStep;
        if (animFrame > 9) Reset();
        animTimer = 0;
    }
}

void Explosion::Move() {
    if (!active) return;
    MoveStep();
}

void ResetExplosions() { PoolResetAll(ExplosionPool); }

void DrawExplosions() { PoolDrawAll(ExplosionPool); }

void ActExplosions() { PoolActAll(ExplosionPool); }

void MoveExplosions() { PoolMoveAll(ExplosionPool); }

int SpawnExplosion(int kind, int px, int py) {
    int i = PoolFirstFree(ExplosionPool);
    if (i >= 0) ExplosionPool[i].Spawn(kind, px, py);
    return i;
}
