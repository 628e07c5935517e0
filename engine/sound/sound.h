// The engine's sound layer inside: decoders, the sound table, streaming.
// The game sees only LoadSoundFile / PlaySoundHandle / StopSoundHandle /
// IsSoundPlaying in engine/engine.h; the rest is for the engine, its tools
// and its tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/files/files.h"

// ------------------------------------------------------------- formats

enum {
    WaveTagPcm = 0x0001,
    WaveTagMsAdpcm = 0x0002,
    WaveTagIeeeFloat = 0x0003,
    WaveTagALaw = 0x0006,
    WaveTagMuLaw = 0x0007,
    WaveTagImaAdpcm = 0x0011,
    WaveTagExtensible = 0xFFFE,
};

struct SoundWaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;
};

// What the wave parser finds in a RIFF/WAVE image.
enum { SoundWaveExtraMax = 1024 };
struct SoundWaveInfo {
    SoundWaveFormat format;
    uint32_t fmtBodyBytes;
    uint8_t extra[SoundWaveExtraMax];  // the format body after 18 bytes
    uint32_t extraBytes;
    uint64_t dataStart;
    uint64_t dataBytes;     // as declared
    uint64_t dataPresent;   // what the image really holds of it
};
// 0 when the stream holds a wave file by the parsing rules, -1 if not.
// pcmOnly: refuse a format tag other than PCM (the first decoder kind).
int SoundParseWave(MemoryStream* stream, int pcmOnly, SoundWaveInfo* info);

// ------------------------------------------------------------- decoders

enum SoundDecoderKind {
    SoundDecoderNone = 0,
    SoundDecoderPcm = 1,
    SoundDecoderConverted = 2,
    SoundDecoderVorbis = 3,
};

// Converter of compressed wave data to 16-bit PCM (decoder kind 2).
enum SoundCodec {
    SoundCodecNone = 0,
    SoundCodecPcm,       // PCM the device cannot take (24, 32 bits, extensible)
    SoundCodecFloat,     // IEEE float, 32 or 64 bits
    SoundCodecALaw,
    SoundCodecMuLaw,
    SoundCodecImaAdpcm,
    SoundCodecMsAdpcm,
};
enum { SoundMsAdpcmMaxCoefs = 256 };
struct SoundConverter {
    int codec;
    SoundWaveFormat source;
    uint8_t* data;          // the whole data chunk
    uint64_t dataBytes;
    uint32_t unitBytes;     // source bytes of one conversion unit
    uint32_t unitFrames;    // frames a whole unit gives
    uint64_t unitCount;     // units, the last one possibly short
    uint64_t nextUnit;
    int coefCount;
    int16_t coef[SoundMsAdpcmMaxCoefs][2];
};

struct SoundDecoder {
    MemoryStream* stream;
    int kind;
    SoundWaveFormat format;   // PCM output
    SoundWaveFormat source;   // as the file gives it
    uint64_t dataStart;       // PCM data in the source (wave kinds)
    uint64_t totalBytes;      // total PCM size
    uint8_t* work;
    uint32_t workSize, workFill, workRead;
    uint64_t delivered;       // PCM bytes delivered since the last seek base
    int ended;
    SoundConverter converter;
    void* vorbis;             // OggVorbis_File
};

// Tries the kinds in order, each from the start of the stream. 0 or -1.
int SoundDecoderSetup(SoundDecoder* decoder, MemoryStream* stream);
uint64_t SoundDecoderTotalBytes(const SoundDecoder* decoder);
int SoundDecoderSeek(SoundDecoder* decoder, uint64_t sample);
// PCM bytes delivered (whole frames), 0 at the end.
size_t SoundDecoderRead(SoundDecoder* decoder, void* buffer, size_t bytes);
void SoundDecoderEnd(SoundDecoder* decoder);
const char* SoundDecoderKindName(int kind);

