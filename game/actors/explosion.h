// Blast animations where the drill blows up.
#pragma once

#include "game/actors/actor.h"
#include "game/shell/assets.h"

constexpr int ExplosionPoolSize = 100;

struct Explosion : Actor {
    bool active = false;
    int kind = 0;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    Explosion() { dir = 1; }

    void Reset();
    void Spawn(int kind, int px, int py);
    void Draw();
    void Act();
    void Move();
};

extern Explosion ExplosionPool[ExplosionPoolSize];

void ResetExplosions();
void DrawExplosions();
void ActExplosions();
void MoveExplosions();
// Top-left corner in world pixels; dropped when all play. Returns the index or -1.
int SpawnExplosion(int kind, int px, int py);
