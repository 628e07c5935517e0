// Mixer buffers that take their samples from a source: frames as the source
// makes them, silence past its end, a cursor per buffer that lives only
// while the buffer plays, seeks only where the play position jumps, and the
// source released with the last buffer over it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/platform/audio.h"

namespace {

// 16-bit mono frames that count up from 1, of which `available` exist.
struct Counting {
    uint32_t available;
    int opens, closes, seeks, releases, open;
};
struct CountingCursor {
    Counting* source;
    uint32_t next;
};

void* OpenCounting(void* s) {
    Counting* c = (Counting*)s;
    ++c->opens;
    ++c->open;
    return new CountingCursor{c, 0};
}
int SeekCounting(void* cursor, uint32_t frame) {
    CountingCursor* k = (CountingCursor*)cursor;
    ++k->source->seeks;
    k->next = frame;
    return frame <= k->source->available ? 0 : -1;
}
uint32_t ReadCounting(void* cursor, void* out, uint32_t frames) {
    CountingCursor* k = (CountingCursor*)cursor;
    uint32_t n = 0;
    // At most 100 frames a call: the mixer must ask again.
    while (n < frames && n < 100 && k->next < k->source->available) {
        int16_t v = (int16_t)(k->next + 1);
        std::memcpy((uint8_t*)out + 2 * n, &v, 2);
        ++n;
        ++k->next;
    }
    return n;
}
void CloseCounting(void* cursor) {
    CountingCursor* k = (CountingCursor*)cursor;
    ++k->source->closes;
    --k->source->open;
    delete k;
}
void ReleaseCounting(void* s) { ++((Counting*)s)->releases; }

const AudioSourceFunctions CountingFunctions = {OpenCounting, SeekCounting, ReadCounting, CloseCounting,
                                                ReleaseCounting};

constexpr int Controls = AudioBufferStatic | AudioBufferVolumeControl | AudioBufferPanControl |
                         AudioBufferFrequencyControl;

struct SourceBuffers : ::testing::Test {
    void SetUp() override { MixerStart(44100); }
    void TearDown() override { MixerStop(); }  // releases what is left: src outlives it

    Counting src{};

    int Make(Counting* source, uint32_t frames) {
        AudioFormat f = {1, 16, 44100};
        int id = AudioCreateSourceBuffer(&f, frames * 2, Controls, &CountingFunctions, source);
        EXPECT_GT(id, 0);
        return id;
    }
    std::vector<int16_t> Left(int frames) {
        std::vector<int16_t> out((size_t)frames * 2);
        MixerRender(out.data(), frames);
        std::vector<int16_t> left((size_t)frames);
        for (int i = 0; i < frames; ++i) left[(size_t)i] = out[(size_t)i * 2];
        return left;
    }
};

TEST_F(SourceBuffers, FramesAsTheSourceMakesThemThenSilence) {
    src.available = 5000;
    int id = Make(&src, 8000);  // the source falls 3000 frames short
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(AudioLock(id, 0, 2, &p1, &n1, &p2, &n2), -1);  // nothing to write into
    EXPECT_EQ(src.opens, 0);                                  // no cursor before it plays
    ASSERT_EQ(AudioPlay(id, 1), 0);
    std::vector<int16_t> out = Left(10000);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(out[(size_t)i], i + 1) << i;
    for (int i = 5000; i < 8000; ++i) ASSERT_EQ(out[(size_t)i], 0) << i;
    // Looped: frame 0 again right after the last one.
    for (int i = 8000; i < 10000; ++i) ASSERT_EQ(out[(size_t)i], i - 8000 + 1) << i;
    EXPECT_EQ(src.opens, 1);
    EXPECT_LE(src.seeks, 2);  // the loop's way back, nothing more
    ASSERT_EQ(AudioStop(id), 0);
    EXPECT_EQ(src.open, 0);  // a stopped buffer holds no cursor
}

TEST_F(SourceBuffers, APositionSetOrKeptIsWhereTheSourceIsReadFrom) {
    src.available = 20000;
    int a = Make(&src, 20000);
    int b = AudioDuplicateBuffer(a);
    ASSERT_GT(b, 0);
    ASSERT_EQ(AudioSetPosition(a, 2 * 12345), 0);
    ASSERT_EQ(AudioPlay(a, 0), 0);
    ASSERT_EQ(AudioPlay(b, 0), 0);  // the duplicate, from 0, on its own cursor
    std::vector<int16_t> out = Left(100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(out[(size_t)i], (12345 + i + 1) + (i + 1)) << i;
    EXPECT_EQ(src.open, 2);
    ASSERT_EQ(AudioStop(a), 0);
    ASSERT_EQ(AudioPlay(a, 0), 0);  // stopped, it keeps its place
    ASSERT_EQ(AudioStop(b), 0);
    out = Left(10);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(out[(size_t)i], 12345 + 100 + i + 1) << i;

    // A play once that reaches its end closes its cursor by itself.
    ASSERT_EQ(AudioSetPosition(a, 2 * 19990), 0);
    Left(50);
    uint32_t status = 1;
    ASSERT_EQ(AudioGetStatus(a, &status), 0);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(src.open, 0);

    AudioReleaseBuffer(a);
    EXPECT_EQ(src.releases, 0);  // the duplicate still reads it
    AudioReleaseBuffer(b);
    EXPECT_EQ(src.releases, 1);
}

TEST_F(SourceBuffers, ASlowLoopEndInterpolatesWithoutSeekingBackAndForth) {
    src.available = 3000;
    int id = Make(&src, 3000);
    ASSERT_EQ(AudioSetFrequency(id, 100), 0);  // each frame lasts 441 device frames
    ASSERT_EQ(AudioSetPosition(id, 2 * 2998), 0);
    ASSERT_EQ(AudioPlay(id, 1), 0);
    std::vector<int16_t> out = Left(3 * 441);
    // Frame 2999 (value 3000) slides towards frame 0 (value 1), then frame 0.
    EXPECT_GE(out[442], 2990);
    EXPECT_LT(out[2 * 441 - 2], 100);
    EXPECT_EQ(out[2 * 441 + 10], 1);
    EXPECT_LE(src.seeks, 4);
}

TEST_F(SourceBuffers, PausedOutputIsSilentAndKeepsEveryPlace) {
    src.available = 20000;
    int id = Make(&src, 20000);
    ASSERT_EQ(AudioPlay(id, 0), 0);
    Left(100);
    AudioSetOutputPaused(1);
    std::vector<int16_t> out = Left(500);
    for (int16_t v : out) ASSERT_EQ(v, 0);
    uint32_t play = 0;
    ASSERT_EQ(AudioGetPosition(id, &play, nullptr), 0);
    EXPECT_EQ(play, 2u * 100);
    AudioSetOutputPaused(0);
    out = Left(3);
    EXPECT_EQ(out[0], 101);
    EXPECT_EQ(out[2], 103);
}

}  // namespace
