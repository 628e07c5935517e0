// Text and numbers from the 8 x 8 bitmap font (image slot 4), and the HUD.
#pragma once

#include "game/shell/assets.h"

// Character k at (x + 8k, y). Digits, letters (either case) and ! ? . ' -
// have cells; every other character leaves an 8-pixel gap.
void DrawBitmapText(int x, int y, const char* text);
// value as exactly digits digits with leading zeros ("%0Nd"); a value with
// more digits shows its leading ones; digits above 10 draws nothing.
void DrawNumber(int x, int y, int value, int digits);
// Lives, coins, drill, key, clock at the top of the screen.
void DrawHud();
// The font cell of a character: false when it has none.
bool BitmapFontCell(char ch, int* column, int* row);
