// The software mixer on its own: resampling, clipping, volume and pan,
// 8-bit sources, play-once ends, looping, duplicates and locks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/platform/audio.h"

namespace {

constexpr int AllControls = AudioBufferStatic | AudioBufferVolumeControl | AudioBufferPanControl |
                            AudioBufferFrequencyControl;

struct MixerTest : ::testing::Test {
    void SetUp() override { MixerStart(44100); }
    void TearDown() override { MixerStop(); }

    int Make16(int channels, int rate, const std::vector<int16_t>& samples, int flags = AllControls) {
        AudioFormat f = {channels, 16, rate};
        int id = AudioCreateBuffer(&f, (uint32_t)(samples.size() * 2), flags);
        EXPECT_GT(id, 0);
        Write(id, samples.data(), (uint32_t)(samples.size() * 2));
        return id;
    }
    void Write(int id, const void* data, uint32_t bytes) {
        void *p1, *p2;
        uint32_t n1, n2;
        ASSERT_EQ(AudioLock(id, 0, bytes, &p1, &n1, &p2, &n2), 0);
        std::memcpy(p1, data, n1);
        ASSERT_EQ(AudioUnlock(id, p1, n1, p2, n2), 0);
    }
    std::vector<int16_t> Render(int frames) {
        std::vector<int16_t> out((size_t)frames * 2);
        MixerRender(out.data(), frames);
        return out;
    }
};

TEST_F(MixerTest, HalfRateSourceIsInterpolatedLinearly) {
    std::vector<int16_t> ramp;
    for (int i = 0; i < 64; ++i) ramp.push_back((int16_t)(i * 100));
    int id = Make16(1, 22050, ramp);
    ASSERT_EQ(AudioPlay(id, 0), 0);
    auto out = Render(100);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(out[(size_t)(2 * i) * 2], i * 100) << i;
        EXPECT_EQ(out[(size_t)(2 * i + 1) * 2], i * 100 + 50) << i;
        EXPECT_EQ(out[(size_t)(2 * i) * 2 + 1], out[(size_t)(2 * i) * 2]);  // mono on both sides
    }
    uint32_t play = 0;
    ASSERT_EQ(AudioGetPosition(id, &play, nullptr), 0);
    EXPECT_EQ(play, 50u * 2);  // 100 device frames = 50 source frames
}

TEST_F(MixerTest, FrequencyChangesThePace) {
    std::vector<int16_t> s(4410 * 2, 1000);
    int id = Make16(2, 44100, s);
    ASSERT_EQ(AudioSetFrequency(id, 88200), 0);
    AudioPlay(id, 1);
    Render(1000);
    uint32_t play = 0;
    AudioGetPosition(id, &play, nullptr);
    EXPECT_EQ(play, 2000u * 4);
    EXPECT_EQ(AudioSetFrequency(id, 50), -1);
    EXPECT_EQ(AudioSetFrequency(id, 200001), -1);
}

TEST_F(MixerTest, LoudSumIsLimitedBelowSixteenBits) {
    int a = Make16(1, 44100, std::vector<int16_t>(100, 30000));
    int b = Make16(1, 44100, std::vector<int16_t>(100, 30000));
    int c = Make16(1, 44100, std::vector<int16_t>(100, -30000));
    int d = Make16(1, 44100, std::vector<int16_t>(100, -30000));
    AudioPlay(a, 0);
    AudioPlay(b, 0);
    auto high = Render(10);
    EXPECT_GT(high[0], 30000);
    EXPECT_LT(high[0], 32767);
    EXPECT_EQ(high[1], high[0]);
    AudioStop(a);
    AudioStop(b);
    AudioPlay(c, 0);
    AudioPlay(d, 0);
    auto low = Render(10);
    EXPECT_LT(low[0], -30000);
    EXPECT_GT(low[0], -32768);
}

TEST_F(MixerTest, VolumeAndPanAttenuateInHundredthsOfADecibel) {
    int id = Make16(1, 44100, std::vector<int16_t>(1000, 10000));
    AudioPlay(id, 1);
    struct Case {
        int volume, pan;
        double left, right;
    } cases[] = {
        {0, 0, 10000, 10000},
        {-600, 0, 10000 * std::pow(10.0, -0.3), 10000 * std::pow(10.0, -0.3)},
        {0, 10000, 0, 10000},
        {0, -10000, 10000, 0},
        {0, -2000, 10000, 1000},
        {-2000, 2000, 100, 1000},
        {-10000, 0, 0, 0},
    };
    for (const Case& k : cases) {
        ASSERT_EQ(AudioSetVolume(id, k.volume), 0);
        ASSERT_EQ(AudioSetPan(id, k.pan), 0);
        auto out = Render(4);
        EXPECT_NEAR(out[0], k.left, 1.0) << k.volume << " " << k.pan;
        EXPECT_NEAR(out[1], k.right, 1.0) << k.volume << " " << k.pan;
    }
    EXPECT_EQ(AudioSetVolume(id, 1), -1);
    EXPECT_EQ(AudioSetPan(id, 10001), -1);
    // A buffer made without the controls refuses them.
    int plain = Make16(1, 44100, std::vector<int16_t>(10, 0), AudioBufferStatic);
    EXPECT_EQ(AudioSetVolume(plain, -100), -1);
    EXPECT_EQ(AudioSetFrequency(plain, 22050), -1);
}

