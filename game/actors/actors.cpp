#include "game/actors/actors.h"

#include "game/actors/player.h"

void ResetAllActors() {
    TheDrill.Reset();
    TheDeathChaser.Reset();
    TheLastBoss.Reset();
    TheExtraBoss.Reset();
    ResetEnemies();
    ResetExplosions();
    ResetItems();
    ResetDebris();
    TheDoor.Reset();
}

void SpawnStartRows() {
    for (int row = 0; row <= 16; ++row) SpawnRow(row);
}

void DrawActorsBehindPlayer() {
    DrawDebris();
    TheLastBoss.Draw();
    TheExtraBoss.Draw();
    DrawEnemies();
    DrawItems();
    TheDrill.Draw();
}

void DrawActorsInFrontOfPlayer() {
    DrawExplosions();
    TheDeathChaser.Draw();
}

void ActAndMoveActors() {
    TheDrill.Act();
    TheDrill.Move();
    ActEnemies();
    MoveEnemies();
    ActExplosions();
    MoveExplosions();
    ActItems();
    MoveItems();
    TheDoor.Act();
    TheDoor.Move();
    ActDebris();
    MoveDebris();
    TheDeathChaser.Act();
    TheDeathChaser.Move();
    TheLastBoss.Act();
    TheLastBoss.Move();
    TheExtraBoss.Act();
    TheExtraBoss.Move();
}

void SpawnNextRow() { SpawnRow((Player.scrollX + 256) / 16 + 1); }
