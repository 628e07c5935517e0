// The software mixer: secondary buffers with shared sample memory, play
// cursors, volume, pan and frequency, summed into the device's 16-bit
// stereo stream. Both backends link it; they only move the mixed frames to
// a device (SDL callback) or a virtual one (clocked by the virtual time).
#include <pthread.h>
#include <sched.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engine/platform/audio.h"

namespace {

// The samples a buffer and its duplicates share: memory, or a source that
// makes them on demand.
struct SampleMemory {
    uint8_t* data;
    uint32_t bytes;
    int refs;
    const AudioSourceFunctions* functions;
    void* source;
};

// A source buffer's own view of its source: the cursor and a window of the
// frames it delivered last.
struct SourceView {
    void* cursor;
    uint8_t* window;
    uint32_t windowStart, windowFrames;
    uint32_t cursorFrame;  // the frame the cursor delivers next
    int cursorEnded;       // it delivers nothing more from cursorFrame on
    // Frame 0 kept aside: a loop's last frame is interpolated towards it,
    // which must not send the cursor back and forth.
    uint8_t head[4];
    int headKept;
};

struct MixBuffer {
    SampleMemory* memory;
    AudioFormat format;
    uint32_t blockAlign;
    uint32_t frames;
    int flags;
    int playing;
    int looping;
    uint64_t position;  // frames, 32.32 fixed point
    int32_t volume;
    int32_t pan;
    uint32_t frequency;  // 0: the buffer's own rate
    float gainLeft, gainRight;
    // Lock staging: the caller writes here, AudioUnlock copies it in, so the
    // mixing side never reads memory that another thread is writing.
    uint8_t* stage;
    uint32_t stageCapacity;
    uint32_t lockOffset, lockBytes;
    int locked;
    SourceView view;  // source buffers only
};

// Enough for every sound of a full sound table with ten buffers each.
constexpr int MaxBuffers = 1 << 19;
constexpr int ChunkFrames = 1024;
// How far ahead of the play cursor the device may already have read.
constexpr uint32_t WriteAheadDeviceFrames = 1024;
constexpr uint32_t KeptStageBytes = 256 * 1024;
// Frames a source buffer asks of its source at a time.
constexpr uint32_t SourceWindowFrames = 2048;

std::mutex g_mixerLock;
MixBuffer* g_buffers[MaxBuffers];
int g_bufferEnd;  // one past the highest slot in use
int g_running;
int g_rate = AudioDeviceRate;
int g_outputPaused;
uint32_t g_bufferLimit;  // 0: none
float g_mix[ChunkFrames * 2];

MixBuffer* FindBuffer(int id) {
    if (id <= 0 || id > MaxBuffers) return nullptr;
    return g_buffers[id - 1];
}

float DecibelGain(int32_t hundredths) {
    if (hundredths <= AudioVolumeMin) return 0.0f;
    if (hundredths >= 0) return 1.0f;
    return std::pow(10.0f, (float)hundredths / 2000.0f);
}

void UpdateGains(MixBuffer* b) {
    float g = DecibelGain(b->volume);
    float left = b->pan > 0 ? DecibelGain(-b->pan) : 1.0f;
    float right = b->pan < 0 ? DecibelGain(b->pan) : 1.0f;
    b->gainLeft = g * left;
    b->gainRight = g * right;
}

uint32_t EffectiveRate(const MixBuffer* b) {
    return b->frequency ? b->frequency : (uint32_t)b->format.sampleRate;
}

uint64_t StepOf(const MixBuffer* b) {
    return ((uint64_t)EffectiveRate(b) << 32) / (uint64_t)g_rate;
}

int FormatOk(const AudioFormat* f) {
    return f && (f->channels == 1 || f->channels == 2) &&
           (f->bitsPerSample == 8 || f->bitsPerSample == 16) &&
           f->sampleRate >= AudioFrequencyMin && f->sampleRate <= AudioFrequencyMax;
}

int NewSlot() {
    if (g_bufferEnd < MaxBuffers) return g_bufferEnd;
    for (int i = 0; i < MaxBuffers; ++i)
        if (!g_buffers[i]) return i;
    return -1;
}

// Closes a source buffer's cursor: a stopped buffer holds no decoder.
void CloseView(MixBuffer* b) {
    SourceView& v = b->view;
    if (v.cursor) b->memory->functions->closeCursor(v.cursor);
    std::free(v.window);
    v = SourceView{};
}

// Stops a buffer; a buffer played once that reached its end is back at 0.
void Halt(MixBuffer* b) {
    b->playing = 0;
    if (b->memory->source) CloseView(b);
}

void FreeBuffer(int slot) {
    MixBuffer* b = g_buffers[slot];
    if (!b) return;
    CloseView(b);
    if (--b->memory->refs == 0) {
        if (b->memory->source) b->memory->functions->releaseSource(b->memory->source);
        std::free(b->memory->data);
        std::free(b->memory);
    }
    std::free(b->stage);
    std::free(b);
    g_buffers[slot] = nullptr;
    while (g_bufferEnd > 0 && !g_buffers[g_bufferEnd - 1]) --g_bufferEnd;
}

// Fills the window of a source buffer from `frame` on: what the source
// delivers, then silence up to the window's end or the buffer's.
void FillWindow(MixBuffer* b, uint32_t frame) {
    SourceView& v = b->view;
    const SampleMemory* m = b->memory;
    if (!v.window) {
        v.window = (uint8_t*)std::malloc((size_t)SourceWindowFrames * b->blockAlign);
        if (!v.window) {
            v.windowFrames = 0;
            return;
        }
        v.cursor = m->functions->openCursor(m->source);
        v.cursorFrame = 0;
        v.cursorEnded = v.cursor == nullptr;
    }
    uint32_t count = b->frames - frame < SourceWindowFrames ? b->frames - frame : SourceWindowFrames;
    if (frame != v.cursorFrame && v.cursor && !(v.cursorEnded && frame > v.cursorFrame)) {
        v.cursorEnded = m->functions->seekCursor(v.cursor, frame) != 0;
        v.cursorFrame = frame;
    }
    uint32_t got = 0;
    if (frame == v.cursorFrame) {
        while (got < count && !v.cursorEnded) {
            uint32_t n = m->functions->readCursor(v.cursor, v.window + (size_t)got * b->blockAlign, count - got);
            if (n == 0 || n > count - got) {
                v.cursorEnded = 1;
                break;
            }
            got += n;
        }
        v.cursorFrame = frame + got;
    }
    std::memset(v.window + (size_t)got * b->blockAlign, b->format.bitsPerSample == 8 ? 128 : 0,
                (size_t)(count - got) * b->blockAlign);
    v.windowStart = frame;
    v.windowFrames = count;
    if (frame == 0 && count > 0) {
        std::memcpy(v.head, v.window, b->blockAlign);
        v.headKept = 1;
    }
}

// The samples of one frame; mono gives the same on both sides.
inline void FrameAt(MixBuffer* b, uint32_t frame, int* left, int* right) {
    const uint8_t* d;
    if (!b->memory->source) {
        d = b->memory->data + (size_t)frame * b->blockAlign;
    } else {
        SourceView& v = b->view;
        if (frame - v.windowStart < v.windowFrames) {
            d = v.window + (size_t)(frame - v.windowStart) * b->blockAlign;
        } else if (frame == 0 && v.headKept) {
            d = v.head;
        } else {
            FillWindow(b, frame);
            if (frame - v.windowStart >= v.windowFrames) {
                *left = *right = 0;  // no memory for the window
                return;
            }
            d = v.window + (size_t)(frame - v.windowStart) * b->blockAlign;
        }
    }
    if (b->format.bitsPerSample == 8) {
        *left = ((int)d[0] - 128) << 8;
        *right = b->format.channels == 2 ? ((int)d[1] - 128) << 8 : *left;
    } else {
        *left = (int16_t)(d[0] | (d[1] << 8));
        *right = b->format.channels == 2 ? (int16_t)(d[2] | (d[3] << 8)) : *left;
    }
}

// Adds n frames of one buffer into the accumulator and moves its cursor.
void MixOne(MixBuffer* b, float* acc, int n) {
    if (b->frames == 0) {
        b->playing = 0;
        return;
    }
    const uint64_t step = StepOf(b);
    const uint64_t end = (uint64_t)b->frames << 32;
    const float gl = b->gainLeft, gr = b->gainRight;
    const int silent = gl == 0.0f && gr == 0.0f;
    for (int f = 0; f < n; ++f) {
        if (!silent) {
            uint32_t i = (uint32_t)(b->position >> 32);
            uint32_t j = i + 1;
            if (j >= b->frames) j = b->looping ? 0 : i;
            int frac = (int)((b->position >> 16) & 0xFFFF);
            int l0, r0, l1, r1;
            FrameAt(b, i, &l0, &r0);
            FrameAt(b, j, &l1, &r1);
            int l = l0 + (((l1 - l0) * frac) >> 16);
            int r = r0 + (((r1 - r0) * frac) >> 16);
            acc[f * 2] += (float)l * gl;
            acc[f * 2 + 1] += (float)r * gr;
        }
        b->position += step;
        if (b->position >= end) {
            if (b->looping) {
                b->position %= end;
            } else {
                // A buffer played once stops by itself, cursor back at 0.
                Halt(b);
                b->position = 0;
                return;
            }
        }
    }
}

// Moves a buffer's cursor by n device frames without mixing.
void AdvanceOne(MixBuffer* b, uint64_t n) {
    if (b->frames == 0) {
        b->playing = 0;
        return;
    }
    const uint64_t end = (uint64_t)b->frames << 32;
    const uint64_t step = StepOf(b);
    // n * step may not fit: do it in pieces that do.
    while (n > 0) {
        uint64_t piece = n > 0xFFFFFFull ? 0xFFFFFFull : n;
        unsigned __int128 target = (unsigned __int128)b->position + (unsigned __int128)step * piece;
        if (target >= end) {
            if (!b->looping) {
                Halt(b);
                b->position = 0;
                return;
            }
            target %= end;
        }
        b->position = (uint64_t)target;
        n -= piece;
    }
}

// The output stage: a stereo-linked peak limiter without look-ahead. Below
// the knee the sum passes untouched; above it the gain follows the peak at
// once and recovers slowly, mapping any level softly under the ceiling, so
// no sample reaches full scale and music and effects keep their balance.
constexpr float LimitKnee = 0.75f * 32768.0f;
constexpr float LimitCeiling = 0.98f * 32768.0f;
constexpr float LimitReleaseSeconds = 0.12f;

struct Limiter {
    float envelope;  // the held peak, in sample units
    float release;   // per-frame decay of the held peak
};
Limiter g_limiter;

void LimiterReset(int rate) {
    g_limiter.envelope = 0.0f;
    g_limiter.release = std::exp(-1.0f / (LimitReleaseSeconds * (float)rate));
}

void LimitOutput(const float* mix, int16_t* out, int frames) {
    Limiter& l = g_limiter;
    for (int f = 0; f < frames; ++f) {
        float a = mix[f * 2], b = mix[f * 2 + 1];
        float peak = std::fmax(std::fabs(a), std::fabs(b));
        l.envelope = std::fmax(peak, l.envelope * l.release);
        if (l.envelope > LimitKnee) {
            // tanh above the knee: slope 1 at the knee, never past the ceiling.
            const float span = LimitCeiling - LimitKnee;
            float limited = LimitKnee + span * std::tanh((l.envelope - LimitKnee) / span);
            float g = limited / l.envelope;
            a *= g;
            b *= g;
        }
        out[f * 2] = (int16_t)std::lrintf(a);
        out[f * 2 + 1] = (int16_t)std::lrintf(b);
    }
}

}  // namespace

