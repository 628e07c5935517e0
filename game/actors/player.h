// The adventurer, and the camera that follows him.
#pragma once

#include "game/actors/actor.h"
#include "game/shell/assets.h"

struct PlayerRecord : Actor {
    // Camera: world x of the screen's left edge, 0..PlayerScrollLimit.
    int scrollX = 0;
    int jumpHeld = 0;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    void Reset();
    void Act();
    void Move();
    void Collide();
    void Draw();
};

// state: 1 alive, 2 dying, 3 inside the door.
enum { PlayerAlive = 1, PlayerDying = 2, PlayerInDoor = 3 };

constexpr int PlayerScrollLimit = 5760;
constexpr int DrillRechargeMs = 3000;

extern PlayerRecord Player;

