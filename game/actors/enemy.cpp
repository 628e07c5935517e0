#include "game/actors/enemy.h"

#include <algorithm>
#include <cmath>

#include "game/actors/extra_boss.h"
#include "game/actors/item.h"
#include "game/actors/last_boss.h"
#include "game/actors/random.h"
#include "game/shell/assets.h"
#include "game/world/field.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

Enemy EnemyPool[EnemyPoolSize];

namespace {

// The value rounded to single precision. Stored through a volatile float
// so the optimiser cannot drop the rounding.
double RoundToSingle(double v) {
    volatile float f = static_cast<float>(v);
    return static_cast<double>(f);
}

}  // namespace

namespace {

constexpr double EnemyGravity = 0.35;
constexpr double KnockOutHop = -4.0;

// ±v: positive when facing right (dir 0).
double Facing(int dir, double v) { return dir == 0 ? v : -v; }

// Squared distance of the top-left corners, truncated, below the bound.
// Both sides are non-negative, so comparing before truncation is the same.
bool NearPlayer(const Enemy& e, int bound) {
    double dx = Player.x - e.x;
    double dy = Player.y - e.y;
    return dx * dx + dy * dy < bound;
}

void KnockOut(Enemy& e) {
    e.vy = KnockOutHop;
    e.state = EnemyKnockedOut;
}

// x of a shot fired ahead of the enemy.
int Muzzle(const Enemy& e) { return e.dir == 0 ? TruncToInt(e.x + 16) : TruncToInt(e.x - 16); }

// ------------------------------------------------ one rule per kind
// To add a kind: its name in EnemyKind (enemy.h), its Move function here
// and its row in KindTable below.

// Walks at 0.3
void MoveCrawler(Enemy& e) { e.vx = Facing(e.dir, 0.3); }

// Walks at 0.8
void MoveWalker(Enemy& e) { e.vx = Facing(e.dir, 0.8); }

// Walks at 0.7 and turns round every 151 frames
void MovePacer(Enemy& e) {
    e.vx = Facing(e.dir, 0.7);
    e.timer += 1;
    if (e.timer > 150) {
        e.dir = 1 - e.dir;
        e.timer = 0;
    }
}

// Creeps for 201 frames, stands for 61, then fires a KindShot ahead
void MoveGunner(Enemy& e) {
    if (e.phase == 0) {
        e.vx = Facing(e.dir, 0.2);
        e.timer += 1;
        if (e.timer > 200) {
            e.phase = 1;
            e.timer = 0;
            e.frameBase = 5;
        }
    } else if (e.phase == 1) {
        e.vx = 0;
        e.timer += 1;
        if (e.timer > 60) {
            SpawnEnemyAt(KindShot, Muzzle(e), TruncToInt(e.y), e.dir);
            e.phase = 0;
            e.timer = 0;
            e.frameBase = 0;
        }
    }
}

// Walks for 201 frames, jumps straight up, stands for 101
void MoveHopper(Enemy& e) {
    if (e.phase == 0) {
        e.vx = Facing(e.dir, 0.8);
        e.timer += 1;
        if (e.timer > 200) {
            e.gravity = -5.5;  // a jump: only this frame's Move adds it
            e.vx = 0;
            e.phase = 1;
            e.timer = 0;
        }
    } else if (e.phase == 1) {
        e.timer += 1;
        if (e.timer > 100) {
            e.phase = 0;
            e.timer = 0;
        }
    }
}

// Creeps at 0.2
void MoveReviver(Enemy& e) { e.vx = Facing(e.dir, 0.2); }

// Flies up and down (vdir), turning every 151 frames, facing the player
void MoveBobber(Enemy& e) {
    e.vy = e.vdir == 0 ? 0.35 : -0.35;
    e.dir = (e.x + e.width / 2) >= (Player.x + Player.width / 2) ? 1 : 0;
    e.timer += 1;
    if (e.timer > 150) {
        e.vdir = 1 - e.vdir;
        e.timer = 0;
    }
}

// Walks at 0.3; looks up while the player is near
void MoveWatcher(Enemy& e) {
    e.vx = Facing(e.dir, 0.3);
    e.look = NearPlayer(e, 9216) ? 8 : 7;
}

// Walks at 0.8, turning every 301 frames, and drops a KindBomb every 151;
// param counts the frames since the last bomb
void MoveBomber(Enemy& e) {
    e.vx = Facing(e.dir, 0.8);
    e.timer += 1;
    if (e.timer > 300) {
        e.timer = 0;
        e.dir = 1 - e.dir;
    }
    e.param += 1;
    if (e.param > 150) {
        e.param = 0;
        SpawnEnemyAt(KindBomb, TruncToInt(e.x), TruncToInt(e.y + 2), e.dir);
    }
}

// Flies ahead at 0.5 on a cosine wave
void MoveWaveFlyer(Enemy& e) {
    e.vx = Facing(e.dir, 0.5);
    e.timer += 1;
    e.vy = std::cos(e.timer * 0.05) * 1.5;
}

// Flies ahead at 0.5 and up or down at 0.5 (vdir)
void MoveDiagonalFlyer(Enemy& e) {
    e.vx = Facing(e.dir, 0.5);
    e.vy = e.vdir == 0 ? 0.5 : -0.5;
}

// Moves straight up or down at 0.8 (vdir)
void MoveLift(Enemy& e) { e.vy = e.vdir == 0 ? 0.8 : -0.8; }

// Walks at 0.8
void MoveSpikeWalker(Enemy& e) { e.vx = Facing(e.dir, 0.8); }

// The gunner's shot: flies ahead at 1.0
void MoveShot(Enemy& e) { e.vx = Facing(e.dir, 1.0); }

// Swims at 0.8; leaps out when the player is near and drops back;
// param is the height it leapt from
void MoveLeaper(Enemy& e) {
    if (e.phase == 0) {
        e.vy = 0;
        e.gravity = 0;
        e.vx = Facing(e.dir, 0.8);
        if (NearPlayer(e, 4096)) {
            PlaySound(SoundSplash);
            e.phase = 1;
            e.look = 1;
            e.timer = 0;
            e.param = TruncToInt(e.y);
            e.ghost = true;
        }
    } else if (e.phase == 1) {
        e.vx = 0;
        e.vy = -2.5;
        e.gravity = e.timer * 0.05;
        e.timer += 1;
        if (e.vy + e.gravity > 0) {
            e.phase = 2;
            e.look = 2;
            e.timer = 0;
        }
    } else if (e.phase == 2) {
        e.vx = 0;
        e.vy = 1.9;
        e.gravity = e.timer * 0.05;
        if (e.param <= e.y) {
            PlaySound(SoundSplash);
            e.phase = 0;
            e.look = 0;
            e.timer = 0;
            e.y = e.param;
            e.ghost = false;
        }
    }
}

// Walks at 0.4
void MoveStroller(Enemy& e) { e.vx = Facing(e.dir, 0.4); }

// Walks at 0.5 for 201 frames, then runs at 1.0 for 101
void MoveSprinter(Enemy& e) {
    if (e.phase == 0) {
        e.vx = Facing(e.dir, 0.5);
        e.timer += 1;
        if (e.timer > 200) {
            e.phase = 1;
            e.timer = 0;
        }
    } else if (e.phase == 1) {
        e.vx = Facing(e.dir, 1.0);
        e.timer += 1;
        if (e.timer > 100) {
            e.phase = 0;
            e.timer = 0;
        }
    }
}

// Drifts at the player at 0.5 on each axis
void MoveHaunter(Enemy& e) {
    if (TruncToInt(Player.x - e.x) == 0) {
        e.x = Player.x;
    } else {
        e.vx = Player.x < e.x ? -0.5 : 0.5;
    }
    if (Player.y == e.y) {
        e.vy = 0;
    } else {
        e.vy = Player.y < e.y ? -0.5 : 0.5;
    }
    e.dir = e.vx < 0 ? 1 : 0;
    e.gravity = 0;
    e.timer += 1;
}

// The cannon's shot: flies ahead at 1.0
void MoveFireball(Enemy& e) { e.vx = Facing(e.dir, 1.0); }

// Creeps at 0.2 and fires a KindFireball ahead every 101 frames
void MoveCannon(Enemy& e) {
    e.timer += 1;
    if (e.phase == 0) {
        e.vx = Facing(e.dir, 0.2);
        if (e.timer > 100) {
            e.phase = 0;
            e.timer = 0;
            SpawnEnemyAt(KindFireball, Muzzle(e), TruncToInt(e.y), e.dir);
        }
    }
}

// The bomber's bomb: drifts ahead at 0.2
void MoveBomb(Enemy& e) { e.vx = Facing(e.dir, 0.2); }

// Creeps for 301 frames, then rushes at 1.2 for 101
void MoveRusher(Enemy& e) {
    if (e.phase == 0) {
        e.vx = Facing(e.dir, 0.2);
        e.timer += 1;
        if (e.timer > 300) {
            e.look = 12;
            e.phase = 1;
            e.timer = 0;
        }
    } else if (e.phase == 1) {
        e.vx = Facing(e.dir, 1.2);
        e.timer += 1;
        if (e.timer > 100) {
            e.look = 11;
            e.phase = 0;
            e.timer = 0;
        }
    }
}

// Stands still
void MoveStatue(Enemy& e) { e.vx = 0; }

// Walks at 0.4
void MoveCreeper(Enemy& e) { e.vx = Facing(e.dir, 0.4); }

// The last boss's spark: speeds up along param, a heading in degrees
// drawn at spawn
void MoveBossSpark(Enemy& e) {
    e.timer += 1;
    double a = e.param / 180.0 * 3.14159265358979323846;
    // Each increment is rounded to single precision before it is added.
    e.vx += RoundToSingle(std::cos(a) * 0.02);
    e.vy += RoundToSingle(std::sin(a) * 0.02);
    e.gravity = 0;
}

// The last boss's last call: hovers about y 120; the drill breaks it
// and sends the death chaser away
void MoveChaserBait(Enemy& e) {
    e.timer += 1;
    e.vy = e.y > 120 ? -1.0 : 1.0;
}

void StartBomber(Enemy& e) { e.param = 0; }
void StartBossSpark(Enemy& e) { e.param = GameRand() % 180; }

// The row of a kind: what Spawn sets (N leaves the value after Reset), what
// else Spawn does, and the movement rule Act runs every frame while alive.
struct KindRow {
    int kind, look, frameBase;
    signed char falls, turnsAtLedges, stompable, drillable, fragile, bounces, ghost, revives, pingPong;
    void (*start)(Enemy&);  // after the flags; may be null
    void (*move)(Enemy&);
};

constexpr int N = -1;  // blank: value after Reset
constexpr KindRow KindTable[] = {
    // kind              look fB   fall ledg stmp drll frag bnce ghst rev  ping start            move
    {KindCrawler,        N,   N,   N,   N,   N,   1,   N,   N,   N,   N,   1,   nullptr,         MoveCrawler},
    {KindWalker,         N,   N,   N,   1,   N,   1,   N,   N,   N,   N,   N,   nullptr,         MoveWalker},
    {KindPacer,          N,   N,   0,   N,   N,   N,   N,   N,   N,   N,   1,   nullptr,         MovePacer},
    {KindGunner,         3,   0,   N,   1,   N,   N,   N,   N,   N,   N,   N,   nullptr,         MoveGunner},
    {KindHopper,         N,   N,   N,   1,   N,   N,   N,   N,   N,   N,   1,   nullptr,         MoveHopper},
    {KindReviver,        N,   N,   N,   1,   N,   N,   N,   N,   N,   1,   1,   nullptr,         MoveReviver},
    {KindBobber,         N,   N,   0,   N,   N,   N,   N,   1,   N,   N,   N,   nullptr,         MoveBobber},
    {KindWatcher,        N,   N,   N,   1,   N,   N,   N,   N,   N,   N,   N,   nullptr,         MoveWatcher},
    {KindBomber,         6,   5,   0,   0,   1,   N,   N,   1,   N,   N,   N,   StartBomber,     MoveBomber},
    {KindWaveFlyer,      N,   N,   0,   N,   N,   N,   N,   N,   N,   N,   N,   nullptr,         MoveWaveFlyer},
    {KindDiagonalFlyer,  N,   N,   N,   N,   0,   N,   N,   1,   N,   N,   N,   nullptr,         MoveDiagonalFlyer},
    {KindLift,           N,   N,   0,   N,   0,   0,   N,   1,   N,   N,   1,   nullptr,         MoveLift},
    {KindSpikeWalker,    11,  N,   0,   N,   0,   0,   N,   N,   N,   N,   1,   nullptr,         MoveSpikeWalker},
    {KindShot,           12,  N,   0,   N,   N,   N,   1,   N,   N,   N,   N,   nullptr,         MoveShot},
    {KindLeaper,         0,   5,   0,   N,   1,   1,   N,   N,   0,   N,   0,   nullptr,         MoveLeaper},
    {KindStroller,       4,   5,   N,   1,   N,   1,   N,   N,   N,   N,   0,   nullptr,         MoveStroller},
    {KindSprinter,       13,  0,   1,   1,   1,   0,   N,   N,   0,   N,   0,   nullptr,         MoveSprinter},
    {KindHaunter,        14,  0,   0,   0,   1,   1,   N,   N,   1,   N,   0,   nullptr,         MoveHaunter},
    {KindFireball,       7,   5,   0,   0,   0,   1,   1,   N,   0,   N,   0,   nullptr,         MoveFireball},
    {KindCannon,         8,   5,   1,   1,   1,   1,   0,   N,   0,   1,   0,   nullptr,         MoveCannon},
    {KindBomb,           5,   5,   1,   0,   0,   0,   1,   N,   0,   0,   0,   nullptr,         MoveBomb},
    {KindRusher,         11,  5,   1,   1,   1,   1,   0,   N,   0,   0,   0,   nullptr,         MoveRusher},
    {KindStatue,         11,  0,   0,   N,   0,   0,   N,   N,   N,   N,   1,   nullptr,         MoveStatue},
    {KindCreeper,        5,   5,   1,   0,   0,   0,   0,   N,   0,   0,   0,   nullptr,         MoveCreeper},
    {KindBossSpark,      9,   5,   0,   0,   0,   0,   N,   N,   1,   N,   0,   StartBossSpark,  MoveBossSpark},
    {KindChaserBait,     14,  5,   0,   0,   0,   1,   N,   N,   1,   N,   0,   nullptr,         MoveChaserBait},
};

// KindTable's row of each kind code, built once by the compiler.
constexpr int LargestKind = 99;
struct KindIndex {
    signed char row[LargestKind + 1];
};
constexpr KindIndex MakeKindIndex() {
    KindIndex index{};
    for (int k = 0; k <= LargestKind; ++k) index.row[k] = -1;
    for (int i = 0; i < int(sizeof KindTable / sizeof KindTable[0]); ++i) index.row[KindTable[i].kind] = i;
    return index;
}
constexpr KindIndex KindRows = MakeKindIndex();

const KindRow* FindKind(int kind) {
    if (kind < 0 || kind > LargestKind || KindRows.row[kind] < 0) return nullptr;
    return &KindTable[KindRows.row[kind]];
}

void ApplyFlag(bool& field, signed char v) {
    if (v >= 0) field = v != 0;
}

void ApplyKindRow(Enemy& e) {
    if (const KindRow* row = FindKind(e.kind)) {
        const KindRow& r = *row;
        if (r.look >= 0) e.look = r.look;
        if (r.frameBase >= 0) e.frameBase = r.frameBase;
        ApplyFlag(e.falls, r.falls);
        ApplyFlag(e.turnsAtLedges, r.turnsAtLedges);
        ApplyFlag(e.stompable, r.stompable);
        ApplyFlag(e.drillable, r.drillable);
        ApplyFlag(e.fragile, r.fragile);
        ApplyFlag(e.bounces, r.bounces);
        ApplyFlag(e.ghost, r.ghost);
        ApplyFlag(e.revives, r.revives);
        ApplyFlag(e.pingPong, r.pingPong);
        if (r.start) r.start(e);
    }
}

// Any other code has no rule: it only falls.
void MovementRule(Enemy& e) { if (const KindRow* row = FindKind(e.kind)) row->move(e); }

}  // namespace

