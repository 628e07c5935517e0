// Sound handles: the sound table, loading into memory or streamed sounds,
// playback on the platform's buffers, the sound thread that refills
// streams, and the layer's start and end. The threads and locks are
// described in sound.h.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/core/core.h"
#include "engine/core/handle.h"
#include "engine/core/modules.h"
#include "engine/engine.h"
#include "engine/files/files.h"
#include "engine/platform/platform.h"
#include "engine/sound/sound.h"

namespace {

constexpr int NothingWritten = -800;
constexpr uint32_t SilentBufferBytes = 400;
constexpr int MemorySound = 0;
constexpr int StreamedSound = 1;

// The sound thread's hand-over at shut-down.
enum SoundThreadState {
    SoundThreadRunning = 0,
    SoundThreadStopAsked = 1,
    SoundThreadStopped = 2,
};

struct StreamEntry {
    int8_t loopCount;
    uint8_t* data;  // the entry's own copy of the file image
    size_t size;
    MemoryStream stream;
    SoundDecoder decoder;
};

struct SoundRecord {
    int check;
    int kind;
    int handle;
    int buffers[SoundMaxBuffers];
    int bufferCount;
    int lastBuffer;
    int volume, pan, frequency;
    SoundWaveFormat format;
    int decoderKind;
    // memory sound: the samples live once, in the platform buffers, shared
    // by the duplicates (the mixer counts the references)
    uint64_t pcmBytes;
    int compressed;  // kept as the file image and decoded as it is mixed
    // streamed sound
    StreamEntry* entries[SoundMaxStreamEntries];
    int entryCount;
    int streamBuffer;
    uint64_t totalSamples;
    SoundStreamSpans spans;
    int64_t writePos, guardPos;
    int prepared;
    int endOfData;
    int64_t endOffset, endCursor;
    int wrapPending;  // a loop wrap is written and not yet played past
    int64_t wrapOffset, wrapCursor;
    int writtenSinceRewind;
    int currentEntry;
    uint64_t entryPos;
    int loopsDone;
    int lastPlayType;
    SoundRecord* nextStream;
    SoundRecord* prevStream;
    int inStreamList;
};

struct SoundLayer {
    int running;  // the device object exists
    int silentBuffer;
    SoundRecord* streams;
};

std::recursive_mutex g_SoundLock;
SoundLayer g_Layer;
SoundRecord* g_Slots[SoundTableSize];
int g_SoundCount;
int g_NextSlot;
int g_NextCheck;

std::thread g_Thread;
std::atomic<int> g_ThreadStop{SoundThreadStopped};
std::atomic<int> g_ThreadPaused{0};
std::mutex g_ThreadWakeLock;
std::condition_variable g_ThreadWake;

// Messages ending in a newline go out as they are; others become a line.
void LogLine(const char* text) {
    size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\n') LogWrite(text);
    else LogWriteFormat("%s", text);
}

// ------------------------------------------------------------ the table

SoundRecord* FindSound(int handle) {
    const int slot = HandleSlot(handle, HandleKindSound);
    if (slot < 0) return nullptr;
    SoundRecord* r = g_Slots[slot];
    if (!r || r->check != HandleCheck(handle)) return nullptr;
    return r;
}

int AddSound() {
    if (g_SoundCount >= SoundTableSize) {
        LogLine("サウンドの数が許容量を越えました\n");
        return -1;
    }
    int slot = g_NextSlot;
    if (slot >= SoundTableSize) {
        slot = 0;
        while (slot < SoundTableSize && g_Slots[slot]) ++slot;
        if (slot >= SoundTableSize) return -1;
    }
    SoundRecord* r = (SoundRecord*)EngineAllocZeroed(sizeof(SoundRecord));
    if (!r) {
        LogLine("メモリ領域の確保に失敗しました in AddSoundData");
        return -1;
    }
    r->check = g_NextCheck;
    g_NextCheck = NextHandleCheck(g_NextCheck);
    r->handle = MakeHandle(HandleKindSound, r->check, slot);
    r->writePos = NothingWritten;
    r->guardPos = -1;
    g_Slots[slot] = r;
    ++g_SoundCount;
    if (g_NextSlot < slot + 1) g_NextSlot = slot + 1;
    if (g_NextSlot < g_SoundCount) g_NextSlot = g_SoundCount;
    return r->handle;
}

void UnlinkStream(SoundRecord* r) {
    if (!r->inStreamList) return;
    if (r->prevStream) r->prevStream->nextStream = r->nextStream;
    else g_Layer.streams = r->nextStream;
    if (r->nextStream) r->nextStream->prevStream = r->prevStream;
    r->nextStream = r->prevStream = nullptr;
    r->inStreamList = 0;
}

void LinkStream(SoundRecord* r) {
    if (r->inStreamList) return;
    r->nextStream = g_Layer.streams;
    r->prevStream = nullptr;
    if (g_Layer.streams) g_Layer.streams->prevStream = r;
    g_Layer.streams = r;
    r->inStreamList = 1;
}

int DeleteSound(int handle) {
    SoundRecord* r = FindSound(handle);
    if (!r) return -1;
    for (int i = 0; i < r->bufferCount; ++i) {
        AudioStop(r->buffers[i]);
        AudioReleaseBuffer(r->buffers[i]);
    }
    if (r->streamBuffer > 0) {
        AudioStop(r->streamBuffer);
        AudioReleaseBuffer(r->streamBuffer);
    }
    for (int i = 0; i < r->entryCount; ++i) {
        StreamEntry* e = r->entries[i];
        if (!e) continue;
        SoundDecoderEnd(&e->decoder);
        MemoryStreamClose(&e->stream);
        if (e->data) EngineFree(e->data);
        EngineFree(e);
    }
    UnlinkStream(r);
    int slot = HandleSlot(handle, HandleKindSound);
    EngineFree(r);
    g_Slots[slot] = nullptr;
    --g_SoundCount;
    if (slot + 1 >= g_NextSlot) {
        int end = slot;
        while (end > 0 && !g_Slots[end - 1]) --end;
        g_NextSlot = end;
    }
    return 0;
}

void DeleteAllSounds() {
    for (int i = 0; i < SoundTableSize; ++i)
        if (g_Slots[i]) DeleteSound(g_Slots[i]->handle);
}

int IsBufferPlaying(int buffer) {
    uint32_t status = 0;
    if (AudioGetStatus(buffer, &status) != 0) return 0;
    return (status & AudioStatusPlaying) ? 1 : 0;
}

void ApplyControls(const SoundRecord* r, int buffer) {
    AudioSetVolume(buffer, r->volume);
    AudioSetPan(buffer, r->pan);
    AudioSetFrequency(buffer, (uint32_t)r->frequency);
}

// --------------------------------------------------------- streaming

uint32_t StreamSize(const SoundRecord* r) { return r->spans.size; }

uint32_t PlayCursor(const SoundRecord* r) {
    uint32_t play = 0;
    AudioGetPosition(r->streamBuffer, &play, nullptr);
    return play;
}

// Whether the cursor, noted at `from`, has since reached `target`.
int CursorPassed(uint32_t size, int64_t from, int64_t target, uint32_t cursor) {
    int64_t s = size;
    int64_t toTarget = ((target - from) % s + s) % s;
    int64_t moved = (((int64_t)cursor - from) % s + s) % s;
    return moved >= toTarget;
}

// Whether the cursor lies in the span from the guard to the write position.
int CursorInWindow(int64_t guard, int64_t write, uint32_t cursor) {
    int64_t c = cursor;
    if (guard <= write) return c >= guard && c <= write;
    return c >= guard || c <= write;
}

void Rewind(SoundRecord* r) {
    r->currentEntry = 0;
    r->entryPos = 0;
    r->loopsDone = 0;
    r->prepared = 0;
    r->endOfData = 0;
    r->wrapPending = 0;
    r->writtenSinceRewind = 0;
}

void FillSilence(const SoundRecord* r, uint8_t* p, size_t n) {
    std::memset(p, r->format.bitsPerSample == 8 ? 128 : 0, n);
}

int EntryStart(StreamEntry* e) { return SoundDecoderSeek(&e->decoder, 0); }

// Fills one locked piece at buffer offset `at` from the stream entries.
// Returns the bytes written; fewer than asked only when a loop wrap would
// come before the cursor has played past the previous one.
size_t FillFromStream(SoundRecord* r, uint8_t* p, size_t n, uint32_t at) {
    size_t done = 0;
    int emptyWraps = 0;
    while (done < n) {
        if (r->endOfData) {
            FillSilence(r, p + done, n - done);
            return n;
        }
        StreamEntry* e = r->currentEntry < r->entryCount ? r->entries[r->currentEntry] : nullptr;
        size_t got = e ? SoundDecoderRead(&e->decoder, p + done, n - done) : 0;
        if (got > 0) {
            done += got;
            r->entryPos += got;
            r->writtenSinceRewind = 1;
            emptyWraps = 0;
            continue;
        }
        // The entry is exhausted: loop it, take the next, or wrap.
        int ended = 0;
        if (e && (e->loopCount < 0 || r->loopsDone < e->loopCount)) {
            ++r->loopsDone;
            r->entryPos = 0;
            EntryStart(e);
            ended = ++emptyWraps > 2;
        } else if (r->currentEntry + 1 < r->entryCount) {
            ++r->currentEntry;
            r->loopsDone = 0;
            r->entryPos = 0;
            EntryStart(r->entries[r->currentEntry]);
        } else if (r->lastPlayType == 3) {
            if (r->wrapPending) return done;
            ended = ++emptyWraps > 1;  // nothing decodes at all
            if (!ended) {
                r->currentEntry = 0;
                r->loopsDone = 0;
                r->entryPos = 0;
                if (r->entryCount > 0) EntryStart(r->entries[0]);
                r->wrapPending = 1;
                r->wrapOffset = (int64_t)((at + done) % StreamSize(r));
                r->wrapCursor = PlayCursor(r);
            }
        } else {
            ended = 1;
        }
        if (ended) {
            r->endOfData = 1;
            r->endOffset = (int64_t)((at + done) % StreamSize(r));
            r->endCursor = PlayCursor(r);
        }
    }
    return done;
}

// Writes n bytes at the write position (0 when nothing is written yet),
// then moves the write and guard positions on.
void WriteStream(SoundRecord* r, uint32_t n, int silence) {
    if (n == 0 || r->streamBuffer <= 0) return;
    const uint32_t size = StreamSize(r);
    if (n > size) n = size;
    uint32_t at = r->writePos == NothingWritten ? 0 : (uint32_t)r->writePos;
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    if (AudioLock(r->streamBuffer, at, n, &p1, &n1, &p2, &n2) != 0) return;
    size_t written;
    if (silence) {
        FillSilence(r, (uint8_t*)p1, n1);
        if (p2) FillSilence(r, (uint8_t*)p2, n2);
        written = n1 + n2;
    } else {
        written = FillFromStream(r, (uint8_t*)p1, n1, at);
        if (written == n1 && p2 && n2) written += FillFromStream(r, (uint8_t*)p2, n2, 0);
    }
    AudioUnlock(r->streamBuffer, p1, n1, p2, n2);
    r->writePos = (int64_t)((at + written) % size);
    r->guardPos = ((r->writePos - (int64_t)r->spans.refill) % (int64_t)size + size) % size;
}

void RefillStream(SoundRecord* r) {
    if (!r->prepared || r->streamBuffer <= 0) return;
    const uint32_t a = r->format.avgBytesPerSec;
    const uint32_t k = r->format.blockAlign;
    if (r->endOfData) {
        uint32_t c = PlayCursor(r);
        if (CursorPassed(StreamSize(r), r->endCursor, r->endOffset, c)) {
            AudioStop(r->streamBuffer);
            Rewind(r);
            return;
        }
        if (CursorInWindow(r->guardPos, r->writePos, c)) WriteStream(r, r->spans.step, 1);
        return;
    }
    if (!IsBufferPlaying(r->streamBuffer)) {
        if (r->writePos != NothingWritten) return;
        WriteStream(r, r->spans.firstFill, 0);
        r->guardPos = 0;
        return;
    }
    uint32_t c = PlayCursor(r);
    if (r->wrapPending && CursorPassed(StreamSize(r), r->wrapCursor, r->wrapOffset, c))
        r->wrapPending = 0;
    if (r->writePos == NothingWritten || !CursorInWindow(r->guardPos, r->writePos, c)) return;
    const int64_t size = StreamSize(r);
    const uint64_t unplayed = (uint64_t)(((r->writePos - (int64_t)c) % size + size) % size);
    const uint64_t v = unplayed * 512 / a;
    uint32_t n;
    if (v > 191) n = r->spans.step;
    else n = (uint32_t)(k * (((192 - v) * a / 512) / k));
    WriteStream(r, n, 0);
}

void PrepareStream(SoundRecord* r) {
    if (r->prepared || IsBufferPlaying(r->streamBuffer)) return;
    AudioSetPosition(r->streamBuffer, 0);
    r->writePos = NothingWritten;
    r->guardPos = -1;
    r->wrapPending = 0;
    if (r->currentEntry < r->entryCount) {
        StreamEntry* e = r->entries[r->currentEntry];
        SoundDecoderSeek(&e->decoder, r->entryPos / r->format.blockAlign);
    }
    r->prepared = 1;
    RefillStream(r);
}

// ---------------------------------------------- compressed memory sounds
// An Ogg Vorbis memory sound stays the file image it was loaded from; each
// of its playing buffers decodes it through a cursor of its own as the
// mixer needs frames, which gives the samples a full decode at load would
// have given (silence past what the data holds, up to the claimed length).

struct CompressedSound {
    uint8_t* image;
    size_t size;
};

struct CompressedCursor {
    MemoryStream stream;
    SoundDecoder decoder;
};

void* OpenCompressedCursor(void* source) {
    const CompressedSound* s = (const CompressedSound*)source;
    CompressedCursor* c = (CompressedCursor*)EngineAllocZeroed(sizeof(CompressedCursor));
    if (!c) return nullptr;
    MemoryStreamOpen(&c->stream, s->image, s->size);
    if (SoundDecoderSetup(&c->decoder, &c->stream) != 0) {
        MemoryStreamClose(&c->stream);
        EngineFree(c);
        return nullptr;
    }
    return c;
}

int SeekCompressedCursor(void* cursor, uint32_t frame) {
    return SoundDecoderSeek(&((CompressedCursor*)cursor)->decoder, frame);
}

uint32_t ReadCompressedCursor(void* cursor, void* out, uint32_t frames) {
    SoundDecoder* d = &((CompressedCursor*)cursor)->decoder;
    const uint32_t k = d->format.blockAlign;
    return (uint32_t)(SoundDecoderRead(d, out, (size_t)frames * k) / k);
}

void CloseCompressedCursor(void* cursor) {
    CompressedCursor* c = (CompressedCursor*)cursor;
    SoundDecoderEnd(&c->decoder);
    MemoryStreamClose(&c->stream);
    EngineFree(c);
}

void ReleaseCompressedSound(void* source) {
    CompressedSound* s = (CompressedSound*)source;
    EngineFree(s->image);
    EngineFree(s);
}

const AudioSourceFunctions CompressedSoundFunctions = {
    OpenCompressedCursor, SeekCompressedCursor, ReadCompressedCursor,
    CloseCompressedCursor, ReleaseCompressedSound,
};

// ------------------------------------------------------------- loading

// Buffer 0 and its duplicates; over a compressed sound when one is given
// (buffer 0 then owns it).
int MakeMemoryBuffers(SoundRecord* r, int n, const SoundWaveFormat* f, uint32_t bytes,
                      CompressedSound* compressed) {
    r->bufferCount = 0;
    if (n <= 0) return 0;
    AudioFormat af = {f->channels, f->bitsPerSample, (int)f->samplesPerSec};
    auto create = [&](int flags) {
        return compressed ? AudioCreateSourceBuffer(&af, bytes, flags, &CompressedSoundFunctions, compressed)
                          : AudioCreateBuffer(&af, bytes, flags);
    };
    int id = create(AudioBufferStatic | AudioBufferVolumeControl | AudioBufferPanControl |
                    AudioBufferFrequencyControl | AudioBufferGlobalFocus);
    if (id <= 0) id = create(AudioBufferStatic | AudioBufferVolumeControl | AudioBufferPanControl);
    if (id <= 0) {
        LogLine("DirectSoundBuffer の作成に失敗しました\n");
        return -1;
    }
    r->buffers[0] = id;
    r->bufferCount = 1;
    for (int i = 1; i < n; ++i) {
        int dup = AudioDuplicateBuffer(id);
        if (dup <= 0) break;
        r->buffers[i] = dup;
        r->bufferCount = i + 1;
    }
    return 0;
}

// *fatal is set when the stream's buffer cannot be made: the caller ends
// the process once it has let go of the sound lock.
int AddStreamEntry(SoundRecord* r, const uint8_t* image, size_t size, int* fatal) {
    MemoryStream source;
    if (!image) {
        LogLine("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
        return -1;
    }
    MemoryStreamOpen(&source, image, size);
    int ok = 0;
    StreamEntry* e = nullptr;
    do {
        if (r->entryCount >= SoundMaxStreamEntries) {
            LogLine("ストリーム風サウンドの制御データ領域がいっぱいです\n");
            break;
        }
        if (r->entryCount > 0 && r->kind != StreamedSound) {
            LogLine("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
            break;
        }
        if (r->streamBuffer > 0 && IsBufferPlaying(r->streamBuffer)) {
            LogLine("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
            break;
        }
        e = (StreamEntry*)EngineAllocZeroed(sizeof(StreamEntry));
        uint8_t* copy = e ? (uint8_t*)EngineAlloc(size ? size : 1) : nullptr;
        if (!copy) {
            LogLine("ストリームの読み込みに必要なメモリの確保に失敗しました");
            LogLine("音声データの読み込みに失敗しました");
            break;
        }
        MemoryStreamRead(copy, 1, size, &source);
        e->data = copy;
        e->size = size;
        e->loopCount = 0;
        MemoryStreamOpen(&e->stream, e->data, e->size);
        if (SoundDecoderSetup(&e->decoder, &e->stream) != 0) {
            LogLine("音声データのオープンに失敗しました");
            break;
        }
        const SoundWaveFormat* f = &e->decoder.format;
        if (r->entryCount == 0) {
            SoundStreamSpans spans;
            SoundComputeSpans(f->avgBytesPerSec, f->blockAlign, &spans);
            AudioFormat af = {f->channels, f->bitsPerSample, (int)f->samplesPerSec};
            const int buffer = AudioCreateBuffer(
                &af, spans.size,
                AudioBufferStatic | AudioBufferVolumeControl | AudioBufferPanControl |
                    AudioBufferFrequencyControl | AudioBufferGlobalFocus | AudioBufferAccurateCursor);
            if (buffer <= 0) {
                *fatal = 1;
                break;
            }
            r->format = *f;
            r->decoderKind = e->decoder.kind;
            r->spans = spans;
            r->streamBuffer = buffer;
            r->kind = StreamedSound;
            r->frequency = (int)f->samplesPerSec;
            LinkStream(r);
        } else if (std::memcmp(f, &r->format, sizeof *f) != 0) {
            LogLine("フォーマットの違う音声データは同時に使うことは出来ません");
            break;
        }
        ok = 1;
    } while (0);
    if (!ok) {
        if (e) {
            SoundDecoderEnd(&e->decoder);
            if (e->data) EngineFree(e->data);
            EngineFree(e);
        }
        if (!*fatal) LogLine("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
        MemoryStreamClose(&source);
        return -1;
    }
    r->entries[r->entryCount++] = e;
    r->totalSamples = 0;
    for (int i = 0; i < r->entryCount; ++i)
        r->totalSamples += SoundDecoderTotalBytes(&r->entries[i]->decoder) / r->format.blockAlign;
    MemoryStreamClose(&source);
    PrepareStream(r);
    return 0;
}

// An Ogg Vorbis memory sound: the buffers take over the file image.
int MakeCompressedSound(SoundRecord* r, uint8_t** image, size_t size, const SoundWaveFormat* format,
                        uint64_t total, int bufferCount, int* fatal) {
    CompressedSound* compressed = (CompressedSound*)EngineAllocZeroed(sizeof(CompressedSound));
    if (!compressed) {
        LogLine("音声ファイルを格納するメモリ領域の確保に失敗しました");
        return -1;
    }
    compressed->image = *image;
    compressed->size = size;
    if (MakeMemoryBuffers(r, bufferCount, format, (uint32_t)total, compressed) != 0) {
        EngineFree(compressed);
        return AddStreamEntry(r, *image, size, fatal) == 0 ? r->handle : -1;
    }
    if (r->bufferCount > 0) *image = nullptr;  // owned by the buffers now
    else EngineFree(compressed);            // no buffer: nothing plays it
    r->kind = MemorySound;
    r->compressed = 1;
    r->frequency = (int)format->samplesPerSec;
    r->format = *format;
    r->pcmBytes = total;
    return r->handle;
}

// Makes the sound from a whole file image; the handle it made (possibly
// half-made on failure) goes to *made. A compressed memory sound takes the
// image over and clears *image.
int MakeSoundFromImage(uint8_t** image, size_t size, int bufferCount, int* made, int* fatal) {
    *made = -1;
    int handle = AddSound();
    if (handle < 0) return -1;
    *made = handle;
    SoundRecord* r = FindSound(handle);

    MemoryStream ms;
    MemoryStreamOpen(&ms, *image, size);
    SoundDecoder dec;
    if (SoundDecoderSetup(&dec, &ms) != 0) {
        LogLine("音声ファイルのＰＣＭへの変換に失敗しました");
        return -1;
    }
    const SoundWaveFormat format = dec.format;
    const uint64_t total = SoundDecoderTotalBytes(&dec);
    r->decoderKind = dec.kind;
    // The length the decoder reports decides before anything is decoded:
    // a sound longer than 180 seconds (or one that only claims to be) is
    // streamed, and is never held whole.
    if (SoundWouldStream(total, format.avgBytesPerSec)) {
        SoundDecoderEnd(&dec);
        MemoryStreamClose(&ms);
        return AddStreamEntry(r, *image, size, fatal) == 0 ? handle : -1;
    }
    if (dec.kind == SoundDecoderVorbis) {
        SoundDecoderEnd(&dec);
        MemoryStreamClose(&ms);
        return MakeCompressedSound(r, image, size, &format, total, bufferCount, fatal);
    }

    // Wave data: decoded once into the platform buffer, which holds the
    // only copy (at most 180 seconds, bounded by the data chunk).
    uint8_t* pcm = (uint8_t*)EngineAlloc((size_t)total);
    if (!pcm) {
        LogLine("音声ファイルを格納するメモリ領域の確保に失敗しました");
        SoundDecoderEnd(&dec);
        return -1;
    }
    SoundDecoderSeek(&dec, 0);
    uint64_t filled = 0;
    while (filled < total) {
        size_t got = SoundDecoderRead(&dec, pcm + filled, (size_t)(total - filled));
        if (got == 0) break;
        filled += got;
    }
    if (filled < total)
        std::memset(pcm + filled, format.bitsPerSample == 8 ? 128 : 0, (size_t)(total - filled));
    SoundDecoderEnd(&dec);
    MemoryStreamClose(&ms);

    if (MakeMemoryBuffers(r, bufferCount, &format, (uint32_t)total, nullptr) != 0) {
        EngineFree(pcm);
        return AddStreamEntry(r, *image, size, fatal) == 0 ? handle : -1;
    }
    r->kind = MemorySound;
    r->frequency = (int)format.samplesPerSec;
    r->format = format;
    r->pcmBytes = total;
    // Duplicates share buffer 0's sample memory: one copy fills them all.
    int result = handle;
    if (r->bufferCount > 0) {
        void* p1 = nullptr;
        void* p2 = nullptr;
        uint32_t n1 = 0, n2 = 0;
        if (AudioLock(r->buffers[0], 0, (uint32_t)total, &p1, &n1, &p2, &n2) != 0) {
            LogLine("サウンドデータの転送に失敗しました_1");
            result = -1;
        } else {
            std::memcpy(p1, pcm, n1);
            if (p2 && n2) std::memcpy(p2, pcm + n1, n2);
            if (AudioUnlock(r->buffers[0], p1, n1, p2, n2) != 0) {
                LogLine("サウンドデータの転送に失敗しました_2");
                result = -1;
            }
        }
    }
    EngineFree(pcm);
    return result;
}

// Reads a whole file through the file layer. 0, -1 open failed, -2 no memory.
int ReadWholeFile(const char* path, uint8_t** image, size_t* size) {
    int fh = FileOpen(path, 0, 1, 0);
    if (fh == 0) return -1;
    FileSeek(fh, 0, 2);
    int64_t n = FileTell(fh);
    FileSeek(fh, 0, 0);
    if (n < 0) n = 0;
    uint8_t* data = (uint64_t)n < (uint64_t)SIZE_MAX ? (uint8_t*)EngineAlloc((size_t)n + 1) : nullptr;
    if (!data) {
        FileClose(fh);
        return -2;
    }
    size_t got = n > 0 ? FileRead(data, 1, (size_t)n, fh) : 0;
    FileClose(fh);
    *image = data;
    *size = got;
    return 0;
}

// --------------------------------------------------------------- playing

void WaitForEnd(int handle) {
    for (;;) {
        if (ProcessWindowMessages() != 0) break;
        if (IsSoundPlaying(handle) != 1) break;
        PlatformSleepMs(1);
    }
}

int PlayStreamed(SoundRecord* r, int handle, int playType, int fromStart) {
    SoundLock();
    if (!fromStart && IsBufferPlaying(r->streamBuffer)) {
        SoundUnlock();
        return 0;
    }
    AudioStop(r->streamBuffer);
    if (((playType ^ r->lastPlayType) & 2) && r->endOfData) Rewind(r);
    if (fromStart) {
        r->endOfData = 0;
        if (r->writtenSinceRewind) Rewind(r);
    }
    r->lastPlayType = playType;
    if (!r->prepared) PrepareStream(r);
    ApplyControls(r, r->streamBuffer);
    int started = AudioPlay(r->streamBuffer, 1);
    SoundUnlock();
    if (started != 0) return -1;
    // The wait runs outside the lock so that the sound thread can refill.
    if (playType == 0) WaitForEnd(handle);
    return 0;
}

// The sound thread: a refill pass every 30 ms until it is asked to stop.
// The stop request also cuts its sleep short, so that shut-down does not
// wait for the rest of a period.
void SoundThreadMain() {
    AudioRaiseThreadPriority();
    while (g_ThreadStop.load() != SoundThreadStopAsked) {
        if (!g_ThreadPaused.load()) SoundThreadPass();
        std::unique_lock<std::mutex> hold(g_ThreadWakeLock);
        g_ThreadWake.wait_for(hold, std::chrono::milliseconds(SoundThreadPeriodMs),
                              [] { return g_ThreadStop.load() == SoundThreadStopAsked; });
    }
    g_ThreadStop.store(SoundThreadStopped);
}

void LogDeviceReport() {
    LogLine("DirectSound デバイスを列挙します\n");
    AudioDeviceInfo devices[8];
    int count = AudioEnumerateDevices(devices, 8);
    for (int i = 0; i < count && i < 8; ++i)
        LogWriteFormat("モジュール名:%15s  ドライバ記述:%s ", devices[i].module, devices[i].description);
    AudioDeviceCaps caps;
    AudioGetCaps(&caps);
    auto yes = [](int v) { return v ? "OK" : "NO"; };
    LogWriteFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                   caps.maxSecondaryRate / 1000.0, caps.minSecondaryRate / 1000.0);
    LogWriteFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB ",
                   caps.totalMemoryBytes / 1024.0, caps.freeMemoryBytes / 1024.0);
    LogLine("利用可能サンプリング精度\n");
    LogWriteFormat(" プライマリ １６bit = %s  ８bit = %s ", yes(caps.primary16Bit), yes(caps.primary8Bit));
    LogWriteFormat(" セカンダリ １６bit = %s  ８bit = %s ", yes(caps.secondary16Bit),
                   yes(caps.secondary8Bit));
    LogLine("利用可能チャンネル\n");
    LogWriteFormat(" プライマリ MONO = %s  STEREO = %s ", yes(caps.primaryMono), yes(caps.primaryStereo));
    LogWriteFormat(" セカンダリ MONO = %s  STEREO = %s ", yes(caps.secondaryMono),
                   yes(caps.secondaryStereo));
}

}  // namespace

// ------------------------------------------------------------ interface

void SoundLock() { g_SoundLock.lock(); }
void SoundUnlock() { g_SoundLock.unlock(); }

int LoadSoundFile(const char* path, int bufferCount, int unionHandle) {
    (void)unionHandle;  // no union: every load makes its own handle
    if (!g_Layer.running || !path) return -1;
    if (bufferCount > SoundMaxBuffers) bufferCount = SoundMaxBuffers;
    if (bufferCount < 0) bufferCount = 0;
    int handle = -1;
    int fatal = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
        uint8_t* image = nullptr;
        size_t size = 0;
        int read = ReadWholeFile(path, &image, &size);
        if (read != 0) {
            if (read == -1) LogWriteFormat("右記のファイルのオープンに失敗しました：%s", path);
            else LogWriteFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
            LogWriteFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
            return -1;
        }
        int made = -1;
        handle = MakeSoundFromImage(&image, size, bufferCount, &made, &fatal);
        if (handle < 0 && !fatal) {
            LogWriteFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
            if (made >= 0) DeleteSound(made);
        }
        if (image) EngineFree(image);
    }
    // Outside the sound lock: the shut-down waits for the sound thread,
    // which may be waiting for it.
    if (fatal) EngineFatal("ストリーム風サウンドバッファの作成に失敗しました");
    return handle;
}

// The memory-sound path runs without the sound lock; sound.h says why
// that is safe.
int PlaySoundHandle(int handle, int playType, int fromStart) {
    if (!g_Layer.running) return -1;
    SoundRecord* r = FindSound(handle);
    if (!r) return -1;
    if (r->kind == StreamedSound) return PlayStreamed(r, handle, playType, fromStart);

    uint32_t cursor = 0;
    if (r->lastBuffer < r->bufferCount) AudioGetPosition(r->buffers[r->lastBuffer], &cursor, nullptr);
    int next = r->lastBuffer + 1;
    if (next >= r->bufferCount) next = 0;
    if (next >= r->bufferCount) return -1;
    r->lastBuffer = next;
    const int b = r->buffers[next];
    uint32_t status = 0;
    if (AudioGetStatus(b, &status) == 0) {
        if (status & AudioStatusPlaying) {
            if (!fromStart) return 0;
            AudioStop(b);
        }
        AudioSetPosition(b, fromStart ? 0 : cursor);
        ApplyControls(r, b);
    }
    if (AudioPlay(b, playType == 3) != 0) return -1;
    if (playType == 0) WaitForEnd(handle);
    return 0;
}

int IsSoundPlaying(int handle) {
    if (!g_Layer.running) return -1;
    SoundRecord* r = FindSound(handle);
    if (!r) return -1;
    if (r->kind == StreamedSound) return IsBufferPlaying(r->streamBuffer);
    for (int i = 0; i < r->bufferCount; ++i)
        if (IsBufferPlaying(r->buffers[i])) return 1;
    return 0;
}

int StopSoundHandle(int handle) {
    if (!g_Layer.running) return -1;
    SoundRecord* r = FindSound(handle);
    if (!r) return -1;
    if (r->kind == StreamedSound) {
        std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
        uint32_t status = 0;
        if (AudioGetStatus(r->streamBuffer, &status) != 0) return -1;
        if (status & AudioStatusPlaying) AudioStop(r->streamBuffer);
        return 0;
    }
    for (int i = 0; i < r->bufferCount; ++i) {
        uint32_t status = 0;
        if (AudioGetStatus(r->buffers[i], &status) != 0) return -1;
        if (status & AudioStatusPlaying) AudioStop(r->buffers[i]);
    }
    return 0;
}

void SoundThreadPass() {
    std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
    for (SoundRecord* r = g_Layer.streams; r; r = r->nextStream) RefillStream(r);
}

void SoundSetThreadPaused(int paused) { g_ThreadPaused.store(paused ? 1 : 0); }

int InitSound() {
    if (g_Layer.running) return -1;
    LogLine("DirectSound の初期化を行います\n");
    LogLine("DirectSound インターフェースの取得を行います....  ");
    LogLine("成功\n");
    LogLine("引き続きインターフェースの初期化処理...  ");
    if (AudioOpenDevice() != 0) {
        LogLine("初期化に失敗しました\n");
        return -1;
    }
    LogLine("成功\n");
    std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
    g_Layer.running = 1;
    g_Layer.streams = nullptr;

    AudioDeviceCaps caps;
    AudioGetCaps(&caps);
    int channels = caps.primaryStereo ? 2 : 1;
    int bits = caps.primary16Bit ? 16 : 8;
    int rate = caps.maxSecondaryRate < AudioDeviceRate ? caps.maxSecondaryRate : AudioDeviceRate;
    if (AudioSetPrimaryFormat(channels, bits, rate) != 0)
        LogLine("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");

    // A silent buffer keeps the device stream running all the time.
    AudioFormat silent = {2, 16, AudioDeviceRate};
    g_Layer.silentBuffer = AudioCreateBuffer(&silent, SilentBufferBytes,
                                             AudioBufferStatic | AudioBufferGlobalFocus);
    if (g_Layer.silentBuffer <= 0) {
        LogLine("無音バッファの作成に失敗しました");
        g_Layer.silentBuffer = 0;
    } else {
        void* p1 = nullptr;
        void* p2 = nullptr;
        uint32_t n1 = 0, n2 = 0;
        if (AudioLock(g_Layer.silentBuffer, 0, SilentBufferBytes, &p1, &n1, &p2, &n2) != 0) {
            LogLine("無音バッファのロックに失敗しました");
            AudioReleaseBuffer(g_Layer.silentBuffer);
            g_Layer.silentBuffer = 0;
        } else {
            std::memset(p1, 0, n1);
            if (p2) std::memset(p2, 0, n2);
            AudioUnlock(g_Layer.silentBuffer, p1, n1, p2, n2);
            AudioPlay(g_Layer.silentBuffer, 1);
        }
    }
    LogDeviceReport();

    // A fresh layer starts a fresh table.
    DeleteAllSounds();
    g_NextSlot = 0;
    g_NextCheck = 0;
    g_ThreadStop.store(SoundThreadRunning);
    g_Thread = std::thread(SoundThreadMain);
    LogLine("DirectSound の初期化は正常に終了しました\n");
    return 0;
}

int EndSound() {
    if (!g_Layer.running) return -1;
    if (g_Thread.joinable()) {
        {
            std::lock_guard<std::mutex> hold(g_ThreadWakeLock);
            g_ThreadStop.store(SoundThreadStopAsked);
        }
        g_ThreadWake.notify_all();
        int quit = 0;
        while (g_ThreadStop.load() != SoundThreadStopped) {
            // Messages are served while waiting, as long as the program is
            // not quitting; the thread is waited for either way.
            if (!quit && !g_Window.ending && ProcessWindowMessages() != 0) quit = 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        g_Thread.join();
    }
    {
        std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
        DeleteAllSounds();
        if (g_Layer.silentBuffer > 0) AudioReleaseBuffer(g_Layer.silentBuffer);
        g_Layer.silentBuffer = 0;
        g_Layer.streams = nullptr;
        g_Layer.running = 0;
    }
    AudioCloseDevice();
    LogLine("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}

int SoundCount() { return g_SoundCount; }

int SoundDeleteHandle(int handle) {
    std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
    return DeleteSound(handle);
}

int SoundGetInfo(int handle, SoundInfo* info) {
    std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
    SoundRecord* r = FindSound(handle);
    if (!r || !info) return -1;
    std::memset(info, 0, sizeof *info);
    info->streamed = r->kind == StreamedSound;
    info->compressed = r->compressed;
    info->bufferCount = r->bufferCount;
    for (int i = 0; i < r->bufferCount; ++i) info->buffers[i] = r->buffers[i];
    info->lastBuffer = r->lastBuffer;
    info->decoderKind = r->decoderKind;
    info->format = r->format;
    info->pcmBytes = r->pcmBytes;
    info->totalSamples = r->totalSamples;
    info->entryCount = r->entryCount;
    info->streamBuffer = r->streamBuffer;
    info->spans = r->spans;
    info->writePosition = r->writePos;
    info->guardPosition = r->guardPos;
    info->prepared = r->prepared;
    info->endOfData = r->endOfData;
    info->currentEntry = r->currentEntry;
    info->entryPosition = r->entryPos;
    info->lastPlayType = r->lastPlayType;
    return 0;
}

// A percentage of the recorded level as the buffers' attenuation in
// hundredths of a decibel (amplitude), on the sound and all its copies.
int SetSoundVolume(int handle, int percent) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    int volume = percent == 0 ? AudioVolumeMin : (int)std::lround(2000.0 * std::log10(percent / 100.0));
    if (volume < AudioVolumeMin) volume = AudioVolumeMin;
    std::lock_guard<std::recursive_mutex> hold(g_SoundLock);
    SoundRecord* r = FindSound(handle);
    if (!r) return -1;
    r->volume = volume;
    for (int i = 0; i < r->bufferCount && i < SoundMaxBuffers; ++i)
        if (r->buffers[i] > 0) AudioSetVolume(r->buffers[i], volume);
    if (r->streamBuffer > 0) AudioSetVolume(r->streamBuffer, volume);
    return 0;
}
