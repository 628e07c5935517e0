// Decoders over memory images: the wave parsing rules, PCM, the converted
// formats, Ogg Vorbis, and images that are cut short or lie about sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/sound/sound.h"
#include "tests/sound/sound_fixtures.h"

using namespace fixtures;

namespace {

struct Decoded {
    int ok = 0;
    int kind = 0;
    SoundWaveFormat format{};
    uint64_t total = 0;
    std::vector<uint8_t> pcm;
};

Decoded Decode(const Bytes& image) {
    Decoded r;
    MemoryStream ms;
    MemoryStreamOpen(&ms, image.data(), image.size());
    SoundDecoder d;
    if (SoundDecoderSetup(&d, &ms) != 0) return r;
    r.ok = 1;
    r.kind = d.kind;
    r.format = d.format;
    r.total = SoundDecoderTotalBytes(&d);
    SoundDecoderSeek(&d, 0);
    uint8_t buf[3000];
    for (;;) {
        size_t got = SoundDecoderRead(&d, buf, sizeof buf);
        if (got == 0) break;
        r.pcm.insert(r.pcm.end(), buf, buf + got);
        if (r.pcm.size() > r.total + 100000) break;  // never endless
    }
    SoundDecoderEnd(&d);
    return r;
}

int16_t S16(const std::vector<uint8_t>& pcm, size_t sample) {
    return (int16_t)(pcm[sample * 2] | (pcm[sample * 2 + 1] << 8));
}

Bytes Body(std::initializer_list<uint8_t> b) { return Bytes(b); }

TEST(WaveParsing, ChunkLayouts) {
    const Bytes fmt = FmtBody(1, 2, 44100, 16);
    const Bytes data = CountingPcm(2, 16, 10);
    struct Case {
        const char* name;
        Bytes image;
        int parses;
    };
    auto layout = [&](std::initializer_list<std::pair<const char*, Bytes>> chunks) {
        Bytes c;
        for (auto& [id, body] : chunks) Chunk(c, id, body);
        return Riff(c);
    };
    Bytes notRiff = Wave(fmt, data);
    std::memcpy(notRiff.data(), "RIFX", 4);
    Bytes notWave = Wave(fmt, data);
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    const Case cases[] = {
        {"plain", layout({{"fmt ", fmt}, {"data", data}}), 1},
        {"bext first", layout({{"bext", Bytes(603, 7)}, {"fmt ", fmt}, {"data", data}}), 1},
        {"odd chunk padded", layout({{"fmt ", fmt}, {"LIST", Bytes(3, 1)}, {"data", data}}), 1},
        {"chunks before data", layout({{"fmt ", fmt}, {"fact", Bytes(4, 0)}, {"cue ", Bytes(28, 0)}, {"data", data}}), 1},
        {"fmt after another chunk", layout({{"LIST", Bytes(4, 0)}, {"fmt ", fmt}, {"data", data}}), 0},
        {"two bext", layout({{"bext", Bytes(2, 0)}, {"bext", Bytes(2, 0)}, {"fmt ", fmt}, {"data", data}}), 0},
        {"no data chunk", layout({{"fmt ", fmt}, {"LIST", Bytes(4, 0)}}), 0},
        {"fmt too short", layout({{"fmt ", Bytes(14, 1)}, {"data", data}}), 0},
        {"not RIFF", notRiff, 0},
        {"not WAVE", notWave, 0},
        {"empty", Bytes(), 0},
    };
    for (const Case& c : cases) {
        MemoryStream ms;
        MemoryStreamOpen(&ms, c.image.data(), c.image.size());
        SoundWaveInfo info;
        EXPECT_EQ(SoundParseWave(&ms, 0, &info) == 0, c.parses == 1) << c.name;
        EXPECT_EQ(Decode(c.image).ok, c.parses) << c.name;  // no other kind takes them
        if (c.parses) {
            EXPECT_EQ(info.dataBytes, data.size()) << c.name;
            Decoded d = Decode(c.image);
            EXPECT_EQ(d.kind, SoundDecoderPcm) << c.name;
            EXPECT_EQ(d.pcm, data) << c.name;
        }
    }
}

TEST(WaveParsing, SixteenByteFormatRecomputesBitsPerSample) {
    // 8-bit mono whose header claims 16 bits: block align decides.
    Bytes eight = Wave(FmtBody(1, 1, 11025, 16, 1, 11025), CountingPcm(1, 8, 100));
    Decoded d = Decode(eight);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.kind, SoundDecoderPcm);
    EXPECT_EQ(d.format.bitsPerSample, 8);
    EXPECT_EQ(d.format.blockAlign, 1);
    EXPECT_EQ(d.total, 100u);
    // With an 18-byte body the field is taken as written, and the layout
    // does not add up: no kind accepts it.
    Bytes eighteen = Wave(FmtBody(1, 1, 11025, 16, 1, 11025, nullptr, true), CountingPcm(1, 8, 100));
    EXPECT_FALSE(Decode(eighteen).ok);
}

