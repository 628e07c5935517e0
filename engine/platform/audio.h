// Audio device and the software mixer that stands in for a sound card's
// secondary buffers.
//
// The engine sees sound buffers by id (> 0). A buffer holds PCM in its own
// format (8 or 16 bits, mono or stereo, 100 ... 200000 Hz); a duplicate
// shares the sample memory of the buffer it was made from. The mixer
// (engine/platform/common) sums every playing buffer into the device stream
// of 44100 Hz 16-bit stereo, converting each buffer's rate with linear
// interpolation; a buffer's play cursor advances with what the device has
// consumed. All Audio* functions are thread-safe.
//
// The mixer lock guards every buffer and the device stream. It is the
// innermost lock of the sound path: the engine's call lock and sound lock
// may be held when an Audio* function takes it, never the other way round.
// Nothing called under it takes another engine lock except the tracked
// allocator's (a source's functions below may allocate).
#pragma once

#include <cstdint>

// --------------------------------------------------------------- device

// Output stream format of the device.
enum { AudioDeviceRate = 44100, AudioDeviceChannels = 2, AudioDeviceBits = 16 };

struct AudioDeviceCaps {
    int minSecondaryRate, maxSecondaryRate;  // Hz
    int primary16Bit, primary8Bit;           // 1 where the mode is offered
    int primaryMono, primaryStereo;
    int secondary16Bit, secondary8Bit;
    int secondaryMono, secondaryStereo;
    uint32_t totalMemoryBytes, freeMemoryBytes;  // 0: no device memory
};

struct AudioDeviceInfo {
    char module[64];       // driver name
    char description[128]; // device name
};

// Opens the default output device. 0 on success, -1 when there is none.
int AudioOpenDevice();
// Stops the stream and releases every buffer. Safe to call more than once.
void AudioCloseDevice();
int AudioDeviceIsOpen();
void AudioGetCaps(AudioDeviceCaps* caps);
// Fills up to max entries; returns the number of output devices known.
int AudioEnumerateDevices(AudioDeviceInfo* out, int max);
// Output format request. 0 when the device runs in this format, -1 if not.
int AudioSetPrimaryFormat(int channels, int bitsPerSample, int sampleRate);
// Raises the calling thread's priority as far as the system lets it.
// 0 when raised, -1 when the system refused.
int AudioRaiseThreadPriority();

// -------------------------------------------------------------- buffers

struct AudioFormat {
    int channels;       // 1 or 2
    int bitsPerSample;  // 8 (unsigned) or 16 (signed little-endian)
    int sampleRate;     // 100 ... 200000
};

enum AudioBufferFlags {
    AudioBufferStatic = 1,
    AudioBufferVolumeControl = 2,
    AudioBufferPanControl = 4,
    AudioBufferFrequencyControl = 8,
    AudioBufferGlobalFocus = 16,     // audible whatever window has the focus
    AudioBufferAccurateCursor = 32,
};

enum AudioStatusBits { AudioStatusPlaying = 1, AudioStatusLooping = 4 };

enum {
    AudioVolumeMin = -10000,  // hundredths of a decibel; 0 = full
    AudioVolumeMax = 0,
    AudioPanLeft = -10000,
    AudioPanRight = 10000,
    AudioFrequencyOriginal = 0,
    AudioFrequencyMin = 100,
    AudioFrequencyMax = 200000,
};

// Makes a silent buffer of `bytes` bytes (a whole number of frames, > 0).
// Returns its id, or -1 (no device, bad format, no memory).
int AudioCreateBuffer(const AudioFormat* format, uint32_t bytes, int flags);
// A new buffer sharing the sample memory of `buffer`; starts stopped at 0
// with the source's volume, pan and frequency. Id or -1.
int AudioDuplicateBuffer(int buffer);
void AudioReleaseBuffer(int buffer);

