// The boss of the last extra stage: a runner wounded only on its weak spot.
#pragma once

#include "game/actors/actor.h"

// state values of the extra boss.
enum { ExtraBossAlive = 1, ExtraBossLeaving = 2, ExtraBossDefeated = 4 };
// phase values of the extra boss.
enum { ExtraBossRunning = 0, ExtraBossHurt = 9 };

struct ExtraBoss : Actor {
    bool active = false;
    int code = 0;
    int phase = 0;
    int hp = 0;
    int image = 30;
    int animPeriod = 20;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    ExtraBoss() { state = 0; dir = 0; width = 64; height = 64; }

    void Reset();
    // Nothing unless code is 48; starts the boss music.
    void Spawn(int code, int row, int cell);
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern ExtraBoss TheExtraBoss;

// The 32 x 16 rectangle at the top of the boss on the side its dir names.
Rect ExtraBossWeakSpot(const ExtraBoss& boss);
