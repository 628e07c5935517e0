// Placeholder until the sound module lands.
#include "engine/engine.h"
int LoadSoundFile(const char*, int, int) { return -1; }
int PlaySoundHandle(int, int, int) { return -1; }
int StopSoundHandle(int) { return -1; }
int IsSoundPlaying(int) { return -1; }
