#include "game/actors/field_actors.h"

#include "game/actors/debris.h"
#include "game/actors/door.h"
#include "game/actors/item.h"
#include "game/actors/player.h"
#include "game/world/stage_file.h"

void SetUpField() {
    SetUpFieldTiles();
    for (int r = 0; r < GridRows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            int code = FieldGrid[r][c];
            int item = PlacedItemKind(code);
            if (item >= 0) SpawnItem(item, 16 * r, 16 * c);
            if (code == FieldDoor) SpawnDoor(0, r, c);
        }
    }
}

void BreakBlock(int row, int cell) {
    int item = -1;
    if (!ClearBlock(row, cell, &item)) return;
    if (item >= 0) SpawnItem(item, 16 * row, 16 * cell);
    SpawnDebris(0, row, cell);
}

void DrawLayer(int slot, int divisor) { DrawLayerAt(slot, divisor, Player.scrollX); }

void DrawField() {
    DrawFieldBackground(Player.scrollX);
    DrawDoor();
    DrawFieldTiles(Player.scrollX);
}