void Enemy::Reset() {
    state = EnemyInactive;
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
    phase = 0;
    vdir = 1;
    frameBase = 0;
    look = 0;
    falls = true;
    turnsAtLedges = false;
    stompable = true;
    drillable = true;
    fragile = false;
    bounces = false;
    ghost = false;
    revives = false;
    pingPong = false;
    animStep = 1;
    animFrame = 0;
}

void Enemy::Spawn(int k, int row, int cell) {
    kind = k;
    phase = 0;
    timer = 0;
    x = 16.0 * row;
    y = 16.0 * cell;
    active = true;
    state = EnemyAlive;
    frameBase = 0;
    look = kind;
    ApplyKindRow(*this);
}

void Enemy::Kill() {
    timer = 0;
    state = EnemySquashed;
}

void Enemy::Draw() {
    if (!active) return;
    if (state == EnemyKnockedOut && timer % 2 == 0) return;  // blinks while it falls
    int column = frameBase + animFrame;
    if (state == EnemySquashed) column = frameBase + 3;
    if (state == EnemyKnockedOut) column = frameBase + 4;
    DrawSprite(EnemyImageSlot, TruncToInt(x) - Player.scrollX, TruncToInt(y), 16 * column,
               16 * (dir + 2 * look), width, height);
}

void Enemy::Act() {
    gravity = EnemyGravity;
    if (state == EnemySquashed) {
        vx = 0;
        return;
    }
    if (state == EnemyKnockedOut) {
        timer += 1;
        vx = 0;
        return;
    }
    gravity = falls ? EnemyGravity : 0.0;
    MovementRule(*this);

    animTimer += 1;
    if (animTimer > 5) {
        animFrame += animStep;
        if (!pingPong) {
            if (animFrame > 2) animFrame = 0;
        } else if (animFrame <= 0 || animFrame >= 2) {
            animStep = -animStep;
        }
        animTimer = 0;
    }
}

