// Placeholder until the text module lands.
#include "engine/engine.h"
int SetTextFace(const char*, int) { return 0; }
int SetTextSize(int) { return 0; }
int SetTextThickness(int) { return 0; }
int SetTextStyle(int) { return 0; }
int DrawTextString(int, int, const char*, int, int) { return -1; }