TEST(WaveParsing, SizesAreCheckedAgainstTheImage) {
    // A data chunk that claims more than the file holds keeps what is there.
    Bytes c;
    Chunk(c, "fmt ", FmtBody(1, 2, 8000, 16));
    Bytes data = CountingPcm(2, 16, 50);
    data.push_back(9);  // half a frame at the end
    Chunk(c, "data", data, 1000000);
    Decoded d = Decode(Riff(c));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.total, 200u);
    EXPECT_EQ(d.pcm.size(), 200u);
    // A format body larger than the file, a chunk size that skips past the
    // end, a chunk header cut short: refused.
    Bytes big;
    Chunk(big, "fmt ", FmtBody(1, 2, 8000, 16), 0x7FFFFFF0);
    EXPECT_FALSE(Decode(Riff(big)).ok);
    Bytes skip;
    Chunk(skip, "fmt ", FmtBody(1, 2, 8000, 16));
    Chunk(skip, "LIST", Bytes(4, 0), 0xFFFFFFF0);
    Chunk(skip, "data", CountingPcm(2, 16, 4));
    EXPECT_FALSE(Decode(Riff(skip)).ok);
    // Every cut of a good file either decodes within its bytes or fails.
    const Bytes good = PcmWave(2, 8000, 16, 64);
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + (long)n);
        Decoded t = Decode(cut);
        if (t.ok) {
            EXPECT_LE(t.pcm.size(), n) << n;
        }
    }
    // Zero channels, zero block align, empty data: refused.
    EXPECT_FALSE(Decode(Wave(FmtBody(1, 0, 8000, 16, 2), CountingPcm(1, 16, 4))).ok);
    Bytes zeroAlign = FmtBody(1, 1, 8000, 16);
    zeroAlign[12] = zeroAlign[13] = 0;
    EXPECT_FALSE(Decode(Wave(zeroAlign, CountingPcm(1, 16, 4))).ok);
    EXPECT_FALSE(Decode(Wave(FmtBody(1, 1, 8000, 16), Bytes())).ok);
}

TEST(WaveParsing, PcmAverageBytesFollowsTheLayout) {
    Decoded d = Decode(Wave(FmtBody(1, 2, 22050, 16, 4, 1), CountingPcm(2, 16, 10)));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.format.avgBytesPerSec, 22050u * 4);
}

// ------------------------------------------------------ converted kinds

TEST(Converted, LogarithmicAndFloatFormats) {
    struct Case {
        const char* name;
        Bytes image;
        std::vector<int16_t> expect;
    };
    Bytes f32;
    for (float v : {0.5f, -1.0f, 1.5f, 0.0f}) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(f32, bits);
    }
    Bytes f64;
    for (double v : {0.25, -2.0}) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        Put32(f64, (uint32_t)bits);
        Put32(f64, (uint32_t)(bits >> 32));
    }
    Bytes p24 = Body({0x00, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80});
    Bytes p32 = Body({0xAA, 0xBB, 0x78, 0x56});
    Bytes ext;  // extensible wrapper around 16-bit PCM
    Put16(ext, 16);
    Put32(ext, 3);
    Put32(ext, 1);  // sub-format GUID: PCM
    for (uint8_t b : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) ext.push_back(b);
    const Case cases[] = {
        {"mu-law", Wave(FmtBody(7, 1, 8000, 8), Body({0xFF, 0x7F, 0x80, 0x00})), {0, 0, 32124, -32124}},
        {"a-law", Wave(FmtBody(6, 1, 8000, 8), Body({0xD5, 0x55, 0xAA, 0x2A})), {8, -8, 32256, -32256}},
        {"float 32", Wave(FmtBody(3, 1, 8000, 32), f32), {16384, -32768, 32767, 0}},
        {"float 64", Wave(FmtBody(3, 2, 8000, 64), f64), {8192, -32768}},
        {"pcm 24", Wave(FmtBody(1, 1, 8000, 24), p24), {0x1234, -1, -32768}},
        {"pcm 32", Wave(FmtBody(1, 1, 8000, 32), p32), {0x5678}},
        {"extensible", Wave(FmtBody(0xFFFE, 2, 8000, 16, 4, 32000, &ext), Body({1, 0, 2, 0, 3, 0, 4, 0})),
         {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Decoded d = Decode(c.image);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.kind, SoundDecoderConverted) << c.name;
        EXPECT_EQ(d.format.bitsPerSample, 16) << c.name;
        EXPECT_EQ(d.format.formatTag, 1) << c.name;
        ASSERT_EQ(d.total, c.expect.size() * 2) << c.name;
        ASSERT_EQ(d.pcm.size(), c.expect.size() * 2) << c.name;
        for (size_t i = 0; i < c.expect.size(); ++i) EXPECT_EQ(S16(d.pcm, i), c.expect[i]) << c.name << " " << i;
    }
}

