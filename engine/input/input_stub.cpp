// Placeholder until the input module lands.
#include "engine/engine.h"
int IsKeyDown(int) { return 0; }
int ReadKeyboard(char*) { return 0; }
int ReadPadState(int) { return 0; }