void Enemy::Move() {
    MoveStep();
    Collide();
}

void Enemy::Collide() {
    if (state == EnemyLeaving) {
        Reset();
        return;
    }
    if (state == EnemyKnockedOut) {
        if (y > WorldHeight) state = EnemyLeaving;
        return;
    }
    if (y > WorldHeight || y + 2 * height < 0) {
        state = EnemyLeaving;
        return;
    }
    if (bounces) {
        if (x < 0 || x + width > WorldWidth) {
            dir = 1 - dir;
            x = x < 0 ? 0.0 : static_cast<double>(WorldWidth - width);
        }
        if (y < 0 || y + height > WorldHeight) {
            vdir = 1 - vdir;
            y = y < 0 ? 0.0 : static_cast<double>(WorldHeight - height);
        }
    }

    // Ground under the two feet.
    int top = WorldHeight;
    int hits = 0;
    bool left = false, right = false;
    if (!ghost) {
        // The walk does not move the enemy: the feet stay put.
        const int leftFootX = TruncToInt(x + 2), rightFootX = TruncToInt(x + width - 3);
        const int footY = TruncToInt(y + height - 1);
        WalkSolidCells(*this, footY, footY, [&](int, int cell, const Rect& r) {
            if (PointInRect(leftFootX, footY, r)) {
                if (16 * cell < top) top = 16 * cell;
                hits += 1;
                left = true;
                if (hits >= 2) return false;
            }
            if (PointInRect(rightFootX, footY, r)) {
                if (16 * cell < top) top = 16 * cell;
                hits += 1;
                right = true;
                if (hits >= 2) return false;
            }
            return true;
        });
    }
    if (hits == 1 && turnsAtLedges) {
        if (left && !right) dir = 1;
        if (right && !left) dir = 0;
    }
    if (hits > 0) {
        if (fragile) {
            KnockOut(*this);
            return;
        }
        y = top - height;
        vy = 0;
        vdir = 1 - vdir;
    }

    // Head, right side and left side against every solid cell.
    if (!ghost) {
        bool knocked = false;
        // The test boxes depend on x and y only: built once and again after
        // each test that moves the enemy, instead of for every cell.
        Rect head, rightSide, leftSide;
        int bandTop = 0, bandBottom = 0;
        auto boxes = [&] {
            head = MakeRect(TruncToInt(x + 7), TruncToInt(y), width - 14, height / 2);
            rightSide = MakeRect(TruncToInt(x + width / 2), TruncToInt(y + 2), width / 2 - 1, height - 4);
            leftSide = MakeRect(TruncToInt(x), TruncToInt(y + 2), width / 2, height - 4);
            bandTop = std::min(head.top, std::min(rightSide.top, leftSide.top));
            bandBottom = std::max(head.bottom, std::max(rightSide.bottom, leftSide.bottom));
        };
        boxes();
        WalkSolidCells(*this, bandTop, bandBottom, [&](int, int, const Rect& r) {
            if (RectsOverlap(head, r)) {
                if (fragile) {
                    knocked = true;
                    return false;
                }
                y = r.bottom + 1;
                vy = 0;
                vdir = 1 - vdir;
                boxes();
            }
            if (RectsOverlap(rightSide, r)) {
                if (fragile) {
                    knocked = true;
                    return false;
                }
                x = r.left - width;
                vx = 0;
                dir = 1 - dir;
                boxes();
            }
            if (RectsOverlap(leftSide, r)) {
                if (fragile) {
                    knocked = true;
                    return false;
                }
                x = r.right + 1;
                vx = 0;
                dir = 1 - dir;
                boxes();
            }
            return true;
        });
        if (knocked) {
            KnockOut(*this);
            return;
        }
    }

    if (state == EnemySquashed) {
        timer += 1;
        if (revives) {
            if (timer > 300) state = EnemyAlive;
        } else if (timer > 15) {
            Reset();
        }
        return;
    }
    if (Player.state != PlayerAlive) return;

    if (stompable &&
        RectsOverlap(MakeRect(TruncToInt(x), TruncToInt(y), width - 1, height / 2 - 1),
                     MakeRect(TruncToInt(Player.x), TruncToInt(Player.y + Player.height / 2), Player.width - 1,
                              Player.height / 2 - 1))) {
        PlaySound(SoundStomp);
        if (!revives) {
            int r = GameRand() % 3;
            if (r == 0) SpawnItem(ItemCoin, TruncToInt(x), TruncToInt(y));
        }
        Kill();
        Player.vy = -4.0;
        return;
    }
    if (RectsOverlap(MakeRect(TruncToInt(x + 1), TruncToInt(y + 1), width - 2, height - 2),
                     MakeRect(TruncToInt(Player.x + 1), TruncToInt(Player.y + 1), Player.width - 2,
                              Player.height - 2))) {
        PlaySound(SoundPlayerLost);
        Player.vy = -2.5;
        Player.state = PlayerDying;
    }
}

