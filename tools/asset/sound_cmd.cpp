// quellbore-asset sound FILE OUT.wav: runs FILE through the engine's
// decoder chain, writes the PCM it gives as a WAV file and tells how the
// engine would keep it.
#include <cstdio>
#include <cstring>

#include "engine/core/core.h"
#include "engine/files/files.h"
#include "engine/sound/sound.h"
#include "tools/asset/asset.h"

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

int ReadWhole(const char* path, uint8_t** data, size_t* size) {
    int fh = FileOpen(path, 0, 1, 0);
    if (fh == 0) return -1;
    FileSeek(fh, 0, 2);
    int64_t n = FileTell(fh);
    FileSeek(fh, 0, 0);
    if (n < 0) n = 0;
    *data = (uint8_t*)EngineAlloc((size_t)n + 1);
    if (!*data) {
        FileClose(fh);
        return -1;
    }
    *size = n > 0 ? FileRead(*data, 1, (size_t)n, fh) : 0;
    FileClose(fh);
    return 0;
}

const char* TagName(int tag) {
    switch (tag) {
    case WaveTagPcm: return "PCM";
    case WaveTagMsAdpcm: return "Microsoft ADPCM";
    case WaveTagIeeeFloat: return "IEEE float";
    case WaveTagALaw: return "A-law";
    case WaveTagMuLaw: return "mu-law";
    case WaveTagImaAdpcm: return "IMA ADPCM";
    case WaveTagExtensible: return "extensible";
    }
    return "unknown";
}

}  // namespace

int AssetSoundCommand(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quellbore-asset sound FILE OUT.wav\n");
        return 2;
    }
    const char* in = argv[1];
    const char* out = argv[2];
    uint8_t* image = nullptr;
    size_t size = 0;
    if (ReadWhole(in, &image, &size) != 0) {
        std::fprintf(stderr, "quellbore-asset sound: cannot read %s\n", in);
        return 1;
    }
    MemoryStream ms;
    MemoryStreamOpen(&ms, image, size);
    SoundDecoder dec;
    if (SoundDecoderSetup(&dec, &ms) != 0) {
        std::fprintf(stderr, "quellbore-asset sound: %s is not a sound the engine can decode\n", in);
        EngineFree(image);
        return 1;
    }
    const SoundWaveFormat f = dec.format;
    const uint64_t total = SoundDecoderTotalBytes(&dec);
    std::printf("decoder: %s\n", SoundDecoderKindName(dec.kind));
    if (dec.kind == SoundDecoderConverted)
        std::printf("source: %s (tag 0x%04X), %u channels, %u Hz, %u bits, block align %u\n",
                    TagName(dec.source.formatTag), dec.source.formatTag, dec.source.channels,
                    dec.source.samplesPerSec, dec.source.bitsPerSample, dec.source.blockAlign);
    std::printf("format: PCM, %u channels, %u Hz, %u bits, block align %u, %u bytes/s\n", f.channels,
                f.samplesPerSec, f.bitsPerSample, f.blockAlign, f.avgBytesPerSec);
    std::printf("length: %llu samples (%.3f s), %llu bytes\n",
                (unsigned long long)(total / f.blockAlign), (double)total / f.avgBytesPerSec,
                (unsigned long long)total);
    std::printf("kept as: %s\n", SoundWouldStream(total, f.avgBytesPerSec)
                                     ? "streamed sound (longer than 180 s)"
                                     : "memory sound");

    std::FILE* o = std::fopen(out, "wb");
    if (!o) {
        std::fprintf(stderr, "quellbore-asset sound: cannot write %s\n", out);
        SoundDecoderEnd(&dec);
        EngineFree(image);
        return 1;
    }
    uint8_t h[44];
    std::fwrite(h, 1, sizeof h, o);  // the header follows once the size is known
    static uint8_t buf[65536];
    uint64_t written = 0;
    int ok = 1;
    SoundDecoderSeek(&dec, 0);
    for (;;) {
        size_t got = SoundDecoderRead(&dec, buf, sizeof buf);
        if (got == 0) break;
        if (written + got > 0xFFFFFFFFull - 44) {
            std::fprintf(stderr, "quellbore-asset sound: the PCM is too long for one WAV file\n");
            ok = 0;
            break;
        }
        if (std::fwrite(buf, 1, got, o) != got) ok = 0;
        written += got;
    }
    if (written < total)
        std::printf("note: the decoder gave %llu of %llu bytes\n", (unsigned long long)written,
                    (unsigned long long)total);
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, (uint32_t)(36 + written));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, f.channels);
    Put32(h + 24, f.samplesPerSec);
    Put32(h + 28, f.avgBytesPerSec);
    Put16(h + 32, f.blockAlign);
    Put16(h + 34, f.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, (uint32_t)written);
    if (std::fseek(o, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, o) != sizeof h) ok = 0;
    if (std::fclose(o) != 0) ok = 0;
    SoundDecoderEnd(&dec);
    EngineFree(image);
    if (!ok) {
        std::fprintf(stderr, "quellbore-asset sound: writing %s failed\n", out);
        return 1;
    }
    return 0;
}