// A plain IMA ADPCM encoder (the reference algorithm) for round trips.
Bytes ImaEncodeMono(const std::vector<int16_t>& s, int blockAlign) {
    static const int steps[89] = {
        7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66,
        73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408,
        449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066,
        2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630,
        9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    static const int idx[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    const size_t spb = 1 + (size_t)(blockAlign - 4) * 2;
    Bytes out;
    int index = 0;
    for (size_t start = 0; start < s.size(); start += spb) {
        int pred = s[start];
        Put16(out, (uint16_t)pred);
        out.push_back((uint8_t)index);
        out.push_back(0);
        uint8_t byte = 0;
        for (size_t k = 1; k < spb; ++k) {
            int sample = start + k < s.size() ? s[start + k] : 0;
            int step = steps[index], diff = sample - pred, code = 0;
            if (diff < 0) code = 8, diff = -diff;
            int delta = step >> 3;
            if (diff >= step) code |= 4, diff -= step, delta += step;
            if (diff >= step >> 1) code |= 2, diff -= step >> 1, delta += step >> 1;
            if (diff >= step >> 2) code |= 1, delta += step >> 2;
            pred += (code & 8) ? -delta : delta;
            pred = pred > 32767 ? 32767 : pred < -32768 ? -32768 : pred;
            index += idx[code & 7];
            index = index < 0 ? 0 : index > 88 ? 88 : index;
            if ((k - 1) % 2 == 0) byte = (uint8_t)code;
            else out.push_back((uint8_t)(byte | (code << 4)));
        }
    }
    return out;
}

TEST(Converted, ImaAdpcmRoundTripAndShortLastBlock) {
    const int blockAlign = 256, spb = 505;
    std::vector<int16_t> sine = Sine(1, 22050, 440, spb * 3, 0.5);
    Bytes adpcm = ImaEncodeMono(sine, blockAlign);
    Bytes extra;
    Put16(extra, spb);
    // Keep three whole blocks and 40 bytes of a fourth: 1 + 36 * 2 frames.
    Bytes data(adpcm.begin(), adpcm.end());
    for (int i = 0; i < 40; ++i) data.push_back(i < 4 ? 0 : 0x11);
    Decoded d = Decode(Wave(FmtBody(0x11, 1, 22050, 4, blockAlign, 11100, &extra), data));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.kind, SoundDecoderConverted);
    EXPECT_EQ(d.total, (uint64_t)(spb * 3 + 73) * 2);
    ASSERT_EQ(d.pcm.size(), d.total);
    double err = 0, sig = 0;
    for (int i = 0; i < spb * 3; ++i) {
        double e = S16(d.pcm, (size_t)i) - sine[(size_t)i];
        err += e * e;
        sig += (double)sine[(size_t)i] * sine[(size_t)i];
    }
    EXPECT_GT(10 * std::log10(sig / err), 20.0);  // a faithful decode, not noise
    EXPECT_EQ(S16(d.pcm, 0), sine[0]);             // each block starts exact
    EXPECT_EQ(S16(d.pcm, spb), sine[spb]);
}

TEST(Converted, MsAdpcmBlockByHand) {
    // Mono, block align 10: header 7 bytes, 3 bytes = 6 nibbles, 8 frames.
    Bytes block = Body({0, 16, 0, 100, 0, 50, 0, 0x1F, 0x70, 0x80});
    Bytes extra;
    Put16(extra, 8);
    Put16(extra, 7);
    const int16_t coefs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (auto& c : coefs) Put16(extra, (uint16_t)c[0]), Put16(extra, (uint16_t)c[1]);
    Decoded d = Decode(Wave(FmtBody(2, 1, 8000, 4, 10, 8000, &extra), block));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.kind, SoundDecoderConverted);
    ASSERT_EQ(d.total, 16u);
    // s2, s1, then predicted + nibble * delta with delta adapting.
    const int16_t expect[8] = {50, 100, 116, 100, 212, 212, -60, -60};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(S16(d.pcm, (size_t)i), expect[i]) << i;
    // A predictor index beyond the table does not read past it.
    Bytes bad = block;
    bad[0] = 200;
    EXPECT_TRUE(Decode(Wave(FmtBody(2, 1, 8000, 4, 10, 8000, &extra), bad)).ok);
}