// ----------------------------------------------------------- mixing side

void MixerStart(int rate) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    for (int i = 0; i < g_bufferEnd; ++i) FreeBuffer(i);
    g_bufferEnd = 0;
    g_rate = rate > 0 ? rate : AudioDeviceRate;
    LimiterReset(g_rate);
    g_running = 1;
    g_outputPaused = 0;
}

void MixerStop() {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    for (int i = g_bufferEnd - 1; i >= 0; --i) FreeBuffer(i);
    g_bufferEnd = 0;
    g_running = 0;
    g_bufferLimit = 0;
}

void MixerRenderLocked(int16_t* out, int frames) {
    while (frames > 0) {
        int n = frames > ChunkFrames ? ChunkFrames : frames;
        std::memset(g_mix, 0, sizeof(float) * 2 * (size_t)n);
        if (g_running && !g_outputPaused) {
            for (int i = 0; i < g_bufferEnd; ++i) {
                MixBuffer* b = g_buffers[i];
                if (b && b->playing) MixOne(b, g_mix, n);
            }
        }
        LimitOutput(g_mix, out, n);
        out += n * 2;
        frames -= n;
    }
}

void MixerRender(int16_t* out, int frames) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    MixerRenderLocked(out, frames);
}

// Advances every playing buffer as if n frames had been mixed.
void MixerAdvanceLocked(uint64_t frames) {
    if (!g_running || g_outputPaused) return;
    for (int i = 0; i < g_bufferEnd; ++i) {
        MixBuffer* b = g_buffers[i];
        if (b && b->playing) AdvanceOne(b, frames);
    }
}

