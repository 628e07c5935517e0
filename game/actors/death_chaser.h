// The chaser from the world of the dead, summoned when the stage timer
// runs out; it flies through walls at the player.
#pragma once

#include "game/actors/actor.h"
#include "game/shell/assets.h"

// state values of the chaser.
enum { ChaserHunting = 1, ChaserHolding = 2, ChaserDrivenOff = 5 };

struct DeathChaser : Actor {
    bool active = false;
    bool moving = false;  // false while it holds a catch
    int kind = 0;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    DeathChaser() { dir = 0; width = 32; height = 32; }

    void Reset();
    void Spawn(int kind, int row, int cell);
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern DeathChaser TheDeathChaser;
