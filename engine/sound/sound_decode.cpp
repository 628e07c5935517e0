// Sound decoders over a memory stream: PCM wave files, wave files of other
// formats converted to 16-bit PCM, and Ogg Vorbis through libvorbisfile.
#include <vorbis/vorbisfile.h>

#include <cstring>

#include "engine/core/core.h"
#include "engine/sound/sound.h"

namespace {

constexpr uint32_t VorbisWorkBytes = 4096;
constexpr int VorbisHoleRetries = 64;

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

uint64_t BytesLeft(const MemoryStream* s) { return s->size - s->position; }

int ReadExact(MemoryStream* s, void* buffer, size_t n) {
    if (BytesLeft(s) < n) return -1;
    return MemoryStreamRead(buffer, 1, n, s) == n ? 0 : -1;
}

int ReadChunkHeader(MemoryStream* s, char id[4], uint32_t* size) {
    uint8_t h[8];
    if (ReadExact(s, h, 8) != 0) return -1;
    std::memcpy(id, h, 4);
    *size = Get32(h + 4);
    return 0;
}

// Skips n bytes; -1 when the stream does not hold them.
int Skip(MemoryStream* s, uint64_t n) {
    if (n > BytesLeft(s)) {
        MemoryStreamSeek(s, 0, 2);
        return -1;
    }
    return MemoryStreamSeek(s, (int64_t)n, 1);
}

int DeviceCanPlay(const SoundWaveFormat* f) {
    return (f->channels == 1 || f->channels == 2) &&
           (f->bitsPerSample == 8 || f->bitsPerSample == 16) &&
           f->blockAlign == f->channels * f->bitsPerSample / 8 && f->samplesPerSec >= 100 &&
           f->samplesPerSec <= 200000;
}

// ------------------------------------------------------------ kind 1: PCM

int SetupPcm(SoundDecoder* d) {
    SoundWaveInfo* info = (SoundWaveInfo*)EngineAlloc(sizeof(SoundWaveInfo));
    if (!info) return -1;
    int ok = SoundParseWave(d->stream, 1, info) == 0 && DeviceCanPlay(&info->format);
    if (ok) {
        d->source = info->format;
        d->format = info->format;
        d->format.extraSize = 0;
        // For PCM the rate is fixed by the layout; a wrong header field
        // would otherwise skew the 180-second rule and the stream spans.
        d->format.avgBytesPerSec = d->format.samplesPerSec * d->format.blockAlign;
        d->dataStart = info->dataStart;
        d->totalBytes = info->dataPresent - info->dataPresent % d->format.blockAlign;
        ok = d->totalBytes > 0;
    }
    EngineFree(info);
    return ok ? 0 : -1;
}

size_t ReadPcm(SoundDecoder* d, uint8_t* out, size_t bytes) {
    size_t done = 0;
    while (done < bytes && d->delivered < d->totalBytes) {
        uint64_t n = bytes - done;
        if (n > d->totalBytes - d->delivered) n = d->totalBytes - d->delivered;
        if (n > d->format.avgBytesPerSec) n = d->format.avgBytesPerSec;  // a second at a time
        MemoryStreamSeek(d->stream, (int64_t)(d->dataStart + d->delivered), 0);
        size_t got = MemoryStreamRead(out + done, 1, (size_t)n, d->stream);
        if (got == 0) break;
        done += got;
        d->delivered += got;
    }
    return done;
}

// ---------------------------------------------------- kind 2: converted

int SetupConverted(SoundDecoder* d) {
    SoundWaveInfo* info = (SoundWaveInfo*)EngineAlloc(sizeof(SoundWaveInfo));
    if (!info) return -1;
    int ok = SoundParseWave(d->stream, 0, info) == 0 &&
             SoundConverterSetup(&d->converter, info, d->stream, &d->format) == 0;
    if (ok) {
        d->source = info->format;
        d->totalBytes = SoundConverterTotalBytes(&d->converter);
        d->workSize = d->converter.unitFrames * d->format.blockAlign;
        if (d->totalBytes == 0) ok = 0;
    }
    if (!ok) SoundConverterEnd(&d->converter);
    EngineFree(info);
    return ok ? 0 : -1;
}

int FillConverted(SoundDecoder* d) {
    SoundConverter* c = &d->converter;
    if (c->nextUnit >= c->unitCount) return 0;
    uint32_t frames = SoundConverterUnit(c, c->nextUnit++, (int16_t*)d->work);
    d->workFill = frames * d->format.blockAlign;
    d->workRead = 0;
    return 1;
}

// ---------------------------------------------------- kind 3: Ogg Vorbis

size_t VorbisRead(void* ptr, size_t size, size_t count, void* source) {
    return MemoryStreamRead(ptr, size, count, (MemoryStream*)source);
}
int VorbisSeek(void* source, ogg_int64_t offset, int whence) {
    int origin = whence == SEEK_CUR ? 1 : whence == SEEK_END ? 2 : 0;
    return MemoryStreamSeek((MemoryStream*)source, (int64_t)offset, origin);
}
int VorbisClose(void*) { return 0; }
long VorbisTell(void* source) { return (long)MemoryStreamTell((MemoryStream*)source); }

int SetupVorbis(SoundDecoder* d) {
    MemoryStreamSeek(d->stream, 0, 0);
    OggVorbis_File* vf = (OggVorbis_File*)EngineAllocZeroed(sizeof(OggVorbis_File));
    if (!vf) return -1;
    ov_callbacks cb = {VorbisRead, VorbisSeek, VorbisClose, VorbisTell};
    if (ov_open_callbacks(d->stream, vf, nullptr, 0, cb) < 0) {
        EngineFree(vf);
        return -1;
    }
    vorbis_info* vi = ov_info(vf, -1);
    ogg_int64_t total = ov_pcm_total(vf, -1);
    if (!vi || vi->channels < 1 || vi->channels > 2 || vi->rate < 100 || vi->rate > 200000 ||
        total <= 0) {
        ov_clear(vf);
        EngineFree(vf);
        return -1;
    }
    d->vorbis = vf;
    d->format.formatTag = WaveTagPcm;
    d->format.channels = (uint16_t)vi->channels;
    d->format.samplesPerSec = (uint32_t)vi->rate;
    d->format.bitsPerSample = 16;
    d->format.blockAlign = (uint16_t)(vi->channels * 2);
    d->format.avgBytesPerSec = d->format.blockAlign * d->format.samplesPerSec;
    d->format.extraSize = 0;
    d->source = d->format;
    d->totalBytes = (uint64_t)vi->channels * 2 * (uint64_t)total;
    d->workSize = VorbisWorkBytes;
    return 0;
}

int FillVorbis(SoundDecoder* d) {
    OggVorbis_File* vf = (OggVorbis_File*)d->vorbis;
    for (int tries = 0; tries < VorbisHoleRetries; ++tries) {
        int section = 0;
        long got = ov_read(vf, (char*)d->work, (int)d->workSize, 0, 2, 1, &section);
        if (got == 0) return 0;
        if (got == OV_HOLE) continue;  // a gap in the data: go on after it
        if (got < 0) return 0;         // damaged beyond repair: the end
        vorbis_info* vi = ov_info(vf, section);
        // A chained stream that changes its layout cannot continue here.
        if (!vi || vi->channels != d->format.channels) return 0;
        d->workFill = (uint32_t)(got - got % d->format.blockAlign);
        d->workRead = 0;
        if (d->workFill > 0) return 1;
    }
    return 0;
}

size_t ReadBuffered(SoundDecoder* d, uint8_t* out, size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
        if (d->workRead >= d->workFill) {
            int more = d->kind == SoundDecoderConverted ? FillConverted(d) : FillVorbis(d);
            if (!more) {
                d->ended = 1;
                break;
            }
        }
        size_t n = d->workFill - d->workRead;
        if (n > bytes - done) n = bytes - done;
        std::memcpy(out + done, d->work + d->workRead, n);
        d->workRead += (uint32_t)n;
        done += n;
        d->delivered += n;
    }
    return done;
}

}  // namespace