// Whether any buffer is playing (a clock-driven device may then skip).
int MixerAnyPlayingLocked() {
    for (int i = 0; i < g_bufferEnd; ++i)
        if (g_buffers[i] && g_buffers[i]->playing) return 1;
    return 0;
}

void MixerLock() { g_mixerLock.lock(); }
void MixerUnlock() { g_mixerLock.unlock(); }

void MixerCatchUp() {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
}

void MixerSetBufferLimit(uint32_t bytes) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    g_bufferLimit = bytes;
}

void AudioSetOutputPaused(int paused) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    // What was due before the change is mixed as it was.
    AudioBackendCatchUpLocked();
    g_outputPaused = paused ? 1 : 0;
}

int AudioOutputPaused() {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    return g_outputPaused;
}

// ------------------------------------------------------- shared services

void AudioGetCaps(AudioDeviceCaps* caps) {
    if (!caps) return;
    std::memset(caps, 0, sizeof *caps);
    caps->minSecondaryRate = AudioFrequencyMin;
    caps->maxSecondaryRate = AudioFrequencyMax;
    // The device stream is 16-bit stereo; buffers may be any of the four.
    caps->primary16Bit = 1;
    caps->primary8Bit = 0;
    caps->primaryMono = 0;
    caps->primaryStereo = 1;
    caps->secondary16Bit = caps->secondary8Bit = 1;
    caps->secondaryMono = caps->secondaryStereo = 1;
}