TEST(Converted, SeekLandsInsideAUnit) {
    std::vector<int16_t> sine = Sine(1, 8000, 100, 4000, 0.5);
    Bytes f32;
    for (int16_t v : sine) {
        float x = v / 32768.0f;
        uint32_t bits;
        std::memcpy(&bits, &x, 4);
        Put32(f32, bits);
    }
    Bytes image = Wave(FmtBody(3, 1, 8000, 32), f32);
    MemoryStream ms;
    MemoryStreamOpen(&ms, image.data(), image.size());
    SoundDecoder d;
    ASSERT_EQ(SoundDecoderSetup(&d, &ms), 0);
    ASSERT_EQ(SoundDecoderSeek(&d, 1234), 0);
    int16_t out[4];
    ASSERT_EQ(SoundDecoderRead(&d, out, 8), 8u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], sine[(size_t)(1234 + i)]);
    ASSERT_EQ(SoundDecoderSeek(&d, 10), 0);  // back again
    ASSERT_EQ(SoundDecoderRead(&d, out, 2), 2u);
    EXPECT_EQ(out[0], sine[10]);
    SoundDecoderEnd(&d);
}

// ------------------------------------------------------------ Ogg Vorbis

TEST(Vorbis, DecodesThroughMemoryCallbacks) {
    std::vector<int16_t> sine = Sine(2, 22050, 441, 22050, 0.5);
    Bytes ogg = Vorbis(2, 22050, sine);
    ASSERT_FALSE(ogg.empty());
    Decoded d = Decode(ogg);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.kind, SoundDecoderVorbis);
    EXPECT_EQ(d.format.channels, 2);
    EXPECT_EQ(d.format.samplesPerSec, 22050u);
    EXPECT_EQ(d.format.blockAlign, 4);
    EXPECT_EQ(d.format.avgBytesPerSec, 88200u);
    EXPECT_EQ(d.total, 22050u * 4);
    EXPECT_EQ(d.pcm.size(), d.total);
    double sum = 0;
    for (size_t i = 0; i < d.pcm.size() / 2; ++i) sum += (double)S16(d.pcm, i) * S16(d.pcm, i);
    double rms = std::sqrt(sum / (double)(d.pcm.size() / 2));
    EXPECT_NEAR(rms, 0.5 * 32767 / std::sqrt(2.0), 1500.0);

    MemoryStream ms;
    MemoryStreamOpen(&ms, ogg.data(), ogg.size());
    SoundDecoder dec;
    ASSERT_EQ(SoundDecoderSetup(&dec, &ms), 0);
    ASSERT_EQ(SoundDecoderSeek(&dec, 22000), 0);
    uint8_t buf[4096];
    size_t total = 0, got;
    while ((got = SoundDecoderRead(&dec, buf, sizeof buf)) > 0) total += got;
    EXPECT_EQ(total, 50u * 4);
    SoundDecoderEnd(&dec);
}

TEST(Vorbis, DamagedStreamsEndCleanly) {
    Bytes ogg = Vorbis(1, 8000, Sine(1, 8000, 300, 16000, 0.5));
    ASSERT_FALSE(ogg.empty());
    for (size_t cut : {ogg.size() / 3, ogg.size() / 2, ogg.size() - 10}) {
        Bytes part(ogg.begin(), ogg.begin() + (long)cut);
        Decoded d = Decode(part);  // may or may not open; must not hang or overrun
        if (d.ok) {
            EXPECT_LE(d.pcm.size(), 16000u * 2 + 8192);
        }
    }
    Bytes noisy = ogg;
    for (size_t i = ogg.size() / 2; i < ogg.size() / 2 + 200; ++i) noisy[i] ^= 0x5A;
    Decoded d = Decode(noisy);
    if (d.ok) {
        EXPECT_LE(d.pcm.size(), 16000u * 2 + 8192);
    }
}

TEST(Rules, StreamSpansAndTheThreeMinuteLimit) {
    struct Case {
        uint32_t a, k, size, refill, first, step;
    } cases[] = {
        {176400, 4, 176400, 132300, 132300, 22048},
        {22050, 1, 22050, 16537, 16537, 2756},
        {88200, 4, 88200, 66152, 66148, 11024},
        {4000, 2, 4000, 3000, 3000, 500},
    };
    for (const Case& c : cases) {
        SoundStreamSpans s;
        SoundComputeSpans(c.a, c.k, &s);
        EXPECT_EQ(s.size, c.size) << c.a;
        EXPECT_EQ(s.refill, c.refill) << c.a;
        EXPECT_EQ(s.firstFill, c.first) << c.a;
        EXPECT_EQ(s.step, c.step) << c.a;
    }
    EXPECT_FALSE(SoundWouldStream(176400ull * 180, 176400));
    EXPECT_FALSE(SoundWouldStream(176400ull * 181 - 1, 176400));
    EXPECT_TRUE(SoundWouldStream(176400ull * 181, 176400));
}

}  // namespace
