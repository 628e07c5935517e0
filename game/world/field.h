// The field: ground, blocks and the scrolling background of a stage. It
// knows only the grids; what a block releases and the door and items it
// places are spawned by the actors (game/actors/field_actors.h).
#pragma once

#include <cstring>

#include "game/world/stage_file.h"
#include "game/shell/assets.h"

// Field codes held in FieldGrid.
enum FieldCode {
    FieldEmpty = 0,
    FieldGround = 1,       // solid, unbreakable, tile chosen by its neighbours
    FieldBlock = 2,        // breakable, leaves nothing
    FieldCoinBlock = 3,    // breakable, leaves item kind 0
    FieldKeyBlock = 4,     // breakable, leaves item kind 1
    FieldHiddenBlock = 5,  // breakable, not drawn, leaves item kind 2
    FieldCoin = 10,        // item kind 0 placed at stage start
    FieldKey = 11,         // item kind 1 placed at stage start
    FieldDoor = 49,        // the exit door
};

// TileGrid values: 0 nothing, TileGroundBase + variant (0..15), TileBlock.
constexpr int TileNone = 0;
constexpr int TileGroundBase = 100;
constexpr int TileBlock = 116;

// Ground tile variant 0..15 of the cell from its four neighbours (outside
// the grid counts as ground; blocks do not).
int GroundVariant(int row, int cell);

// Builds TileGrid from FieldGrid.
void SetUpFieldTiles();
// The item kind a field code places at stage start (FieldCoin, FieldKey),
// else -1.
inline int PlacedItemKind(int code) { return code == FieldCoin || code == FieldKey ? code - FieldCoin : -1; }
// Background fill and the three layers of the stage kind, at a scroll.
void DrawFieldBackground(int scrollX);
// The ground and block tiles of the screen at a scroll.
void DrawFieldTiles(int scrollX);

// False outside the grid; true for codes 1 to 5. Inline: every actor's
// collision test asks it for each cell it walks, every frame.
inline bool IsSolid(int row, int cell) {
    if (row < 0 || row >= GridRows || cell < 0 || cell >= GridCells) return false;
    int code = FieldGrid[row][cell];
    return code >= FieldGround && code <= FieldHiddenBlock;
}
// Bit c set when IsSolid(row, c), for a walk over the solid cells of a
// row in cell order without a branch per cell. The collision walks that
// use it never change the field while they walk.
inline unsigned SolidCellMask(int row) {
    if (row < 0 || row >= GridRows) return 0;
    // Four cells at a time (the compiler's generic vectors).
    typedef int Cells4 __attribute__((vector_size(16)));
    typedef unsigned Bits4 __attribute__((vector_size(16)));
    const Bits4 weights = {1u, 2u, 4u, 8u};
    Bits4 bits = {0u, 0u, 0u, 0u};
    for (int q = 0; q < GridCells / 4; ++q) {
        Cells4 codes;
        std::memcpy(&codes, &FieldGrid[row][4 * q], sizeof codes);
        Bits4 offset = (Bits4)(codes - int(FieldGround));
        Bits4 solid = (Bits4)(offset <= unsigned(FieldHiddenBlock - FieldGround));
        bits |= (solid & weights) << (4 * q);
    }
    return bits[0] | bits[1] | bits[2] | bits[3];
}
// Lowest set bit's index of a non-zero mask.
inline int LowestCell(unsigned mask) { return __builtin_ctz(mask); }
// Bit c set when the cell's pixel rows 16c ... 16c + 15 meet top ... bottom.
// A walk may pass over solid cells outside the band of its test boxes and
// points: none of them can touch such a cell.
inline unsigned CellBand(int top, int bottom) {
    if (bottom < 0 || top > 16 * GridCells - 1 || top > bottom) return 0;
    int lo = top > 0 ? top / 16 : 0;
    int hi = bottom / 16 < GridCells - 1 ? bottom / 16 : GridCells - 1;
    return ((2u << hi) - 1) & ~((1u << lo) - 1);
}
// The cells of a mask after `cell`, still to walk.
inline unsigned CellsAfter(unsigned mask, int cell) { return mask & (~1u << cell); }

// False outside the grid; true for codes 2 to 5.
bool IsBreakable(int row, int cell);
// Clears a breakable cell; false for any other. *releasedItem is the item
// kind it held (coin, key or hidden block), or -1.
bool ClearBlock(int row, int cell, int* releasedItem);

// Covers the screen with the 16 x 16 cell (16 tx, 16 ty) of image slot 1.
void FillScreenWithTile(int tx, int ty);
// A repeating 256 x 256 layer at position / divisor (divisor <= 0: still).
void DrawLayerAt(int slot, int divisor, int position);

// The fill tile column (image slot 1, row 0) and the three layer slots of a
// stage kind; returns false (fill column 0, no layers) for unknown kinds.
bool BackgroundSet(int stageKind, int* fillColumn, int layers[3]);