// -------------------------------------------------------------- parsing

int SoundParseWave(MemoryStream* s, int pcmOnly, SoundWaveInfo* info) {
    std::memset(info, 0, sizeof *info);
    MemoryStreamSeek(s, 0, 0);
    uint8_t h[16];
    if (ReadExact(s, h, 8) != 0 || std::memcmp(h, "RIFF", 4) != 0) return -1;
    if (ReadExact(s, h, 4) != 0 || std::memcmp(h, "WAVE", 4) != 0) return -1;
    char id[4];
    uint32_t size = 0;
    if (ReadChunkHeader(s, id, &size) != 0) return -1;
    if (std::memcmp(id, "bext", 4) == 0) {
        if (Skip(s, (uint64_t)size + (size & 1)) != 0) return -1;
        if (ReadChunkHeader(s, id, &size) != 0) return -1;
    }
    if (std::memcmp(id, "fmt ", 4) != 0) return -1;
    if (size < 16 || size > BytesLeft(s)) return -1;
    if (ReadExact(s, h, 16) != 0) return -1;
    SoundWaveFormat* f = &info->format;
    f->formatTag = Get16(h);
    f->channels = Get16(h + 2);
    f->samplesPerSec = Get32(h + 4);
    f->avgBytesPerSec = Get32(h + 8);
    f->blockAlign = Get16(h + 12);
    f->bitsPerSample = Get16(h + 14);
    info->fmtBodyBytes = size;
    if (size >= 18) {
        if (ReadExact(s, h, 2) != 0) return -1;
        f->extraSize = Get16(h);
        uint32_t rest = size - 18;
        uint32_t keep = rest < (uint32_t)SoundWaveExtraMax ? rest : (uint32_t)SoundWaveExtraMax;
        if (ReadExact(s, info->extra, keep) != 0) return -1;
        info->extraBytes = keep;
        if (Skip(s, rest - keep) != 0) return -1;
    } else if (size > 16) {
        if (Skip(s, size - 16) != 0) return -1;
    }
    if (pcmOnly && f->formatTag != WaveTagPcm) return -1;
    if (f->formatTag == WaveTagPcm && size == 16) {
        // Old writers leave this field wrong; the layout is what counts.
        f->bitsPerSample = f->channels ? (uint16_t)(f->blockAlign / f->channels * 8) : 0;
        f->extraSize = 0;
    }
    if (size & 1) Skip(s, 1);  // RIFF pads odd bodies; a missing pad at the end is harmless
    for (;;) {
        if (ReadChunkHeader(s, id, &size) != 0) return -1;
        if (std::memcmp(id, "data", 4) == 0) break;
        if (Skip(s, (uint64_t)size + (size & 1)) != 0) return -1;
    }
    info->dataStart = s->position;
    info->dataBytes = size;
    uint64_t left = BytesLeft(s);
    // A truncated file keeps what it has.
    info->dataPresent = size < left ? size : left;
    if (f->channels == 0 || f->blockAlign == 0 || f->samplesPerSec == 0) return -1;
    return 0;
}

