// Every moving thing of a stage other than the player, and the order in
// which the gameplay scene drives them.
//
// Stage start (after the player's Reset):
//   ResetAllActors();          drill, chaser, last boss, extra boss, enemies,
//                              explosions, items, debris, door
//   ReadStageFile(...); SetUpField();   (places the door and items)
//   SpawnStartRows();          SpawnRow(0) ... SpawnRow(16)
// Every frame:
//   DrawField();               (draws the door)
//   DrawActorsBehindPlayer();  debris, last boss, extra boss, enemies, items, drill
//   Player.Draw();
//   DrawActorsInFrontOfPlayer();  explosions, death chaser
//   DrawHud();
//   player Act and Move unless the stage is cleared; then, only while the
//   player is alive and the stage not cleared: the stage timer (which may
//   summon TheDeathChaser.Spawn(0, int(Player.x / 16 - 10), 7)), then
//   ActAndMoveActors();        drill; enemies (Act all, then Move all);
//                              explosions; items; door; debris; chaser;
//                              last boss; extra boss
//   SpawnNextRow();            SpawnRow((Player.scrollX + 256) / 16 + 1)
#pragma once

#include "game/actors/actor.h"
#include "game/actors/death_chaser.h"
#include "game/actors/debris.h"
#include "game/actors/door.h"
#include "game/actors/drill.h"
#include "game/actors/enemy.h"
#include "game/actors/explosion.h"
#include "game/actors/extra_boss.h"
#include "game/actors/field_actors.h"
#include "game/actors/item.h"
#include "game/actors/last_boss.h"
#include "game/actors/random.h"

void ResetAllActors();
void SpawnStartRows();
void DrawActorsBehindPlayer();
void DrawActorsInFrontOfPlayer();
void ActAndMoveActors();
void SpawnNextRow();
