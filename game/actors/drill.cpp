#include "game/actors/drill.h"

#include "game/actors/death_chaser.h"
#include "game/actors/debris.h"
#include "game/actors/enemy.h"
#include "game/actors/explosion.h"
#include "game/actors/extra_boss.h"
#include "game/actors/field_actors.h"
#include "game/actors/last_boss.h"
#include "game/shell/assets.h"
#include "game/world/field.h"
#include "game/actors/player.h"

Drill TheDrill;

void Drill::Reset() {
    state = DrillFlying;
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
    animStep = 1;
    animFrame = 0;
}

void Drill::Spawn(int k, int px, int py, int d) {
    kind = k;
    x = px;
    y = py;
    dir = d;
    if (d / 2 == 0) {
        width = 16;
        height = 8;
    } else {
        width = 8;
        height = 16;
    }
    active = true;
}

void Drill::Draw() {
    if (!active) return;
    int column = state == DrillExploding ? 3 : animFrame;
    DrawSprite(DrillImageSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y), 16 * column, 16 * dir, width, height);
}

void Drill::Act() {
    if (!active) return;
    if (state == DrillExploding) {
        PlaySound(SoundDrillBlast);
        if (dir == DrillRight)
            SpawnExplosion(0, TruncToInt(x), TruncToInt(y - 10));
        else if (dir == DrillLeft)
            SpawnExplosion(0, TruncToInt(x - 4), TruncToInt(y - 10));
        else
            SpawnExplosion(0, TruncToInt(x - 10), TruncToInt(y - 4));
        Reset();
        return;
    }
    switch (dir) {
    case DrillRight: vx += 0.1; break;
    case DrillLeft: vx -= 0.1; break;
    case DrillUp: vy -= 0.1; break;
    case DrillDown: vy += 0.1; break;
    default: break;
    }
    animTimer += 1;
    if (animTimer > 50) {
        animFrame += animStep;
        if (animFrame <= 0 || animFrame >= 2) animStep = -animStep;
        animTimer = 0;
    }
}

void Drill::Move() {
    MoveStep();
    Collide();
}

void Drill::Collide() {
    if (!active) return;

    if (state == DrillFlying &&
        (!InRange(TruncToInt(x), Player.scrollX - width, Player.scrollX + 256) ||
         !InRange(TruncToInt(y), -height, 256))) {
        Reset();  // left the screen: gone without a sound
        return;
    }

    Rect d = dir / 2 == 0 ? MakeRect(TruncToInt(x), TruncToInt(y + 2), width, height / 2)
                          : MakeRect(TruncToInt(x + 2), TruncToInt(y), width / 2, height);

    LastBoss& lb = TheLastBoss;
    if (lb.active && (lb.phase == 1 || lb.phase == 2) &&
        RectsOverlap(d, MakeRect(TruncToInt(lb.x), TruncToInt(lb.y), lb.width, lb.height))) {
        lb.hp -= 1;
        if (lb.hp <= 0) lb.phase = 10;
        state = DrillExploding;
        return;
    }

    ExtraBoss& eb = TheExtraBoss;
    if (eb.active && eb.state == ExtraBossAlive &&
        RectsOverlap(d, MakeRect(TruncToInt(eb.x), TruncToInt(eb.y), eb.width, eb.height))) {
        if (RectsOverlap(d, ExtraBossWeakSpot(eb))) {
            eb.hp -= 1;
            if (eb.hp <= 0)
                eb.state = ExtraBossDefeated;
            else
                eb.phase = ExtraBossHurt;
        }
        state = DrillExploding;
        return;
    }

    for (int i = 0; i < EnemyPoolSize; ++i) {
        Enemy& e = EnemyPool[i];
        if (!e.active || e.state != EnemyAlive) continue;
        if (!RectsOverlap(d, MakeRect(TruncToInt(e.x), TruncToInt(e.y), e.width, e.height))) continue;
        state = DrillExploding;
        if (!e.drillable) {
            // armoured: unharmed
        } else if (e.kind == KindChaserBait) {
            SpawnDebris(1, TruncToInt(e.x), TruncToInt(e.y));
            if (TheDeathChaser.active) TheDeathChaser.state = ChaserDrivenOff;
            e.state = EnemyKnockedOut;
            e.vy = -4.0;
        } else if (e.revives) {
            e.Kill();
        } else {
            PlaySound(SoundKnockOut);
            e.state = EnemyKnockedOut;
            e.vy = -4.0;
        }
        return;
    }

    // Every touched cell is tested, so one drill can break several blocks.
    Rect body = MakeRect(TruncToInt(x), TruncToInt(y), width, height);
    for (int row = TruncToInt(x / 16); row < (x + width) / 16 + 1; ++row) {
        for (int cell = TruncToInt(y / 16); cell < (y + height) / 16 + 1; ++cell) {
            if (!IsSolid(row, cell)) continue;
            if (!RectsOverlap(MakeRect(16 * row, 16 * cell, 16, 16), body)) continue;
            if (IsBreakable(row, cell)) BreakBlock(row, cell);
            state = DrillExploding;
        }
    }
}
