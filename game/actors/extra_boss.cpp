#include "game/actors/extra_boss.h"

#include "game/actors/enemy.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

ExtraBoss TheExtraBoss;

void ExtraBoss::Reset() {
    state = 0;
    timer = 0;
    dir = 0;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 64;
    height = 64;
    active = false;
    code = 0;
    phase = ExtraBossRunning;
    hp = 0;
    animStep = 1;
    animFrame = 0;
}

void ExtraBoss::Spawn(int c, int row, int cell) {
    if (c != ExtraBossCode) return;
    state = ExtraBossAlive;
    animPeriod = 20;
    code = ExtraBossCode;
    phase = ExtraBossRunning;
    x = 16.0 * row - 256;  // a screen's width to the left of its cell
    y = 16.0 * cell - 64;
    width = height = 64;
    active = true;
    hp = 10;
    timer = 0;
    image = ExtraBossImageSlot;
    PlayMusic(MusicBoss);
}

Rect ExtraBossWeakSpot(const ExtraBoss& b) {
    if (b.dir == 0) return MakeRect(TruncToInt(b.x), TruncToInt(b.y), 32, 16);
    return MakeRect(TruncToInt(b.x + b.width - 32), TruncToInt(b.y), 32, 16);
}

void ExtraBoss::Act() {
    gravity = 0.35;
    if (!active) return;
    if (state == ExtraBossDefeated) {
        vx = 0;
        return;
    }
    if (phase == ExtraBossRunning) {
        // Faster the more it is hurt.
        if (hp < 2)
            vx = 1.8;
        else if (hp < 3)
            vx = 1.6;
        else if (hp < 4)
            vx = 1.4;
        else
            vx = 1.2;
        dir = vx >= 0 ? 1 : 0;
    }
    if (phase == ExtraBossHurt) {
        timer += 1;
        vx = 0;
        if (timer > 20) {
            timer = 0;
            phase = ExtraBossRunning;
        }
    }
    animTimer += 1;
    if (animTimer > animPeriod) {
        animFrame += animStep;
        if (animFrame <= 0 || animFrame >= 2) animStep = -animStep;
        animTimer = 0;
    }
}

void ExtraBoss::Move() {
    if (!active) return;
    MoveStep();
    Collide();
}

void ExtraBoss::Collide() {
    if (state == ExtraBossLeaving) {
        Reset();
        return;
    }
    if (state == ExtraBossDefeated) {
        // Falls through everything; the stage is won once it is gone.
        if (y > WorldHeight) {
            state = ExtraBossLeaving;
            GameState.StageCleared = 1;
        }
        return;
    }
    if (y > WorldHeight || y + 2 * height < 0) {
        state = ExtraBossLeaving;
        return;
    }
    if (x < 0 || x + width > WorldWidth) {
        dir = 1 - dir;
        x = x < 0 ? 0.0 : static_cast<double>(WorldWidth - width);
    }
    if (y + height < 0) y = -height;
    if (y + height > WorldHeight) y = WorldHeight - height;  // the world's bottom holds it up

    int top = WorldHeight;
    int hits = 0;
    for (int row = TruncToInt(x / 16); row < (x + width) / 16 + 1 && hits < 2; ++row) {
        for (int cell = 0; cell < GridCells; ++cell) {
            if (!IsSolid(row, cell)) continue;
            Rect r = MakeRect(16 * row, 16 * cell, 15, 15);
            if (PointInRect(TruncToInt(x + 2), TruncToInt(y + height - 1), r)) {
                if (16 * cell < top) top = 16 * cell;
                if (++hits >= 2) break;
            }
            if (PointInRect(TruncToInt(x + width - 3), TruncToInt(y + height - 1), r)) {
                if (16 * cell < top) top = 16 * cell;
                if (++hits >= 2) break;
            }
        }
    }
    if (hits > 0) {
        y = top - height;
        vy = 0;
    }

    if (Player.state == PlayerAlive &&
        RectsOverlap(MakeRect(TruncToInt(Player.x), TruncToInt(Player.y + 2), Player.width, Player.height - 4),
                     MakeRect(TruncToInt(x), TruncToInt(y), width, height))) {
        Player.vy = -2.5;
        Player.state = PlayerDying;
        state = ExtraBossLeaving;
    }
}

void ExtraBoss::Draw() {
    if (!active) return;
    if (phase == ExtraBossHurt) {
        DrawSprite(image, TruncToInt(x) - Player.scrollX, TruncToInt(y), 0, (dir + 2) * height, width, height);
        return;
    }
    int column = state == ExtraBossDefeated ? 3 : animFrame;
    int sx = dir == 1 ? TruncToInt(x - Player.scrollX + 3) : TruncToInt(x - Player.scrollX - 3);
    DrawSprite(image, sx, TruncToInt(y) + 3, column * width, dir * height, width, height);
}