int AudioSetPrimaryFormat(int channels, int bitsPerSample, int sampleRate) {
    if (!AudioDeviceIsOpen()) return -1;
    return channels == AudioDeviceChannels && bitsPerSample == AudioDeviceBits &&
                   sampleRate == g_rate
               ? 0
               : -1;
}

int AudioRaiseThreadPriority() {
    sched_param p{};
    p.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0) return 0;
    p.sched_priority = sched_get_priority_max(SCHED_RR);
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &p) == 0) return 0;
    return -1;
}

// ---------------------------------------------------------------- buffers

namespace {

// A new buffer over memory of its own or over a source. Id or -1.
int CreateBuffer(const AudioFormat* format, uint32_t bytes, int flags,
                 const AudioSourceFunctions* functions, void* source) {
    if (!FormatOk(format)) return -1;
    uint32_t blockAlign = (uint32_t)(format->channels * format->bitsPerSample / 8);
    if (bytes == 0 || bytes % blockAlign != 0) return -1;
    std::lock_guard<std::mutex> hold(g_mixerLock);
    if (!g_running) return -1;
    if (g_bufferLimit && bytes > g_bufferLimit) return -1;
    AudioBackendCatchUpLocked();
    int slot = NewSlot();
    if (slot < 0) return -1;
    MixBuffer* b = (MixBuffer*)std::calloc(1, sizeof(MixBuffer));
    SampleMemory* m = (SampleMemory*)std::calloc(1, sizeof(SampleMemory));
    uint8_t* data = source ? nullptr : (uint8_t*)std::malloc(bytes);
    if (!b || !m || (!source && !data)) {
        std::free(b);
        std::free(m);
        std::free(data);
        return -1;
    }
    if (data) std::memset(data, format->bitsPerSample == 8 ? 128 : 0, bytes);
    m->data = data;
    m->bytes = bytes;
    m->refs = 1;
    m->functions = functions;
    m->source = source;
    b->memory = m;
    b->format = *format;
    b->blockAlign = blockAlign;
    b->frames = bytes / blockAlign;
    b->flags = flags;
    UpdateGains(b);
    g_buffers[slot] = b;
    if (slot + 1 > g_bufferEnd) g_bufferEnd = slot + 1;
    return slot + 1;
}

}  // namespace

