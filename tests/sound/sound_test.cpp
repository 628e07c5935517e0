// The sound layer on the headless device: handles, loading rules, memory
// sound playback, streamed sounds refilled pass by pass on the virtual
// clock, the blocking play, and running without a device.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/platform/audio.h"
#include "engine/platform/headless/headless.h"
#include "engine/sound/sound.h"
#include "tests/sound/sound_fixtures.h"

using namespace fixtures;

namespace {

struct SoundLayer : ::testing::Test {
    void SetUp() override {
        HeadlessReset();
        HeadlessAudioSetDeviceAvailable(1);
        LogStart(TempDir().c_str());
        SoundSetThreadPaused(1);  // the tests run the passes themselves
        ASSERT_EQ(InitSound(), 0);
    }
    void TearDown() override { EndSound(); }

    static std::string Log() { return ReadText(LogFilePath()); }
    static void Advance(int ms) { HeadlessAdvanceMicroseconds((uint64_t)ms * 1000u); }
    static SoundInfo Info(int h) {
        SoundInfo i{};
        EXPECT_EQ(SoundGetInfo(h, &i), 0);
        return i;
    }
    static uint32_t Cursor(int buffer) {
        uint32_t play = 0;
        AudioGetPosition(buffer, &play, nullptr);
        return play;
    }
    // The stream buffer read circularly from `from`, as 16-bit samples.
    static std::vector<int16_t> BufferFrom(const SoundInfo& i, uint32_t from) {
        void *p1, *p2;
        uint32_t n1, n2;
        std::vector<int16_t> out;
        if (AudioLock(i.streamBuffer, from, i.spans.size, &p1, &n1, &p2, &n2) != 0) return out;
        out.resize(i.spans.size / 2);
        std::memcpy(out.data(), p1, n1);
        if (p2) std::memcpy((uint8_t*)out.data() + n1, p2, n2);
        AudioUnlock(i.streamBuffer, p1, n1, p2, n2);
        return out;
    }
    static uint32_t Unplayed(const SoundInfo& i) {
        int64_t s = i.spans.size;
        return (uint32_t)(((i.writePosition - (int64_t)Cursor(i.streamBuffer)) % s + s) % s);
    }
};

// ------------------------------------------------------------- handles

TEST_F(SoundLayer, HandlesCountFromTheFirstAndRefuseAnythingElse) {
    std::string path = WriteFile("blip.wav", PcmWave(1, 22050, 16, 2205));
    int a = LoadSoundFile(path.c_str(), 3, -1);
    int b = LoadSoundFile(path.c_str(), 3, -1);
    EXPECT_EQ(a, 0x10000000);
    EXPECT_EQ(b, 0x10010001);
    EXPECT_EQ(SoundCount(), 2);
    EXPECT_EQ(PlaySoundHandle(b, 1, 1), 0);
    EXPECT_EQ(IsSoundPlaying(a), 0);  // independent of each other
    EXPECT_EQ(IsSoundPlaying(b), 1);
    for (int bad : {0, -1, a ^ (1 << 16), b | 0x8000, 0x10000000 | 7, 0x20000000, (int)0x90000000}) {
        EXPECT_EQ(IsSoundPlaying(bad), -1) << std::hex << bad;
        EXPECT_EQ(StopSoundHandle(bad), -1) << std::hex << bad;
        EXPECT_EQ(PlaySoundHandle(bad, 1, 1), -1) << std::hex << bad;
    }
}

TEST_F(SoundLayer, FailedLoadsLeaveOnlyTheirLogLines) {
    std::string missing = TempDir() + "/no-such.wav";
    EXPECT_EQ(LoadSoundFile(missing.c_str(), 3, -1), -1);
    std::string junk = WriteFile("junk.wav", Bytes(1000, 0x42));
    EXPECT_EQ(LoadSoundFile(junk.c_str(), 3, -1), -1);
    EXPECT_EQ(SoundCount(), 0);
    std::string log = Log();
    EXPECT_NE(log.find("右記のファイルのオープンに失敗しました：" + missing), std::string::npos);
    EXPECT_NE(log.find("右記の音声ファイルのロードに失敗しました_1：" + missing), std::string::npos);
    EXPECT_NE(log.find("音声ファイルのＰＣＭへの変換に失敗しました"), std::string::npos);
    EXPECT_NE(log.find("右記の音声ファイルのロードに失敗しました_2：" + junk), std::string::npos);
    // The half-made handle took slot 0 and check number 0, and gave both back
    // but the check number.
    std::string good = WriteFile("good.wav", PcmWave(1, 8000, 8, 800));
    EXPECT_EQ(LoadSoundFile(good.c_str(), 1, -1), 0x10010000);
}

TEST_F(SoundLayer, StartUpWritesTheDeviceReport) {
    std::string log = Log();
    for (const char* line : {"DirectSound の初期化を行います", "DirectSound デバイスを列挙します",
                             "モジュール名:", "最大サンプリングレート:200.00KHz 最小サンプリングレート:0.10KHz",
                             " プライマリ １６bit = OK  ８bit = NO ", " セカンダリ １６bit = OK  ８bit = OK ",
                             " プライマリ MONO = NO  STEREO = OK ", " セカンダリ MONO = OK  STEREO = OK ",
                             "DirectSound の初期化は正常に終了しました"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(InitSound(), -1);  // runs already
}

// ------------------------------------------------------ loading rules

TEST_F(SoundLayer, BufferCountIsCappedAtTenAndZeroCannotPlay) {
    std::string path = WriteFile("count.wav", PcmWave(2, 44100, 16, 441));
    int ten = LoadSoundFile(path.c_str(), 12, -1);
    int none = LoadSoundFile(path.c_str(), 0, -1);
    ASSERT_GT(ten, 0);
    ASSERT_GT(none, 0);
    EXPECT_EQ(Info(ten).bufferCount, 10);
    EXPECT_EQ(Info(none).bufferCount, 0);
    EXPECT_FALSE(Info(none).streamed);
    EXPECT_EQ(PlaySoundHandle(none, 1, 1), -1);
    EXPECT_EQ(IsSoundPlaying(none), 0);
    EXPECT_EQ(StopSoundHandle(none), 0);
}

TEST_F(SoundLayer, ThreeMinutesStayInMemoryLongerIsStreamed) {
    struct Case {
        const char* name;
        uint64_t frames;
        int streamed;
    } cases[] = {
        {"m180.wav", 8000ull * 180, 0},
        {"m180b.wav", 8000ull * 181 - 1, 0},
        {"m181.wav", 8000ull * 181, 1},
    };
    for (const Case& c : cases) {
        std::string path = WriteFile(c.name, PcmWave(1, 8000, 8, c.frames));
        int h = LoadSoundFile(path.c_str(), 3, -1);
        ASSERT_GT(h, 0) << c.name;
        SoundInfo i = Info(h);
        EXPECT_EQ(i.streamed, c.streamed) << c.name;
        if (c.streamed) {
            EXPECT_EQ(i.bufferCount, 0);
            EXPECT_GT(i.streamBuffer, 0);
            EXPECT_EQ(i.entryCount, 1);
            EXPECT_EQ(i.totalSamples, c.frames);
            EXPECT_EQ(i.spans.size, 8000u);
            EXPECT_TRUE(i.prepared);
            EXPECT_EQ(i.writePosition, 6000);  // the first fill, written at once
            EXPECT_EQ(i.guardPosition, 0);
        } else {
            EXPECT_EQ(i.bufferCount, 3);
            EXPECT_EQ(i.pcmBytes, c.frames);
        }
    }
}

TEST_F(SoundLayer, OggAndConvertedFilesLoadAndSound) {
    std::string ogg = WriteFile("tone.ogg", Vorbis(2, 44100, Sine(2, 44100, 440, 44100, 0.5)));
    Bytes mulaw(8000);
    for (size_t i = 0; i < mulaw.size(); ++i) mulaw[i] = (uint8_t)(i & 1 ? 0x80 : 0x00);  // +-32124
    std::string law = WriteFile("law.wav", Wave(FmtBody(7, 1, 8000, 8), mulaw));
    int h = LoadSoundFile(ogg.c_str(), 3, -1);
    int l = LoadSoundFile(law.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    ASSERT_GT(l, 0);
    EXPECT_EQ(Info(h).decoderKind, SoundDecoderVorbis);
    EXPECT_EQ(Info(h).pcmBytes, 44100u * 4);
    EXPECT_EQ(Info(l).decoderKind, SoundDecoderConverted);
    EXPECT_EQ(Info(l).format.bitsPerSample, 16);

    std::string out = TempDir() + "/capture.wav";
    ASSERT_EQ(HeadlessAudioStartCapture(out.c_str()), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    Advance(500);
    HeadlessAudioUpdate();
    HeadlessAudioStopCapture();
    std::string wav = ReadText(out);
    ASSERT_EQ(wav.size(), 44u + 22050u * 4);
    EXPECT_EQ(wav.compare(0, 4, "RIFF"), 0);
    const int16_t* s = (const int16_t*)(wav.data() + 44);
    double sum = 0;
    for (size_t i = 0; i < 22050u * 2; ++i) sum += (double)s[i] * s[i];
    EXPECT_NEAR(std::sqrt(sum / (22050.0 * 2)), 11585, 1500);  // 0.5 full scale sine
}

// ----------------------------------------------------- memory sounds

TEST_F(SoundLayer, FourQuickPlaysOfAThreeBufferEffect) {
    std::string path = WriteFile("effect.wav", PcmWave(1, 44100, 16, 44100));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    SoundInfo i = Info(h);
    ASSERT_EQ(i.bufferCount, 3);
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        Advance(10);
    }
    // Buffers were used 1, 2, 0, 1: the fourth play restarted buffer 1.
    EXPECT_EQ(Info(h).lastBuffer, 1);
    EXPECT_EQ(Cursor(i.buffers[1]), 441u * 2);      // 10 ms since its restart
    EXPECT_EQ(Cursor(i.buffers[2]), 441u * 2 * 3);  // 30 ms
    EXPECT_EQ(Cursor(i.buffers[0]), 441u * 2 * 2);  // 20 ms
    int playing = 0;
    for (int k = 0; k < 3; ++k) {
        uint32_t st = 0;
        AudioGetStatus(i.buffers[k], &st);
        playing += (st & AudioStatusPlaying) ? 1 : 0;
    }
    EXPECT_EQ(playing, 3);
    EXPECT_EQ(StopSoundHandle(h), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
}

TEST_F(SoundLayer, FromStartZeroLeavesAPlayingBufferAndContinuesAStoppedOne) {
    std::string path = WriteFile("long.wav", PcmWave(1, 44100, 16, 44100));
    int one = LoadSoundFile(path.c_str(), 1, -1);
    ASSERT_EQ(PlaySoundHandle(one, 1, 1), 0);
    Advance(100);
    const int b = Info(one).buffers[0];
    EXPECT_EQ(Cursor(b), 4410u * 2);
    EXPECT_EQ(PlaySoundHandle(one, 1, 0), 0);
    EXPECT_EQ(Cursor(b), 4410u * 2);
    EXPECT_EQ(IsSoundPlaying(one), 1);

    int two = LoadSoundFile(path.c_str(), 2, -1);
    SoundInfo i = Info(two);
    ASSERT_EQ(PlaySoundHandle(two, 1, 1), 0);  // buffer 1
    Advance(50);
    ASSERT_EQ(StopSoundHandle(two), 0);
    EXPECT_EQ(Cursor(i.buffers[1]), 2205u * 2);  // stopped buffers keep their place
    ASSERT_EQ(PlaySoundHandle(two, 1, 0), 0);   // buffer 0, from buffer 1's place
    EXPECT_EQ(Cursor(i.buffers[0]), 2205u * 2);
    EXPECT_EQ(IsSoundPlaying(two), 1);
}

TEST_F(SoundLayer, PlayTypeZeroReturnsWhenTheSoundHasEnded) {
    std::string path = WriteFile("short.wav", PcmWave(2, 44100, 16, 8820));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    uint64_t before = HeadlessMicroseconds();
    ASSERT_EQ(PlaySoundHandle(h, 0, 1), 0);
    uint64_t waited = HeadlessMicroseconds() - before;
    EXPECT_GE(waited, 200000u);
    EXPECT_LT(waited, 210000u);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    // A looped play in the background keeps going.
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    Advance(1000);
    EXPECT_EQ(IsSoundPlaying(h), 1);
}

// ---------------------------------------------------- streamed sounds

TEST_F(SoundLayer, StreamSpansAndTheFirstRefillsToTheByte) {
    std::string path = WriteFile("music.wav", PcmWave(2, 44100, 16, 44100ull * 181));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    SoundInfo i = Info(h);
    ASSERT_TRUE(i.streamed);
    EXPECT_EQ(i.spans.size, 176400u);
    EXPECT_EQ(i.spans.refill, 132300u);
    EXPECT_EQ(i.spans.firstFill, 132300u);
    EXPECT_EQ(i.spans.step, 22048u);
    EXPECT_EQ(i.writePosition, 132300);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    Advance(30);
    SoundThreadPass();  // cursor 5292 in [0, 132300]: 0.72 s ahead, one step
    i = Info(h);
    EXPECT_EQ(i.writePosition, 132300 + 22048);
    EXPECT_EQ(i.guardPosition, 22048);
    Advance(30);
    SoundThreadPass();  // cursor 10584 before the guard: nothing
    EXPECT_EQ(Info(h).writePosition, 132300 + 22048);
    Advance(70);
    SoundThreadPass();  // cursor 22932 in the window
    EXPECT_EQ(Info(h).writePosition, 132300 + 2 * 22048);
    // The data written is the file's, frame after frame.
    std::vector<int16_t> data = BufferFrom(Info(h), 0);
    for (size_t f = 0; f < (132300u + 2 * 22048u) / 4; f += 997) {
        EXPECT_EQ(data[f * 2], (int16_t)(f & 0x7FFF)) << f;
        EXPECT_EQ(data[f * 2 + 1], (int16_t)(f >> 15)) << f;
    }
}

// 2000 Hz 16-bit mono: S = 4000, L = F = 3000, E = 500 bytes.
constexpr uint64_t StreamFrames = 2000ull * 181 + 500;  // 181.25 s

TEST_F(SoundLayer, LoopedStreamWrapsSeamlessly) {
    std::string path = WriteFile("loop.wav", PcmWave(1, 2000, 16, StreamFrames));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_TRUE(Info(h).streamed);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    const int16_t last = (int16_t)((StreamFrames - 1) & 0x7FFF);
    int sawWrap = 0;
    for (int t = 30; t <= 183000; t += 30) {
        Advance(30);
        SoundThreadPass();
        SoundInfo i = Info(h);
        ASSERT_EQ(IsSoundPlaying(h), 1) << t;
        ASSERT_FALSE(i.endOfData) << t;
        if (t > 300) {
            ASSERT_GE(Unplayed(i), 1400u) << t;  // never starved
        }
        if (t % 600 == 0 || (t > 180000 && t < 182000)) {
            // Read from the write position on: the last second written, in
            // order; past the wrap it goes on with frame 0.
            std::vector<int16_t> d = BufferFrom(i, (uint32_t)i.writePosition);
            for (size_t k = 1; k < d.size(); ++k) {
                int16_t expect = (int16_t)((d[k - 1] + 1) & 0x7FFF);
                if (d[k - 1] == last && d[k] == 0) {
                    sawWrap = 1;
                    continue;
                }
                ASSERT_EQ(d[k], expect) << t << " at " << k;
            }
        }
    }
    EXPECT_TRUE(sawWrap);
    EXPECT_EQ(Info(h).currentEntry, 0);
    EXPECT_LT(Info(h).entryPosition, 2000u * 2 * 3);  // well into the second round
    EXPECT_GT(Info(h).entryPosition, 2000u * 2 * 1);
}

TEST_F(SoundLayer, NonLoopedStreamEndsWithSilenceThenStops) {
    std::string path = WriteFile("once.wav", PcmWave(1, 2000, 16, StreamFrames));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    int stoppedAt = -1, checkedSilence = 0;
    for (int t = 30; t <= 183000 && stoppedAt < 0; t += 30) {
        Advance(30);
        SoundThreadPass();
        if (IsSoundPlaying(h) != 1) {
            stoppedAt = t;
            break;
        }
        SoundInfo i = Info(h);
        if (i.endOfData && t > 181000 && !checkedSilence) {
            // From the end of the data (byte 1000 of the buffer) to the write
            // position: silence.
            std::vector<int16_t> d = BufferFrom(i, 1000);
            uint32_t silent = (uint32_t)((i.writePosition - 1000 + 4000) % 4000) / 2;
            for (uint32_t k = 0; k < silent; ++k) ASSERT_EQ(d[k], 0) << k;
            EXPECT_EQ(d[(4000 / 2) - 1], (int16_t)((StreamFrames - 1) & 0x7FFF));  // the last frame, before it
            checkedSilence = 1;
        }
    }
    EXPECT_TRUE(checkedSilence);
    // The end is heard at 181.25 s; the next pass stops it.
    EXPECT_GE(stoppedAt, 181250);
    EXPECT_LE(stoppedAt, 181250 + 30);
    SoundInfo i = Info(h);
    EXPECT_FALSE(i.prepared);
    EXPECT_EQ(i.currentEntry, 0);
    EXPECT_EQ(i.entryPosition, 0u);
    // It plays again from the start.
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    EXPECT_EQ(Info(h).entryPosition, 3000u);
}

TEST_F(SoundLayer, StoppedStreamKeepsItsPlaceOrStartsOver) {
    std::string path = WriteFile("stop.wav", PcmWave(1, 2000, 16, StreamFrames));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    for (int t = 0; t < 2000; t += 30) {
        Advance(30);
        SoundThreadPass();
    }
    ASSERT_EQ(StopSoundHandle(h), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    const SoundInfo stopped = Info(h);
    const uint32_t cursor = Cursor(stopped.streamBuffer);
    ASSERT_EQ(PlaySoundHandle(h, 3, 0), 0);  // continues
    EXPECT_EQ(Cursor(stopped.streamBuffer), cursor);
    EXPECT_EQ(Info(h).entryPosition, stopped.entryPosition);
    ASSERT_EQ(PlaySoundHandle(h, 3, 0), 0);  // playing: left alone
    EXPECT_EQ(Info(h).entryPosition, stopped.entryPosition);
    ASSERT_EQ(StopSoundHandle(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);  // from the beginning
    EXPECT_EQ(Cursor(stopped.streamBuffer), 0u);
    EXPECT_EQ(Info(h).entryPosition, 3000u);
    std::vector<int16_t> d = BufferFrom(Info(h), 0);
    for (int k = 0; k < 1500; ++k) ASSERT_EQ(d[(size_t)k], k) << k;
}

TEST_F(SoundLayer, SoundThreadKeepsMusicGoingOnItsOwn) {
    std::string path = WriteFile("thread.wav", PcmWave(1, 2000, 16, StreamFrames));
    int h = LoadSoundFile(path.c_str(), 3, -1);
    SoundSetThreadPaused(0);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    for (int k = 0; k < 20; ++k) {  // about 3 s of virtual time in real 30 ms steps
        Advance(150);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    SoundSetThreadPaused(1);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    EXPECT_GT(Info(h).entryPosition, 2000u * 2 * 2);
}

// --------------------------------------------------------- no device

TEST(SoundWithoutDevice, EverythingFailsQuietly) {
    HeadlessReset();
    LogStart(TempDir().c_str());
    HeadlessAudioSetDeviceAvailable(0);
    EXPECT_EQ(InitSound(), -1);
    EXPECT_NE(ReadText(LogFilePath()).find("初期化に失敗しました"), std::string::npos);
    std::string path = WriteFile("nodev.wav", PcmWave(1, 8000, 8, 800));
    EXPECT_EQ(LoadSoundFile(path.c_str(), 3, -1), -1);
    EXPECT_EQ(ReadText(LogFilePath()).find("右記の音声ファイル"), std::string::npos);
    EXPECT_EQ(PlaySoundHandle(0x10000000, 1, 1), -1);
    EXPECT_EQ(IsSoundPlaying(0x10000000), -1);
    EXPECT_EQ(StopSoundHandle(0x10000000), -1);
    EXPECT_EQ(EndSound(), -1);
    HeadlessAudioSetDeviceAvailable(1);
    // And the layer comes up once there is one.
    EXPECT_EQ(InitSound(), 0);
    EXPECT_GT(LoadSoundFile(path.c_str(), 3, -1), 0);
    EXPECT_EQ(EndSound(), 0);
}

}  // namespace
