// Where the field meets the actors: a broken block releases its item and
// debris, the stage start places the door and the items, and the field is
// drawn at the player's scroll with the door between background and tiles.
#pragma once

#include "game/world/field.h"

// Builds TileGrid from FieldGrid, places the stage's items and the door.
void SetUpField();
// Breaks a breakable cell: clears it, leaves its item, launches debris.
void BreakBlock(int row, int cell);
// Background fill, the three layers of the stage kind, the door, the tiles.
void DrawField();
// A repeating 256 x 256 layer at Player.scrollX / divisor (divisor <= 0: still).
void DrawLayer(int slot, int divisor);