int AudioCreateBuffer(const AudioFormat* format, uint32_t bytes, int flags) {
    return CreateBuffer(format, bytes, flags, nullptr, nullptr);
}

int AudioCreateSourceBuffer(const AudioFormat* format, uint32_t bytes, int flags,
                            const AudioSourceFunctions* functions, void* source) {
    if (!functions || !source || !functions->openCursor || !functions->seekCursor ||
        !functions->readCursor || !functions->closeCursor || !functions->releaseSource)
        return -1;
    return CreateBuffer(format, bytes, flags, functions, source);
}

int AudioDuplicateBuffer(int buffer) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* src = FindBuffer(buffer);
    if (!src || !g_running) return -1;
    int slot = NewSlot();
    if (slot < 0) return -1;
    MixBuffer* b = (MixBuffer*)std::calloc(1, sizeof(MixBuffer));
    if (!b) return -1;
    b->memory = src->memory;
    b->memory->refs++;
    b->format = src->format;
    b->blockAlign = src->blockAlign;
    b->frames = src->frames;
    b->flags = src->flags;
    b->volume = src->volume;
    b->pan = src->pan;
    b->frequency = src->frequency;
    UpdateGains(b);
    g_buffers[slot] = b;
    if (slot + 1 > g_bufferEnd) g_bufferEnd = slot + 1;
    return slot + 1;
}

void AudioReleaseBuffer(int buffer) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    if (FindBuffer(buffer)) FreeBuffer(buffer - 1);
}

int AudioPlay(int buffer, int looping) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b) return -1;
    b->playing = 1;
    b->looping = looping ? 1 : 0;
    return 0;
}

int AudioStop(int buffer) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b) return -1;
    Halt(b);
    return 0;
}

int AudioGetStatus(int buffer, uint32_t* status) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !status) return -1;
    *status = (b->playing ? (uint32_t)AudioStatusPlaying : 0u) |
              (b->playing && b->looping ? (uint32_t)AudioStatusLooping : 0u);
    return 0;
}

int AudioGetPosition(int buffer, uint32_t* playCursor, uint32_t* writeCursor) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b) return -1;
    uint32_t frame = (uint32_t)(b->position >> 32);
    if (playCursor) *playCursor = frame * b->blockAlign;
    if (writeCursor) {
        uint32_t ahead = 0;
        if (b->playing)
            ahead = (uint32_t)(((uint64_t)WriteAheadDeviceFrames * EffectiveRate(b) +
                                (uint64_t)g_rate - 1) / (uint64_t)g_rate);
        *writeCursor = (uint32_t)(((uint64_t)frame + ahead) % b->frames) * b->blockAlign;
    }
    return 0;
}