// ------------------------------------------------------------- decoders

int SoundDecoderSetup(SoundDecoder* d, MemoryStream* stream) {
    // Each kind starts from a clean record and the start of the stream.
    int found = 0;
    for (int kind = SoundDecoderPcm; kind <= SoundDecoderVorbis && !found; ++kind) {
        std::memset(d, 0, sizeof *d);
        d->stream = stream;
        int r = kind == SoundDecoderPcm         ? SetupPcm(d)
                : kind == SoundDecoderConverted ? SetupConverted(d)
                                                : SetupVorbis(d);
        if (r == 0) {
            d->kind = kind;
            found = 1;
        }
    }
    if (!found) {
        std::memset(d, 0, sizeof *d);
        return -1;
    }
    if (d->workSize > 0) {
        d->work = (uint8_t*)EngineAlloc(d->workSize);
        if (!d->work) {
            SoundDecoderEnd(d);
            return -1;
        }
    }
    SoundDecoderSeek(d, 0);
    return 0;
}

uint64_t SoundDecoderTotalBytes(const SoundDecoder* d) { return d->totalBytes; }

int SoundDecoderSeek(SoundDecoder* d, uint64_t sample) {
    if (d->kind == SoundDecoderNone) return -1;
    const uint32_t k = d->format.blockAlign;
    uint64_t target = sample * k;
    if (target > d->totalBytes) target = d->totalBytes;
    d->ended = 0;
    d->workFill = d->workRead = 0;
    d->delivered = target;
    switch (d->kind) {
    case SoundDecoderPcm:
        MemoryStreamSeek(d->stream, (int64_t)(d->dataStart + target), 0);
        return 0;
    case SoundDecoderConverted: {
        SoundConverter* c = &d->converter;
        uint64_t frame = target / k;
        uint64_t unit = frame / c->unitFrames;
        c->nextUnit = unit;
        if (unit < c->unitCount && FillConverted(d)) {
            uint64_t skip = (frame % c->unitFrames) * k;
            d->workRead = (uint32_t)(skip < d->workFill ? skip : d->workFill);
        }
        return 0;
    }
    case SoundDecoderVorbis: {
        OggVorbis_File* vf = (OggVorbis_File*)d->vorbis;
        return ov_pcm_seek(vf, (ogg_int64_t)(target / k)) == 0 ? 0 : -1;
    }
    }
    return -1;
}

