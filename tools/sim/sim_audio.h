// The runner's audio capture (--audio FILE.wav). The sound area defines
// these in its own file here; the weak defaults in sim_audio_default.cpp
// capture nothing.
#pragma once

// Before the run: the mixed output is to be written to path.
void SimAudioCapture(const char* path);
// After each presented frame.
void SimAudioFrame(int frame);
// After the run (the engine has ended): write the file. 0 on success.
int SimAudioFinish();
