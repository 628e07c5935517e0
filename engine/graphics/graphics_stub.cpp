// Placeholder until the graphics module lands.
#include "engine/engine.h"
int SetScreenMode(int, int, int, int) { return 0; }
int SetDrawTarget(int) { return 0; }
int SetDrawClip(int, int, int, int) { return 0; }
int SetWaitVSync(int) { return 0; }
int ClearScreen() { return 0; }
int PresentFrame() { return -1; }
int PackColor(int r, int g, int b) { return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3); }
int SetTransparentColor(int, int, int) { return 0; }
int DrawImageRect(int, int, int, int, int, int, int, int, int) { return -1; }
