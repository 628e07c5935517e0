// Pick-ups: coins, keys and the empty find of a hidden block.
#pragma once

#include "game/actors/actor.h"

enum { ItemCoin = 0, ItemKey = 1, ItemEmpty = 2 };
// state values of an item.
enum { ItemLying = 1, ItemCollected = 2 };

constexpr int ItemPoolSize = 100;

struct Item : Actor {
    bool active = false;
    int kind = 0;
    bool oneUp = false;  // this coin gave a life: "1up" rises with it
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    Item() { dir = 1; }

    void Reset();
    void Spawn(int kind, int px, int py);
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern Item ItemPool[ItemPoolSize];

void ResetItems();
void DrawItems();
void ActItems();
void MoveItems();
// The first inactive item; dropped when all are active. Returns the index or -1.
int SpawnItem(int kind, int px, int py);
