#include "game/actors/door.h"

#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/actors/player.h"

Door TheDoor;

void Door::Reset() {
    state = DoorClosed;
    timer = 0;
    dir = 1;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 32;
    height = 32;
    active = false;
    kind = 0;
    animStep = 1;
    animFrame = 0;
}

void Door::Spawn(int k, int row, int cell) {
    kind = k;
    x = 16.0 * row - (width - 16) / 2;
    y = 16.0 * cell - height + 16;
    active = true;
}

void Door::Draw() {
    if (!active) return;
    int column = 0;
    if (state == DoorOpen)
        column = 5;
    else if (state == DoorOpening)
        column = animFrame;
    DrawSprite(DoorImageSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y), column * width, 0, width, height);
}

void Door::Act() {
    if (!active || state != DoorOpening) return;
    animTimer += 1;
    if (animTimer > 5) {
        animFrame += animStep;
        if (animFrame > 5) state = DoorOpen;
        animTimer = 0;
    }
}

void Door::Move() {
    if (!active) return;
    MoveStep();
    Collide();
}

void Door::Collide() {
    if (!active || state == DoorOpening || GameState.Keys <= 0 || Player.state != PlayerAlive) return;
    // Only a three-pixel slot at the middle of the lower half takes the player in.
    Rect slot = MakeRect(TruncToInt(x + 8 + 7), TruncToInt(y + 16), 2, 16);
    if (!RectsOverlap(slot, MakeRect(TruncToInt(Player.x), TruncToInt(Player.y), Player.width, Player.height))) return;
    if (state == DoorClosed) {
        PlaySound(SoundDoor);
        state = DoorOpening;
    } else if (state == DoorOpen) {
        Player.state = PlayerInDoor;
        GameState.StageCleared = 1;
    }
}

void SpawnDoor(int kind, int row, int cell) { TheDoor.Spawn(kind, row, cell); }
void DrawDoor() { TheDoor.Draw(); }
