#include "game/shell/bitmap_text.h"

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
    // The text of "%0<digits>d", built by hand: the HUD draws three numbers
    // every frame. A sign comes first, zeros pad up to the width, and a
    // longer number keeps all its digits.
    char text[24];
    int length = 0;
    if (digits > 0) {
        bool negative = value < 0;
        unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        char reversed[12];
        int count = 0;
        do {
            reversed[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative) text[length++] = '-';
        for (int pad = digits - count - (negative ? 1 : 0); pad > 0; --pad) text[length++] = '0';
        while (count > 0) text[length++] = reversed[--count];
    }
    text[length] = '\0';
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
