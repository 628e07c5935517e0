// Enemies and their shots: one class told apart by the kind number that
// comes from the stage's spawn grid.
#pragma once

#include "game/actors/actor.h"
#include "game/shell/assets.h"

// state values of an enemy.
enum { EnemyInactive = 0, EnemyAlive = 1, EnemyLeaving = 2, EnemySquashed = 3, EnemyKnockedOut = 4 };

// Enemy kinds: the spawn codes of StageGrid and of SpawnEnemyAt. Each kind
// has one row in KindTable (enemy.cpp): its flags, look and movement rule.
// Any other code spawns an enemy that only falls.
enum EnemyKind {
    KindCrawler = 0,
    KindWalker = 1,
    KindPacer = 2,
    KindGunner = 3,
    KindHopper = 4,
    KindReviver = 5,
    KindBobber = 6,
    KindWatcher = 7,
    KindBomber = 8,
    KindWaveFlyer = 9,
    KindDiagonalFlyer = 10,
    KindLift = 11,
    KindSpikeWalker = 12,
    KindShot = 13,
    KindLeaper = 14,
    KindStroller = 15,
    KindSprinter = 16,
    KindHaunter = 17,
    KindFireball = 18,
    KindCannon = 19,
    KindBomb = 20,
    KindRusher = 21,
    KindStatue = 22,
    KindCreeper = 23,
    KindBossSpark = 30,
    KindChaserBait = 99,
};

constexpr int EnemyPoolSize = 300;
// Spawn codes of the two bosses in StageGrid.
constexpr int ExtraBossCode = 48;
constexpr int LastBossCode = 49;

struct Enemy : Actor {
    bool active = false;
    int kind = 0;
    int phase = 0;
    int vdir = 1;       // 0 down, 1 up (kinds 6, 10, 11)
    int frameBase = 0;  // first sprite column of the current look
    int look = 0;       // sprite row pair
    int param = 0;      // per kind: see KindBomber, KindLeaper, KindBossSpark
    bool falls = true;
    bool turnsAtLedges = false;
    bool stompable = true;
    bool drillable = true;
    bool fragile = false;
    bool bounces = false;
    bool ghost = false;
    bool revives = false;
    bool pingPong = false;
    int animTimer = 0;
    int animStep = 1;
    int animFrame = 0;

    Enemy() { state = EnemyInactive; dir = 1; }

    void Reset();
    // From a grid cell: x = 16 row, y = 16 cell.
    void Spawn(int kind, int row, int cell);
    void Kill();  // squashed
    void Draw();
    void Act();
    void Move();
    void Collide();
};

extern Enemy EnemyPool[EnemyPoolSize];

void ResetEnemies();
void DrawEnemies();
void ActEnemies();
void MoveEnemies();

// The first inactive enemy spawned at a pixel position; dropped when the
// pool is full. Returns the pool index or -1.
int SpawnEnemyAt(int kind, int px, int py, int dir);
// Spawns what StageGrid holds for one row; a boss code stops the row, and a
// cell whose enemy found no free slot keeps its code for a later call.
void SpawnRow(int row);
