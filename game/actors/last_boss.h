// The boss of the last normal stage: intro, a flying second form that the
// drill wounds, and a third form that only the death chaser overcomes.
#pragma once

#include "game/actors/actor.h"

struct LastBoss : Actor {
    bool active = false;
    int code = 0;
    int phase = 0;  // script step: 0 intro, 1-2 flying, 10-11 beaten, 12 third form, 13-14 seized
    int hp = 0;
    int image = 27;
    int animPeriod = 20;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    LastBoss() { dir = 0; width = 48; height = 48; }

    void Reset();
    // Nothing unless code is 49.
    void Spawn(int code, int row, int cell);
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern LastBoss TheLastBoss;
