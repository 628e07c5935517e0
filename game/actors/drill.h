// The thrown drill: one projectile that breaks blocks and knocks out enemies.
#pragma once

#include "game/actors/actor.h"
#include "game/shell/assets.h"

// dir values of the drill.
enum { DrillRight = 0, DrillLeft = 1, DrillUp = 2, DrillDown = 3 };
// state values of the drill.
enum { DrillFlying = 1, DrillExploding = 3 };

struct Drill : Actor {
    bool active = false;
    int kind = 0;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    Drill() { dir = 1; }

    void Reset();
    // Starts at rest: 16 x 8 for directions 0 and 1, 8 x 16 for 2 and 3.
    void Spawn(int kind, int px, int py, int dir);
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern Drill TheDrill;
