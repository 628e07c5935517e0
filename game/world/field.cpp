#include "game/world/field.h"

#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/world/stage_file.h"

namespace {

bool InGrid(int row, int cell) { return row >= 0 && row < GridRows && cell >= 0 && cell < GridCells; }

// Outside the grid counts as ground; blocks do not.
bool GroundAt(int row, int cell) { return !InGrid(row, cell) || FieldGrid[row][cell] == FieldGround; }

// Variant by the neighbours right, left, up, down (bit set = ground).
int VariantFromNeighbours(bool right, bool left, bool up, bool down) {
    // Index: right << 3 | left << 2 | up << 1 | down.
    static const int Variants[16] = {
        1,   // ---- all open
        12,  // only down
        13,  // only up
        7,   // up, down
        15,  // only left
        9,   // left, down
        11,  // left, up
        5,   // left, up, down
        14,  // only right
        8,   // right, down
        10,  // right, up
        4,   // right, up, down
        6,   // right, left
        2,   // right, left, down
        3,   // right, left, up
        0,   // all ground
    };
    int index = (right ? 8 : 0) | (left ? 4 : 0) | (up ? 2 : 0) | (down ? 1 : 0);
    return Variants[index];
}

struct BackgroundEntry {
    int fillColumn;
    int layers[3];
};

const BackgroundEntry Backgrounds[5] = {
    {1, {BackImageSlot(1), BackImageSlot(2), BackImageSlot(3)}},
    {4, {BackImageSlot(4), BackImageSlot(5), BackImageSlot(6)}},
    {6, {BackImageSlot(7), BackImageSlot(8), BackImageSlot(9)}},
    {7, {BackImageSlot(10), BackImageSlot(11), BackImageSlot(12)}},
    {4, {BackImageSlot(13), BackImageSlot(14), BackImageSlot(15)}},
};

// Non-negative remainder, so a position left of 0 still tiles seamlessly.
int PositiveMod(int a, int m) {
    int r = a % m;
    return r < 0 ? r + m : r;
}

}  // namespace

int GroundVariant(int row, int cell) {
    return VariantFromNeighbours(GroundAt(row + 1, cell), GroundAt(row - 1, cell), GroundAt(row, cell - 1),
                                 GroundAt(row, cell + 1));
}

bool IsBreakable(int row, int cell) {
    if (!InGrid(row, cell)) return false;
    int code = FieldGrid[row][cell];
    return code >= FieldBlock && code <= FieldHiddenBlock;
}

bool ClearBlock(int row, int cell, int* releasedItem) {
    *releasedItem = -1;
    if (!IsBreakable(row, cell)) return false;
    int code = FieldGrid[row][cell];
    FieldGrid[row][cell] = FieldEmpty;
    TileGrid[row][cell] = TileNone;
    if (code >= FieldCoinBlock) *releasedItem = code - FieldCoinBlock;
    return true;
}

void SetUpFieldTiles() {
    for (int r = 0; r < GridRows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            TileGrid[r][c] = TileNone;
            int code = FieldGrid[r][c];
            switch (code) {
                case FieldGround: TileGrid[r][c] = TileGroundBase + GroundVariant(r, c); break;
                case FieldBlock:
                case FieldCoinBlock:
                case FieldKeyBlock: TileGrid[r][c] = TileBlock; break;
                default: break;
            }
        }
    }
}

bool BackgroundSet(int stageKind, int* fillColumn, int layers[3]) {
    if (stageKind < 0 || stageKind > 4) {
        *fillColumn = 0;
        return false;
    }
    const BackgroundEntry& e = Backgrounds[stageKind];
    *fillColumn = e.fillColumn;
    for (int i = 0; i < 3; ++i) layers[i] = e.layers[i];
    return true;
}

void FillScreenWithTile(int tx, int ty) {
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j) DrawSprite(FillTileSlot, 16 * i, 16 * j, 16 * tx, 16 * ty, 16, 16);
    }
}

void DrawLayerAt(int slot, int divisor, int position) {
    if (divisor > 0) {
        int o = PositiveMod(position, 256 * divisor) / divisor;
        DrawSprite(slot, -o, 0, 0, 0, 256, 256);
        DrawSprite(slot, 256 - o, 0, 0, 0, 256, 256);
    } else {
        DrawSprite(slot, 0, 0, 0, 0, 256, 256);
    }
}

void DrawFieldBackground(int scrollX) {
    int fillColumn = 0;
    int layers[3] = {};
    bool hasLayers = BackgroundSet(GameState.StageKind, &fillColumn, layers);
    // The far layer is drawn whole at the origin: when it is opaque, the
    // fill beneath it would never be seen.
    if (!hasLayers || !SpriteCovers(layers[0], 256, 256)) FillScreenWithTile(fillColumn, 0);
    if (hasLayers) {
        DrawLayerAt(layers[0], 0, scrollX);
        DrawLayerAt(layers[1], 4, scrollX);
        DrawLayerAt(layers[2], 3, scrollX);
    }
}

void DrawFieldTiles(int scrollX) {
    const int r0 = scrollX / 16;
    for (int r = r0; r <= r0 + 16; ++r) {
        if (r < 0 || r >= GridRows) continue;  // beyond the world: nothing to draw
        for (int c = 0; c < GridCells; ++c) {
            int value = TileGrid[r][c];
            if (value < TileGroundBase || value > TileBlock) continue;
            DrawSprite(GroundSlot, 16 * r - scrollX, 16 * c, 16 * (value - TileGroundBase), 16 * GameState.GroundRow,
                       16, 16);
        }
    }
}
