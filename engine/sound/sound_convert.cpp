// Conversion of wave data the device cannot take to 16-bit PCM: IMA ADPCM,
// Microsoft ADPCM, A-law, µ-law, IEEE float and wide PCM. The whole data
// chunk is held in memory; it is converted one unit (an ADPCM block, or
// up to 2048 source bytes) at a time, so any sample can be reached directly.
#include <cmath>
#include <cstring>

#include "engine/core/core.h"
#include "engine/sound/sound.h"

namespace {

constexpr uint32_t SimpleUnitBytes = 2048;

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
int16_t GetS16(const uint8_t* p) { return (int16_t)Get16(p); }
uint32_t Get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

int16_t Clamp16(int v) { return (int16_t)(v > 32767 ? 32767 : v < -32768 ? -32768 : v); }

const int ImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
const int ImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Largest step that keeps step x 768 and step x 8 inside an int.
constexpr int MsMaxDelta = 0x7FFFFFFF / 768;
const int MsAdaptTable[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                              768, 614, 512, 409, 307, 230, 230, 230};
const int16_t MsStandardCoefs[7][2] = {{256, 0},   {512, -256}, {0, 0},    {192, 64},
                                       {240, 0},   {460, -208}, {392, -232}};

int16_t MuLawToPcm(uint8_t u) {
    u = (uint8_t)~u;
    int sign = u & 0x80;
    int exponent = (u >> 4) & 7;
    int mantissa = u & 0x0F;
    int sample = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return (int16_t)(sign ? -sample : sample);
}

int16_t ALawToPcm(uint8_t a) {
    a ^= 0x55;
    int t = (a & 0x0F) << 4;
    int segment = (a & 0x70) >> 4;
    if (segment == 0) t += 8;
    else {
        t += 0x108;
        if (segment > 1) t <<= segment - 1;
    }
    return (int16_t)((a & 0x80) ? t : -t);
}

// Frames an IMA block of `bytes` bytes gives (0 if not even its header).
uint32_t ImaFrames(uint32_t bytes, int ch) {
    uint32_t head = 4u * (uint32_t)ch;
    if (bytes < head) return 0;
    return 1 + (bytes - head) / (4u * (uint32_t)ch) * 8;
}

uint32_t MsFrames(uint32_t bytes, int ch) {
    uint32_t head = 7u * (uint32_t)ch;
    if (bytes < head) return 0;
    return 2 + (bytes - head) * 2 / (uint32_t)ch;
}

uint32_t DecodeIma(const uint8_t* in, uint32_t bytes, int ch, int16_t* out) {
    uint32_t frames = ImaFrames(bytes, ch);
    if (frames == 0) return 0;
    int predictor[2], index[2];
    for (int c = 0; c < ch; ++c) {
        predictor[c] = GetS16(in + 4 * c);
        index[c] = in[4 * c + 2];
        if (index[c] > 88) index[c] = 88;
        out[c] = (int16_t)predictor[c];
    }
    const uint8_t* p = in + 4 * ch;
    uint32_t groups = (frames - 1) / 8;
    for (uint32_t g = 0; g < groups; ++g) {
        for (int c = 0; c < ch; ++c) {
            for (int k = 0; k < 8; ++k) {
                int nibble = (p[k >> 1] >> ((k & 1) * 4)) & 0x0F;
                int step = ImaStepTable[index[c]];
                int diff = step >> 3;
                if (nibble & 4) diff += step;
                if (nibble & 2) diff += step >> 1;
                if (nibble & 1) diff += step >> 2;
                predictor[c] = nibble & 8 ? predictor[c] - diff : predictor[c] + diff;
                predictor[c] = Clamp16(predictor[c]);
                index[c] += ImaIndexTable[nibble];
                index[c] = index[c] < 0 ? 0 : index[c] > 88 ? 88 : index[c];
                out[(1 + g * 8 + k) * ch + c] = (int16_t)predictor[c];
            }
            p += 4;
        }
    }
    return frames;
}

uint32_t DecodeMs(const SoundConverter* cv, const uint8_t* in, uint32_t bytes, int ch, int16_t* out) {
    uint32_t frames = MsFrames(bytes, ch);
    if (frames == 0) return 0;
    int c1[2], c2[2], delta[2], s1[2], s2[2];
    for (int c = 0; c < ch; ++c) {
        int predictor = in[c];
        if (predictor >= cv->coefCount) predictor = 0;  // out of the table
        c1[c] = cv->coef[predictor][0];
        c2[c] = cv->coef[predictor][1];
        delta[c] = GetS16(in + ch + 2 * c);
        s1[c] = GetS16(in + 3 * ch + 2 * c);
        s2[c] = GetS16(in + 5 * ch + 2 * c);
        out[c] = (int16_t)s2[c];
        out[ch + c] = (int16_t)s1[c];
    }
    const uint8_t* p = in + 7 * ch;
    uint32_t nibbles = (frames - 2) * (uint32_t)ch;
    for (uint32_t n = 0; n < nibbles; ++n) {
        int c = (int)(n % (uint32_t)ch);
        int nibble = (n & 1) ? p[n >> 1] & 0x0F : p[n >> 1] >> 4;
        int signedNibble = nibble >= 8 ? nibble - 16 : nibble;
        // Coefficients come from the file: the sum may leave the int range.
        const int64_t predicted = ((int64_t)s1[c] * c1[c] + (int64_t)s2[c] * c2[c]) >> 8;
        const int64_t unclamped = predicted + (int64_t)signedNibble * delta[c];
        int sample = unclamped > 32767 ? 32767 : unclamped < -32768 ? -32768 : (int)unclamped;
        s2[c] = s1[c];
        s1[c] = sample;
        delta[c] = (MsAdaptTable[nibble] * delta[c]) >> 8;
        if (delta[c] < 16) delta[c] = 16;
        // A hostile stream can grow the step without end; keep it in range.
        if (delta[c] > MsMaxDelta) delta[c] = MsMaxDelta;
        out[2 * ch + n] = (int16_t)sample;
    }
    return frames;
}

}  // namespace