int AudioSetPosition(int buffer, uint32_t playCursor) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b) return -1;
    uint32_t frame = playCursor / b->blockAlign;
    if (frame >= b->frames) frame = b->frames - 1;
    b->position = (uint64_t)frame << 32;
    return 0;
}

int AudioSetVolume(int buffer, int32_t volume) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !(b->flags & AudioBufferVolumeControl)) return -1;
    if (volume < AudioVolumeMin || volume > AudioVolumeMax) return -1;
    b->volume = volume;
    UpdateGains(b);
    return 0;
}

int AudioSetPan(int buffer, int32_t pan) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !(b->flags & AudioBufferPanControl)) return -1;
    if (pan < AudioPanLeft || pan > AudioPanRight) return -1;
    b->pan = pan;
    UpdateGains(b);
    return 0;
}

int AudioSetFrequency(int buffer, uint32_t frequency) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !(b->flags & AudioBufferFrequencyControl)) return -1;
    if (frequency != AudioFrequencyOriginal &&
        (frequency < (uint32_t)AudioFrequencyMin || frequency > (uint32_t)AudioFrequencyMax))
        return -1;
    b->frequency = frequency;
    return 0;
}

int AudioGetVolume(int buffer, int32_t* volume) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !volume) return -1;
    *volume = b->volume;
    return 0;
}

int AudioGetPan(int buffer, int32_t* pan) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !pan) return -1;
    *pan = b->pan;
    return 0;
}

int AudioGetFrequency(int buffer, uint32_t* frequency) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !frequency) return -1;
    *frequency = EffectiveRate(b);
    return 0;
}

int AudioLock(int buffer, uint32_t offset, uint32_t bytes, void** part1,
              uint32_t* bytes1, void** part2, uint32_t* bytes2) {
    if (!part1 || !bytes1) return -1;
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b || b->locked || !b->memory->data) return -1;
    const uint32_t size = b->memory->bytes;
    if (bytes == 0 || bytes > size || offset >= size) return -1;
    if (bytes > b->stageCapacity) {
        uint8_t* stage = (uint8_t*)std::realloc(b->stage, bytes);
        if (!stage) return -1;
        b->stage = stage;
        b->stageCapacity = bytes;
    }
    uint32_t first = size - offset < bytes ? size - offset : bytes;
    uint32_t second = bytes - first;
    std::memcpy(b->stage, b->memory->data + offset, first);
    if (second) std::memcpy(b->stage + first, b->memory->data, second);
    b->locked = 1;
    b->lockOffset = offset;
    b->lockBytes = bytes;
    *part1 = b->stage;
    *bytes1 = first;
    if (part2) *part2 = second ? b->stage + first : nullptr;
    if (bytes2) *bytes2 = second;
    if (second && (!part2 || !bytes2)) {
        b->locked = 0;
        return -1;
    }
    return 0;
}

int AudioUnlock(int buffer, void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) {
    std::lock_guard<std::mutex> hold(g_mixerLock);
    AudioBackendCatchUpLocked();
    MixBuffer* b = FindBuffer(buffer);
    if (!b || !b->locked || part1 != b->stage) return -1;
    const uint32_t size = b->memory->bytes;
    uint32_t first = size - b->lockOffset < b->lockBytes ? size - b->lockOffset : b->lockBytes;
    uint32_t second = b->lockBytes - first;
    if (bytes1 > first) bytes1 = first;
    if (part2 != nullptr && part2 != b->stage + first) return -1;
    if (bytes2 > second || !part2) bytes2 = part2 ? second : 0;
    std::memcpy(b->memory->data + b->lockOffset, b->stage, bytes1);
    if (bytes2) std::memcpy(b->memory->data, b->stage + first, bytes2);
    b->locked = 0;
    if (b->stageCapacity > KeptStageBytes) {
        std::free(b->stage);
        b->stage = nullptr;
        b->stageCapacity = 0;
    }
    return 0;
}
