// The runner's audio capture: everything the headless device mixes during
// the run goes to a 16-bit stereo 44100 Hz WAV file.
#include <cstdio>

#include "engine/platform/audio.h"
#include "tools/sim/sim_audio.h"

namespace {
int g_Started;
int g_Failed;
}  // namespace

void SimAudioCapture(const char* path) {
    g_Started = HeadlessAudioStartCapture(path) == 0;
    if (!g_Started) {
        std::fprintf(stderr, "quellbore-sim: cannot write audio %s\n", path ? path : "");
        g_Failed = 1;
    }
}

// Mixes what the frame's virtual time has made due, so the file follows
// the run frame by frame.
void SimAudioFrame(int) {
    if (g_Started) HeadlessAudioUpdate();
}

int SimAudioFinish() {
    // The engine's end closes the device, which finishes the file; this
    // covers a run that never opened one.
    if (g_Started) HeadlessAudioStopCapture();
    g_Started = 0;
    return g_Failed ? -1 : 0;
}
