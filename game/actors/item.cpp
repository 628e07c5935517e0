#include "game/actors/item.h"

#include <algorithm>

#include "game/actors/random.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

Item ItemPool[ItemPoolSize];

void Item::Reset() {
    state = ItemLying;
    timer = 0;
    dir = 1;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 16;
    height = 16;
    active = false;
    kind = 0;
    oneUp = false;
    animStep = 1;
    animFrame = 0;
}

void Item::Spawn(int k, int px, int py) {
    Reset();
    kind = k;
    oneUp = false;
    x = px;
    y = py;
    active = true;
}

void Item::Act() {
    if (state == ItemCollected) {
        timer += 1;
        if (timer > 25) Reset();
        vy = -1.2;
    }
    gravity = 0.25;
    animTimer += 1;
    if (animTimer > 10) {
        animFrame += animStep;
        if (animFrame > 2) animFrame = 0;
        animTimer = 0;
    }
}

void Item::Move() {
    MoveStep();
    Collide();
}

void Item::Collide() {
    if (!active || state != ItemLying) return;

    if (RectsOverlap(MakeRect(TruncToInt(x + 2), TruncToInt(y + 2), width - 4, height - 4),
                     MakeRect(TruncToInt(Player.x), TruncToInt(Player.y), Player.width, Player.height))) {
        if (kind == ItemCoin) {
            GameState.Coins += 1;
            if (GameState.Coins >= 100) {
                GameState.Coins = 0;
                oneUp = true;
                GameState.Lives += 1;
                PlaySound(SoundExtraLife);
            } else {
                PlaySound(SoundCoin);
            }
        } else if (kind == ItemKey) {
            GameState.Keys += 1;
            PlaySound(SoundKey);
        }
        state = ItemCollected;
        return;
    }
    if (y > WorldHeight) state = ItemCollected;  // fell out of the world

    // The four test boxes depend on x and y only: built once and again
    // after each test that moves the item, instead of for every cell.
    // Cells outside the boxes' band are passed over: they cannot touch.
    Rect feet, head, rightSide, leftSide;
    int bandTop = 0, bandBottom = 0;
    auto boxes = [&] {
        feet = MakeRect(TruncToInt(x + 2), TruncToInt(y + height / 2 + 2), width - 4, height / 2 - 2);
        head = MakeRect(TruncToInt(x + 7), TruncToInt(y), width - 14, height / 2);
        rightSide = MakeRect(TruncToInt(x + width / 2), TruncToInt(y + 2), width / 2, height - 4);
        leftSide = MakeRect(TruncToInt(x), TruncToInt(y + 2), width / 2, height - 4);
        bandTop = std::min(std::min(feet.top, head.top), std::min(rightSide.top, leftSide.top));
        bandBottom = std::max(std::max(feet.bottom, head.bottom), std::max(rightSide.bottom, leftSide.bottom));
    };
    boxes();
    WalkSolidCells(*this, bandTop, bandBottom, [&](int, int, const Rect& r) {
        if (RectsOverlap(feet, r)) {
            y = r.top - 16;
            vy = 0;
            boxes();
        }
        if (RectsOverlap(head, r)) {
            y = r.bottom + 1;
            vy = 0;
            boxes();
        }
        if (RectsOverlap(rightSide, r)) {
            x = r.left - 16;
            vx = 0;
            boxes();
        }
        if (RectsOverlap(leftSide, r)) {
            x = r.right + 1;
            vx = 0;
            boxes();
        }
        return true;
    });
}

void Item::Draw() {
    if (!active) return;
    if (oneUp) DrawBitmapText(TruncToInt(x - Player.scrollX - width / 2), TruncToInt(y - height), "1up");
    if (state == ItemCollected && GameRand() % 2 == 1) return;  // random flicker
    DrawSprite(ItemImageSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y), animFrame * width, kind * height, width,
               height);
}

void ResetItems() { PoolResetAll(ItemPool); }

void DrawItems() { PoolDrawAll(ItemPool); }

void ActItems() { PoolActAll(ItemPool); }

void MoveItems() { PoolMoveAll(ItemPool); }

int SpawnItem(int kind, int px, int py) {
    int i = PoolFirstFree(ItemPool);
    if (i >= 0) ItemPool[i].Spawn(kind, px, py);
    return i;
}