void ResetEnemies() { PoolResetAll(EnemyPool); }

void DrawEnemies() { PoolDrawAll(EnemyPool); }

void ActEnemies() { PoolActAll(EnemyPool); }

void MoveEnemies() { PoolMoveAll(EnemyPool); }

namespace {
int FirstFreeEnemy() { return PoolFirstFree(EnemyPool); }
}  // namespace

int SpawnEnemyAt(int kind, int px, int py, int dir) {
    int i = FirstFreeEnemy();
    if (i < 0) return -1;
    Enemy& e = EnemyPool[i];
    e.Spawn(kind, -1, -1);
    e.x = px;
    e.y = py;
    e.dir = dir;
    return i;
}

void SpawnRow(int row) {
    if (row < 0 || row >= GridRows) return;
    for (int cell = 0; cell < GridCells; ++cell) {
        int code = StageGrid[row][cell];
        if (code < 0) continue;
        if (code == LastBossCode) {
            TheLastBoss.Spawn(LastBossCode, row, cell);
            StageGrid[row][cell] = -1;
            return;  // the rest of the row waits for a later call
        }
        if (code == ExtraBossCode) {
            TheExtraBoss.Spawn(ExtraBossCode, row, cell);
            StageGrid[row][cell] = -1;
            return;
        }
        int i = FirstFreeEnemy();
        if (i < 0) continue;  // the cell keeps its code
        EnemyPool[i].Spawn(code, row, cell);
        StageGrid[row][cell] = -1;
    }
}
