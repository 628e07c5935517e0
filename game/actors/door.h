// The exit door of a normal stage.
#pragma once

#include "game/actors/actor.h"
#include "game/shell/assets.h"

// state values of the door.
enum { DoorClosed = 1, DoorOpening = 2, DoorOpen = 3 };

struct Door : Actor {
    bool active = false;
    int kind = 0;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    Door() { dir = 1; width = 32; height = 32; }

    void Reset();
    // Centred on the cell, bottom edge on the cell's bottom edge.
    void Spawn(int kind, int row, int cell);
    void Draw();  // called by DrawField, behind the tiles
    void Act();
    void Move();
    void Collide();
};

extern Door TheDoor;

// The field's set-up places the door with this (kind 0 for a code 49 cell).
void SpawnDoor(int kind, int row, int cell);
void DrawDoor();
