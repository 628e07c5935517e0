// The mixer's output stage: quiet mixes pass untouched, loud sums are
// limited under full scale with both channels and every source scaled
// alike, and the gain comes back once the mix is quiet again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/platform/audio.h"

namespace {

constexpr int Controls = AudioBufferStatic | AudioBufferVolumeControl | AudioBufferPanControl;

struct LimiterTest : ::testing::Test {
    void SetUp() override { MixerStart(44100); }
    void TearDown() override { MixerStop(); }

    // A looped mono sine of the given amplitude and frequency.
    int Sine(double amplitude, double freq, int pan = 0) {
        std::vector<int16_t> s(44100);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = (int16_t)std::lround(amplitude * std::sin(2 * M_PI * freq * double(i) / 44100.0));
        AudioFormat f = {1, 16, 44100};
        int id = AudioCreateBuffer(&f, (uint32_t)(s.size() * 2), Controls);
        void *p1, *p2;
        uint32_t n1, n2;
        EXPECT_EQ(AudioLock(id, 0, (uint32_t)(s.size() * 2), &p1, &n1, &p2, &n2), 0);
        std::memcpy(p1, s.data(), n1);
        EXPECT_EQ(AudioUnlock(id, p1, n1, p2, n2), 0);
        EXPECT_EQ(AudioSetPan(id, pan), 0);
        return id;
    }
    std::vector<int16_t> Render(int frames) {
        std::vector<int16_t> out((size_t)frames * 2);
        MixerRender(out.data(), frames);
        return out;
    }
};

TEST_F(LimiterTest, QuietMixPassesUntouched) {
    // 0.4 + 0.3 of full scale stays under the knee.
    int a = Sine(0.4 * 32767, 440), b = Sine(0.3 * 32767, 660);
    AudioPlay(a, 1);
    AudioPlay(b, 1);
    auto out = Render(4410);
    for (int i = 0; i < 4410; ++i) {
        double want = 0.4 * 32767 * std::sin(2 * M_PI * 440 * i / 44100.0) +
                      0.3 * 32767 * std::sin(2 * M_PI * 660 * i / 44100.0);
        ASSERT_NEAR(out[(size_t)i * 2], want, 1.5) << i;
    }
}

TEST_F(LimiterTest, LoudSumsStayUnderFullScaleAndKeepTheirBalance) {
    // Four full-scale sources: the left gets one, the right three (panned).
    int l = Sine(32767, 220, -10000);
    int r1 = Sine(32767, 220, 10000), r2 = Sine(32767, 220, 10000), r3 = Sine(32767, 220, 10000);
    for (int id : {l, r1, r2, r3}) AudioPlay(id, 1);
    auto out = Render(44100);
    int full = 0;
    for (int16_t v : out) full += (v >= 32767 || v <= -32768) ? 1 : 0;
    EXPECT_EQ(full, 0);
    // One gain for both channels: the right stays three times the left.
    for (int i = 2000; i < 44100; i += 97) {
        int left = out[(size_t)i * 2], right = out[(size_t)i * 2 + 1];
        if (std::abs(left) > 2000) {
            EXPECT_NEAR(double(right) / left, 3.0, 0.01) << i;
        }
    }
}

TEST_F(LimiterTest, GainReturnsAfterALoudBurstAndRepeats) {
    auto run = [&] {
        int loud = Sine(32767, 300), loud2 = Sine(32767, 300), quiet = Sine(0.2 * 32767, 500);
        AudioPlay(loud, 1);
        AudioPlay(loud2, 1);
        AudioPlay(quiet, 1);
        Render(4410);
        AudioStop(loud);
        AudioStop(loud2);
        auto after = Render(44100);
        // The burst's gain recovers within half a second: the quiet tone
        // is then exactly what it was.
        int16_t peak = 0;
        for (size_t i = 22050 * 2; i < after.size(); ++i) peak = std::max<int16_t>(peak, (int16_t)std::abs(after[i]));
        EXPECT_NEAR(peak, 0.2 * 32767, 2);
        return after;
    };
    auto first = run();
    MixerStop();
    MixerStart(44100);
    auto second = run();
    EXPECT_EQ(first, second);  // deterministic from a fresh start
}

}  // namespace
