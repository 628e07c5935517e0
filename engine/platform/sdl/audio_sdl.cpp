// The SDL audio device: 44100 Hz 16-bit stereo, 512-frame device buffer,
// fed by the software mixer from SDL's audio callback.
#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "engine/platform/audio.h"

namespace {

SDL_AudioDeviceID g_device;
int g_open;
char g_driver[64];
char g_deviceName[128];

void Callback(void*, Uint8* stream, int len) {
    MixerRender(reinterpret_cast<int16_t*>(stream), len / 4);
}

}  // namespace

// The device's callback mixes on its own: nothing to catch up.
void AudioBackendCatchUpLocked() {}

int AudioOpenDevice() {
    if (g_open) return 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return -1;
    SDL_AudioSpec want;
    SDL_AudioSpec have;
    SDL_zero(want);
    SDL_zero(have);
    want.freq = AudioDeviceRate;
    want.format = AUDIO_S16LSB;
    want.channels = AudioDeviceChannels;
    want.samples = 512;
    want.callback = Callback;
    MixerStart(AudioDeviceRate);
    // No changes allowed: SDL converts to whatever the hardware runs.
    g_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (g_device == 0) {
        MixerStop();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return -1;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    std::snprintf(g_driver, sizeof g_driver, "%s", driver ? driver : "");
    const char* name = SDL_GetNumAudioDevices(0) > 0 ? SDL_GetAudioDeviceName(0, 0) : nullptr;
    std::snprintf(g_deviceName, sizeof g_deviceName, "%s", name ? name : "default output");
    g_open = 1;
    SDL_PauseAudioDevice(g_device, 0);
    return 0;
}

void AudioCloseDevice() {
    if (!g_open) return;
    SDL_CloseAudioDevice(g_device);  // waits for a running callback
    g_device = 0;
    g_open = 0;
    MixerStop();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int AudioDeviceIsOpen() { return g_open; }

int AudioEnumerateDevices(AudioDeviceInfo* out, int max) {
    if (!g_open) return 0;
    if (out && max > 0) {
        std::memset(out, 0, sizeof *out);
        std::snprintf(out->module, sizeof out->module, "%s", g_driver);
        std::snprintf(out->description, sizeof out->description, "%s", g_deviceName);
    }
    return 1;
}