int AudioPlay(int buffer, int looping);
int AudioStop(int buffer);  // keeps the position
int AudioGetStatus(int buffer, uint32_t* status);
// Play cursor and the first byte it is safe to write, in bytes.
int AudioGetPosition(int buffer, uint32_t* playCursor, uint32_t* writeCursor);
int AudioSetPosition(int buffer, uint32_t playCursor);
int AudioSetVolume(int buffer, int32_t volume);
int AudioSetPan(int buffer, int32_t pan);
int AudioSetFrequency(int buffer, uint32_t frequency);
int AudioGetVolume(int buffer, int32_t* volume);
int AudioGetPan(int buffer, int32_t* pan);
int AudioGetFrequency(int buffer, uint32_t* frequency);
// Gives writable memory for bytes at offset (wrapping at the end of the
// buffer: the second piece then starts at 0). The pieces hold the current
// samples; what is written reaches the buffer at AudioUnlock.
int AudioLock(int buffer, uint32_t offset, uint32_t bytes, void** part1,
              uint32_t* bytes1, void** part2, uint32_t* bytes2);
int AudioUnlock(int buffer, void* part1, uint32_t bytes1, void* part2,
                uint32_t bytes2);

// ------------------------------------------------------ source buffers
// A buffer may take its samples from a source instead of memory of its own:
// the mixer asks the source for frames while it mixes, so music can stay
// compressed and be decoded as it plays. A buffer and its duplicates share
// the source; each reads it through a cursor of its own, opened when the
// buffer first needs frames and closed when it stops. Past the frames the
// source delivers, up to the buffer's size, the buffer holds silence. The
// functions run under the mixer lock on whichever thread mixes; they must
// not call Audio* functions.
struct AudioSourceFunctions {
    // A new cursor at frame 0, or null (the buffer then plays silence).
    void* (*openCursor)(void* source);
    // Moves the cursor to a frame. 0, or -1: the cursor then delivers nothing.
    int (*seekCursor)(void* cursor, uint32_t frame);
    // Up to `frames` whole frames into out; the frames delivered, 0 at the end.
    uint32_t (*readCursor)(void* cursor, void* out, uint32_t frames);
    void (*closeCursor)(void* cursor);
    // The last buffer over the source is gone.
    void (*releaseSource)(void* source);
};
// A buffer of `bytes` bytes whose samples come from the source. On success
// the buffer owns the source (releaseSource runs when the last buffer over
// it is released); on failure (-1) the caller keeps it. The buffer cannot
// be locked for writing.
int AudioCreateSourceBuffer(const AudioFormat* format, uint32_t bytes, int flags,
                            const AudioSourceFunctions* functions, void* source);

// Silences the whole output while the program is in the background: every
// buffer keeps its place and status, and nothing moves on until the output
// is resumed. The device itself keeps running.
void AudioSetOutputPaused(int paused);
int AudioOutputPaused();

// --------------------------------------- mixer side, used by the backends

// Resets the mixer for a device of `rate` frames per second.
void MixerStart(int rate);
// Releases every buffer and stops mixing.
void MixerStop();
// Mixes `frames` frames of interleaved 16-bit stereo into out and advances
// every playing buffer by what they covered. Takes the mixer lock.
void MixerRender(int16_t* out, int frames);
// Same, for a caller that already holds the mixer lock.
void MixerRenderLocked(int16_t* out, int frames);
// Moves every playing buffer on by `frames` device frames without mixing.
void MixerAdvanceLocked(uint64_t frames);
int MixerAnyPlayingLocked();
// The mixer lock, for backends that change their device state under it,
// and a catch-up of a clock-driven device from outside a query.
void MixerLock();
void MixerUnlock();
void MixerCatchUp();
// Buffers of more than `bytes` bytes fail to be made, as on a device out of
// memory, until the mixer stops (0: no limit, the start value). For tests
// of the failure paths.
void MixerSetBufferLimit(uint32_t bytes);
// Called by the mixer, with its lock held, before every query or change:
// a backend whose device is driven by a clock renders what is due.
void AudioBackendCatchUpLocked();

// ------------------------------ headless device controls (headless only)

// Whether the virtual device can be opened (default 1).
void HeadlessAudioSetDeviceAvailable(int available);
// Writes everything the virtual device mixes from now on to a 16-bit
// stereo 44100 Hz WAV file, finished at AudioCloseDevice, at
// HeadlessAudioStopCapture or at exit. 0 on success, -1 on failure.
int HeadlessAudioStartCapture(const char* path);
void HeadlessAudioStopCapture();
// Frames the virtual device has consumed since it was opened.
uint64_t HeadlessAudioFramesConsumed();
// Renders what the virtual clock has made due (queries do this as well).
void HeadlessAudioUpdate();
