// Blast animations where the drill blows up.
#pragma once

#include "game/actors/actor.h"

constexpr int ExplosionPoolSize = 100;
constexpr int SmallExplosionSlot = 6;  // kind 0, 24 x 24
constexpr int LargeExplosionSlot = 7;  // kind 1, 64 x 64

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
