// Fragments of a broken block.
#pragma once

#include "game/actors/actor.h"

constexpr int DebrisPoolSize = 100;

struct Debris : Actor {
    bool active = false;
    int kind = 0;  // 0 small (6 x 6), 1 large (8 x 8)

    Debris() { dir = 1; width = 8; height = 8; }

    void Reset();
    // mode 1: (a, b) is a pixel position; otherwise a field cell (row, cell).
    void Spawn(int mode, int a, int b);
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern Debris DebrisPool[DebrisPoolSize];

void ResetDebris();
void DrawDebris();
void ActDebris();
void MoveDebris();
// Launches up to four pieces, each with its own sound (16 in mode 1,
// else 3). Returns the number launched.
int SpawnDebris(int mode, int a, int b);
