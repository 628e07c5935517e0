#include "game/shell/bitmap_text.h"

#include <cstdio>

#include "game/shell/assets.h"
#include "game/shell/game_state.h"

bool BitmapFontCell(char ch, int* column, int* row) {
    int index = -1;
    switch (ch) {
        case '!': *column = 0; *row = 4; return true;
        case '?': *column = 1; *row = 4; return true;
        case '.': *column = 2; *row = 4; return true;
        case '\'': *column = 3; *row = 4; return true;
        case '-': *column = 4; *row = 4; return true;
        default: break;
    }
    if (ch >= 'A' && ch <= 'Z') index = ch - 'A';
    else if (ch >= 'a' && ch <= 'z') index = ch - 'a';
    if (index >= 0) {
        *column = index % 10;
        *row = index / 10 + 1;
        return true;
    }
    if (ch >= '0' && ch <= '9') {
        *column = ch - '0';
        *row = 0;
        return true;
    }
    return false;
}

void DrawBitmapText(int x, int y, const char* text) {
    if (!text) return;
    for (int k = 0; text[k] != '\0'; ++k) {
        int column = 0, row = 0;
        if (BitmapFontCell(text[k], &column, &row))
            DrawSprite(FontImageSlot, x + 8 * k, y, 8 * column, 8 * row, 8, 8);
    }
}

void DrawNumber(int x, int y, int value, int digits) {
    if (digits > 10) return;
    char format[16];
    std::snprintf(format, sizeof format, "%%0%dd", digits);
    // Up to 11 characters for any int, a sign included.
    char text[24];
    std::snprintf(text, sizeof text, format, value);
    for (int k = 0; k < digits && text[k] != '\0'; ++k) {
        int column = text[k] - '0';
        // The game passes no negative value; a sign draws nothing.
        if (column < 0 || column > 9) continue;
        DrawSprite(FontImageSlot, x + 8 * k, y, 8 * column, 0, 8, 8);
    }
}

void DrawHud() {
    DrawSprite(ItemImageSlot, 16, 0, 64, 0, 16, 16);
    DrawNumber(32, 4, GameState.Lives, 2);
    DrawSprite(ItemImageSlot, 64, 0, 48, 0, 16, 16);
    DrawNumber(80, 4, GameState.Coins, 2);
    DrawSprite(ItemImageSlot, 112, 0, 48, 32, 16, 16);
    DrawBitmapText(128, 4, GameState.DrillCharges > 0 ? "ok" : "--");
    if (GameState.Keys != 0) DrawSprite(ItemImageSlot, 160, 0, 48, 16, 16, 16);
    DrawSprite(ItemImageSlot, 208, 0, 64, 16, 16, 16);
    DrawNumber(224, 4, GameState.StageTimer / 10, 3);
}