int SoundConverterSetup(SoundConverter* c, const SoundWaveInfo* info, MemoryStream* stream,
                        SoundWaveFormat* out) {
    std::memset(c, 0, sizeof *c);
    const SoundWaveFormat* f = &info->format;
    int tag = f->formatTag;
    if (tag == WaveTagExtensible) {
        // The sub-format GUID starts with the plain format tag.
        if (info->extraBytes < 22 || f->extraSize < 22) return -1;
        tag = (int)(Get32(info->extra + 6) & 0xFFFF);
    }
    const int ch = f->channels;
    const uint32_t k = f->blockAlign;
    if (ch < 1 || ch > 2 || f->samplesPerSec < 100 || f->samplesPerSec > 200000 || k == 0)
        return -1;
    c->source = *f;
    switch (tag) {
    case WaveTagPcm:
        if (!(f->bitsPerSample == 8 || f->bitsPerSample == 16 || f->bitsPerSample == 24 ||
              f->bitsPerSample == 32) ||
            k != (uint32_t)(ch * f->bitsPerSample / 8))
            return -1;
        c->codec = SoundCodecPcm;
        break;
    case WaveTagIeeeFloat:
        if (!(f->bitsPerSample == 32 || f->bitsPerSample == 64) ||
            k != (uint32_t)(ch * f->bitsPerSample / 8))
            return -1;
        c->codec = SoundCodecFloat;
        break;
    case WaveTagALaw:
    case WaveTagMuLaw:
        if (k != (uint32_t)ch) return -1;
        c->codec = tag == WaveTagALaw ? SoundCodecALaw : SoundCodecMuLaw;
        break;
    case WaveTagImaAdpcm:
        if (ImaFrames(k, ch) < 2) return -1;
        c->codec = SoundCodecImaAdpcm;
        break;
    case WaveTagMsAdpcm:
        if (MsFrames(k, ch) < 3) return -1;
        c->codec = SoundCodecMsAdpcm;
        c->coefCount = 7;
        std::memcpy(c->coef, MsStandardCoefs, sizeof MsStandardCoefs);
        if (info->extraBytes >= 4) {
            int n = Get16(info->extra + 2);
            if (n >= 1 && n <= SoundMsAdpcmMaxCoefs && info->extraBytes >= 4u + 4u * (uint32_t)n) {
                c->coefCount = n;
                for (int i = 0; i < n; ++i) {
                    c->coef[i][0] = GetS16(info->extra + 4 + 4 * i);
                    c->coef[i][1] = GetS16(info->extra + 6 + 4 * i);
                }
            }
        }
        break;
    default:
        return -1;
    }

    const uint64_t bytes = info->dataPresent;
    if (c->codec == SoundCodecImaAdpcm || c->codec == SoundCodecMsAdpcm) {
        c->unitBytes = k;
        c->unitFrames = c->codec == SoundCodecImaAdpcm ? ImaFrames(k, ch) : MsFrames(k, ch);
        uint64_t rest = bytes % k;
        uint32_t tail = c->codec == SoundCodecImaAdpcm ? ImaFrames((uint32_t)rest, ch)
                                                       : MsFrames((uint32_t)rest, ch);
        c->unitCount = bytes / k + (tail > 0 ? 1 : 0);
    } else {
        uint32_t framesPerUnit = SimpleUnitBytes / k;
        if (framesPerUnit == 0) framesPerUnit = 1;
        c->unitFrames = framesPerUnit;
        c->unitBytes = framesPerUnit * k;
        uint64_t frames = bytes / k;
        c->unitCount = (frames + framesPerUnit - 1) / framesPerUnit;
    }
    if (c->unitCount == 0) return -1;

    c->dataBytes = bytes;
    c->data = (uint8_t*)EngineAlloc(bytes);
    if (!c->data) return -1;
    MemoryStreamSeek(stream, (int64_t)info->dataStart, 0);
    if (MemoryStreamRead(c->data, 1, bytes, stream) != bytes) {
        SoundConverterEnd(c);
        return -1;
    }
    std::memset(out, 0, sizeof *out);
    out->formatTag = WaveTagPcm;
    out->channels = (uint16_t)ch;
    out->samplesPerSec = f->samplesPerSec;
    out->bitsPerSample = 16;
    out->blockAlign = (uint16_t)(ch * 2);
    out->avgBytesPerSec = out->blockAlign * out->samplesPerSec;
    return 0;
}