// Kind 2: set up from a parsed wave; reads the data chunk from the stream.
int SoundConverterSetup(SoundConverter* c, const SoundWaveInfo* info, MemoryStream* stream,
                        SoundWaveFormat* out);
// Total PCM bytes of the whole data chunk.
uint64_t SoundConverterTotalBytes(const SoundConverter* c);
// Converts unit `unit` into out (room for unitFrames frames); frames made.
uint32_t SoundConverterUnit(const SoundConverter* c, uint64_t unit, int16_t* out);
void SoundConverterEnd(SoundConverter* c);

// --------------------------------------------------------------- rules

enum {
    SoundMaxBuffers = 10,
    SoundMaxStreamEntries = 3,
    SoundMemorySecondsMax = 180,
    SoundTableSize = 32768,
    SoundThreadPeriodMs = 30,
};

// 1 when a sound of this size would be streamed rather than kept in memory.
int SoundWouldStream(uint64_t pcmBytes, uint32_t avgBytesPerSec);

// The spans of a streamed sound from its average bytes per second A and
// block align K: size S, refill span L, first fill F, step E.
struct SoundStreamSpans {
    uint32_t size, refill, firstFill, step;
};
void SoundComputeSpans(uint32_t avgBytesPerSec, uint32_t blockAlign, SoundStreamSpans* spans);

// ---------------------------------------------------- the sound layer
//
// Threads and locks. The game's thread loads, plays, queries, stops and (at
// the end) deletes sounds; the sound thread refills streamed sounds every
// 30 ms; the mixer runs on the device's thread (SDL) or on whichever thread
// asks the headless device something. Three locks, always taken in this
// order and never the other way round:
//   1. the engine's call lock (engine/core): EngineInit, EngineEnd and the
//      message pump. InitSound and EndSound run under it.
//   2. the sound lock (recursive, here): the sound table (slots, count,
//      next-slot hint, check numbers), the list of streamed sounds and every
//      streamed sound's refill state. Loading, the streamed play and stop,
//      preparing and refilling hold it.
//   3. the mixer lock (engine/platform/common/mixer.cpp): the platform
//      buffers and the device stream; each Audio* call takes it for itself.
// EngineFatal must not run under the sound lock: its shut-down waits for
// the sound thread, which may be waiting for that lock.
//
// The memory-sound paths of PlaySoundHandle, IsSoundPlaying and
// StopSoundHandle take no sound lock. They are safe because only the game's
// thread changes the table and the memory-sound records (loading and
// deleting run on it, under the lock, so it never reads a half-made record
// of its own), the sound thread reads nothing but the stream list and the
// streamed records in it, and every buffer operation they make is guarded
// by the mixer lock. Not taking the lock keeps an effect from waiting for a
// refill pass that is decoding.

int InitSound();
int EndSound();

// The recursive sound lock.
void SoundLock();
void SoundUnlock();

// What a handle holds, for tools and tests.
struct SoundInfo {
    int streamed;
    int compressed;           // a memory sound decoded as it is mixed
    int bufferCount;
    int buffers[SoundMaxBuffers];  // platform buffer ids
    int lastBuffer;
    int decoderKind;
    SoundWaveFormat format;
    uint64_t pcmBytes;        // memory sound
    uint64_t totalSamples;    // streamed sound
    int entryCount;
    int streamBuffer;
    SoundStreamSpans spans;
    int64_t writePosition, guardPosition;
    int prepared, endOfData;
    int currentEntry;
    uint64_t entryPosition;
    int lastPlayType;
};
int SoundGetInfo(int handle, SoundInfo* info);
int SoundCount();
// Deletes one sound (stops it, frees its buffers and data), as the layer's
// end does for all; -1 for an invalid handle. For tools and harnesses.
int SoundDeleteHandle(int handle);

// One pass of the sound thread's work (refills every prepared stream).
void SoundThreadPass();
// While paused the sound thread skips its passes (tests drive them).
void SoundSetThreadPaused(int paused);
