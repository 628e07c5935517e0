// The headless audio device: consumes 44100 frames per second of the
// virtual clock (HeadlessMicroseconds). Whenever the engine asks the mixer
// anything, the frames the clock has made due since the last time are
// mixed first, so every play cursor is exactly where the virtual time puts
// it. What is mixed can be written to a WAV file.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/platform/audio.h"
#include "engine/platform/headless/headless.h"
#include "engine/platform/platform.h"

namespace {

int g_available = 1;
int g_open;
uint64_t g_startCount;     // counter value at frame 0
uint64_t g_consumed;       // frames consumed since the device opened
std::FILE* g_capture;
uint64_t g_capturedFrames;
int g_atexitRegistered;
int16_t g_chunk[1024 * 2];

constexpr uint64_t MaxCaptureFrames = (0xFFFFFFFFull - 44) / 4;

void Put32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

void WriteWaveHeader(std::FILE* f, uint32_t dataBytes) {
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    h[20] = 1, h[21] = 0;                       // PCM
    h[22] = AudioDeviceChannels, h[23] = 0;
    Put32(h + 24, AudioDeviceRate);
    Put32(h + 28, AudioDeviceRate * 4);
    h[32] = 4, h[33] = 0;                       // block align
    h[34] = AudioDeviceBits, h[35] = 0;
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, dataBytes);
    std::fseek(f, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, f);
}

void FinishCaptureLocked() {
    if (!g_capture) return;
    WriteWaveHeader(g_capture, (uint32_t)(g_capturedFrames * 4));
    std::fclose(g_capture);
    g_capture = nullptr;
    g_capturedFrames = 0;
}

void FinishCaptureAtExit() {
    MixerLock();
    FinishCaptureLocked();
    MixerUnlock();
}

// Frames the virtual clock has made due since the device opened.
uint64_t FramesByClock() {
    // Read without the poll step that PlatformCounter adds, so that asking
    // for a position does not itself move time on.
    const uint64_t now = HeadlessMicroseconds();
    const uint64_t freq = 1000000u;
    if (now < g_startCount) {
        // The clock went back: carry on from here without a jump.
        unsigned __int128 back = (unsigned __int128)g_consumed * freq / AudioDeviceRate;
        g_startCount = now - (uint64_t)(back < now ? back : now);
        return g_consumed;
    }
    unsigned __int128 frames = (unsigned __int128)(now - g_startCount) * AudioDeviceRate / freq;
    return (uint64_t)frames;
}

}  // namespace

void AudioBackendCatchUpLocked() {
    if (!g_open) return;
    uint64_t target = FramesByClock();
    if (target <= g_consumed) return;
    uint64_t due = target - g_consumed;
    if (!g_capture) {
        MixerAdvanceLocked(due);
        g_consumed = target;
        return;
    }
    while (due > 0) {
        int n = due > 1024 ? 1024 : (int)due;
        MixerRenderLocked(g_chunk, n);
        if (g_capturedFrames + (uint64_t)n <= MaxCaptureFrames) {
            std::fwrite(g_chunk, 4, (size_t)n, g_capture);
            g_capturedFrames += (uint64_t)n;
        }
        due -= (uint64_t)n;
        g_consumed += (uint64_t)n;
    }
}

int AudioOpenDevice() {
    if (!g_available) return -1;
    if (g_open) return 0;
    MixerStart(AudioDeviceRate);
    MixerLock();
    g_startCount = HeadlessMicroseconds();
    g_consumed = 0;
    g_open = 1;
    MixerUnlock();
    return 0;
}

void AudioCloseDevice() {
    if (!g_open) return;
    MixerCatchUp();
    MixerLock();
    g_open = 0;
    FinishCaptureLocked();
    MixerUnlock();
    MixerStop();
}

int AudioDeviceIsOpen() { return g_open; }

int AudioEnumerateDevices(AudioDeviceInfo* out, int max) {
    if (out && max > 0) {
        std::memset(out, 0, sizeof *out);
        std::snprintf(out->module, sizeof out->module, "%s", "headless");
        std::snprintf(out->description, sizeof out->description, "%s",
                      "Virtual audio device (44100 Hz, 16-bit stereo)");
    }
    return 1;
}

void HeadlessAudioSetDeviceAvailable(int available) { g_available = available ? 1 : 0; }

int HeadlessAudioStartCapture(const char* path) {
    if (!path) return -1;
    MixerCatchUp();
    MixerLock();
    FinishCaptureLocked();
    g_capture = std::fopen(path, "wb");
    int ok = g_capture != nullptr;
    if (ok) WriteWaveHeader(g_capture, 0);
    if (ok && !g_atexitRegistered) {
        g_atexitRegistered = 1;
        std::atexit(FinishCaptureAtExit);
    }
    MixerUnlock();
    return ok ? 0 : -1;
}

void HeadlessAudioStopCapture() {
    MixerCatchUp();
    MixerLock();
    FinishCaptureLocked();
    MixerUnlock();
}

uint64_t HeadlessAudioFramesConsumed() {
    MixerCatchUp();
    MixerLock();
    uint64_t n = g_consumed;
    MixerUnlock();
    return n;
}

void HeadlessAudioUpdate() { MixerCatchUp(); }