uint64_t SoundConverterTotalBytes(const SoundConverter* c) {
    if (c->unitCount == 0) return 0;
    const uint64_t outK = (uint64_t)c->source.channels * 2;
    uint64_t last = c->unitCount - 1;
    uint64_t lastBytes = c->dataBytes - last * c->unitBytes;
    uint32_t lastFrames;
    switch (c->codec) {
    case SoundCodecImaAdpcm: lastFrames = ImaFrames((uint32_t)lastBytes, c->source.channels); break;
    case SoundCodecMsAdpcm: lastFrames = MsFrames((uint32_t)lastBytes, c->source.channels); break;
    default: lastFrames = (uint32_t)(lastBytes / c->source.blockAlign); break;
    }
    return (last * c->unitFrames + lastFrames) * outK;
}

uint32_t SoundConverterUnit(const SoundConverter* c, uint64_t unit, int16_t* out) {
    if (unit >= c->unitCount) return 0;
    const uint64_t offset = unit * c->unitBytes;
    uint64_t avail = c->dataBytes - offset;
    const uint32_t bytes = (uint32_t)(avail < c->unitBytes ? avail : c->unitBytes);
    const uint8_t* in = c->data + offset;
    const int ch = c->source.channels;
    switch (c->codec) {
    case SoundCodecImaAdpcm: return DecodeIma(in, bytes, ch, out);
    case SoundCodecMsAdpcm: return DecodeMs(c, in, bytes, ch, out);
    default: break;
    }
    const uint32_t frames = bytes / c->source.blockAlign;
    const uint32_t samples = frames * (uint32_t)ch;
    const int width = c->source.bitsPerSample / 8;
    for (uint32_t i = 0; i < samples; ++i) {
        const uint8_t* p = in + (size_t)i * (size_t)(c->codec == SoundCodecALaw || c->codec == SoundCodecMuLaw ? 1 : width);
        int16_t v = 0;
        switch (c->codec) {
        case SoundCodecALaw: v = ALawToPcm(*p); break;
        case SoundCodecMuLaw: v = MuLawToPcm(*p); break;
        case SoundCodecPcm:
            if (width == 1) v = (int16_t)(((int)*p - 128) << 8);
            else v = GetS16(p + width - 2);  // the top 16 bits
            break;
        case SoundCodecFloat: {
            double x;
            if (width == 4) {
                uint32_t bits = Get32(p);
                float fv;
                std::memcpy(&fv, &bits, 4);
                x = fv;
            } else {
                uint64_t bits = (uint64_t)Get32(p) | ((uint64_t)Get32(p + 4) << 32);
                std::memcpy(&x, &bits, 8);
            }
            if (!(x == x)) x = 0.0;  // NaN
            double s = std::floor(x * 32768.0 + 0.5);
            v = (int16_t)(s > 32767.0 ? 32767 : s < -32768.0 ? -32768 : (int)s);
            break;
        }
        default: break;
        }
        out[i] = v;
    }
    return frames;
}

void SoundConverterEnd(SoundConverter* c) {
    if (c->data) EngineFree(c->data);
    std::memset(c, 0, sizeof *c);
}