size_t SoundDecoderRead(SoundDecoder* d, void* buffer, size_t bytes) {
    if (d->kind == SoundDecoderNone || d->format.blockAlign == 0) return 0;
    bytes -= bytes % d->format.blockAlign;
    if (bytes == 0) return 0;
    size_t got = d->kind == SoundDecoderPcm ? ReadPcm(d, (uint8_t*)buffer, bytes)
                                            : ReadBuffered(d, (uint8_t*)buffer, bytes);
    if (got == 0) d->ended = 1;
    return got;
}

void SoundDecoderEnd(SoundDecoder* d) {
    if (d->vorbis) {
        ov_clear((OggVorbis_File*)d->vorbis);
        EngineFree(d->vorbis);
    }
    SoundConverterEnd(&d->converter);
    if (d->work) EngineFree(d->work);
    std::memset(d, 0, sizeof *d);
}

const char* SoundDecoderKindName(int kind) {
    switch (kind) {
    case SoundDecoderPcm: return "PCM";
    case SoundDecoderConverted: return "converted";
    case SoundDecoderVorbis: return "Ogg Vorbis";
    }
    return "none";
}

// ---------------------------------------------------------------- rules

int SoundWouldStream(uint64_t pcmBytes, uint32_t avgBytesPerSec) {
    if (avgBytesPerSec == 0) return 1;
    return pcmBytes / avgBytesPerSec > (uint64_t)SoundMemorySecondsMax;
}

void SoundComputeSpans(uint32_t a, uint32_t k, SoundStreamSpans* s) {
    if (k == 0) k = 1;
    const uint64_t a64 = a;
    const uint64_t quarter3 = (a64 * 192) >> 8;
    s->size = (uint32_t)(k * (((a64 & 0xFFFFFF) + k - 1) / k));
    s->refill = (uint32_t)(k * ((quarter3 + k - 1) / k));
    s->firstFill = (uint32_t)(k * (quarter3 / k));
    s->step = (uint32_t)(k * (a64 / 8 / k));
}