TEST_F(MixerTest, EightBitStereoIsCentredOn128) {
    AudioFormat f = {2, 8, 44100};
    int id = AudioCreateBuffer(&f, 8, AllControls);
    // levels under the output limiter's knee, which the mix passes untouched
    uint8_t data[8] = {128, 216, 40, 128, 128, 128, 64, 192};
    Write(id, data, 8);
    AudioPlay(id, 0);
    auto out = Render(4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 88 << 8);
    EXPECT_EQ(out[2], -88 << 8);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(out[6], -64 << 8);
    EXPECT_EQ(out[7], 64 << 8);
}

TEST_F(MixerTest, PlayedOnceStopsAtItsEndAndLoopedWraps) {
    std::vector<int16_t> s;
    for (int i = 0; i < 100; ++i) s.push_back((int16_t)(i + 1));
    int once = Make16(1, 44100, s);
    AudioPlay(once, 0);
    auto out = Render(150);
    EXPECT_EQ(out[99 * 2], 100);
    EXPECT_EQ(out[100 * 2], 0);
    uint32_t status = 9, play = 9;
    AudioGetStatus(once, &status);
    AudioGetPosition(once, &play, nullptr);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(play, 0u);

    int loop = Make16(1, 44100, s);
    AudioPlay(loop, 1);
    out = Render(250);
    EXPECT_EQ(out[99 * 2], 100);
    EXPECT_EQ(out[100 * 2], 1);
    EXPECT_EQ(out[249 * 2], 50);
    AudioGetStatus(loop, &status);
    EXPECT_EQ(status, (uint32_t)(AudioStatusPlaying | AudioStatusLooping));
    AudioGetPosition(loop, &play, nullptr);
    EXPECT_EQ(play, 50u * 2);
}

TEST_F(MixerTest, DuplicatesShareSamplesButNotCursors) {
    int id = Make16(1, 44100, std::vector<int16_t>(100, 0));
    int dup = AudioDuplicateBuffer(id);
    ASSERT_GT(dup, 0);
    std::vector<int16_t> s(100, 1234);
    Write(id, s.data(), 200);
    AudioPlay(dup, 0);
    auto out = Render(10);
    EXPECT_EQ(out[0], 1234);
    uint32_t a = 1, b = 0;
    AudioGetPosition(id, &a, nullptr);
    AudioGetPosition(dup, &b, nullptr);
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 20u);
    AudioReleaseBuffer(id);  // the duplicate keeps the memory
    out = Render(10);
    EXPECT_EQ(out[0], 1234);
}

TEST_F(MixerTest, LockWrapsAroundTheEndAndRejectsBadRequests) {
    std::vector<int16_t> s(8, 0);
    int id = Make16(1, 44100, s);
    void *p1, *p2;
    uint32_t n1, n2;
    ASSERT_EQ(AudioLock(id, 12, 8, &p1, &n1, &p2, &n2), 0);
    EXPECT_EQ(n1, 4u);
    EXPECT_EQ(n2, 4u);
    ASSERT_NE(p2, nullptr);
    int16_t a[2] = {7, 8}, b[2] = {1, 2};
    std::memcpy(p1, a, 4);
    std::memcpy(p2, b, 4);
    EXPECT_EQ(AudioLock(id, 0, 2, &p1, &n1, &p2, &n2), -1);  // already locked
    ASSERT_EQ(AudioUnlock(id, p1, n1, p2, n2), 0);
    AudioPlay(id, 0);
    auto out = Render(8);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[12], 7);
    EXPECT_EQ(out[14], 8);
    EXPECT_EQ(AudioLock(id, 0, 17, &p1, &n1, &p2, &n2), -1);
    EXPECT_EQ(AudioLock(id, 16, 2, &p1, &n1, &p2, &n2), -1);
    AudioFormat bad = {3, 16, 44100};
    EXPECT_EQ(AudioCreateBuffer(&bad, 6, 0), -1);
    AudioFormat odd = {2, 16, 44100};
    EXPECT_EQ(AudioCreateBuffer(&odd, 6, 0), -1);  // not whole frames
    EXPECT_EQ(AudioPlay(9999, 0), -1);
}

}  // namespace
