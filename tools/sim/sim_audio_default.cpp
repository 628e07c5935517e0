// Stand-ins until the sound area captures the mixed output.
#include <cstdio>

#include "tools/sim/sim_audio.h"

__attribute__((weak)) void SimAudioCapture(const char*) {
    std::fprintf(stderr, "quellbore-sim: --audio is not supported by this build\n");
}
__attribute__((weak)) void SimAudioFrame(int) {}
__attribute__((weak)) int SimAudioFinish() { return 0; }
