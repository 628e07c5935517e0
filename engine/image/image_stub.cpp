// Placeholder until the image module lands.
#include "engine/engine.h"
int LoadImageFile(const char*, int) { return -1; }
