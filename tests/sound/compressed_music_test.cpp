// Ogg Vorbis memory sounds kept compressed and decoded while they are
// mixed: what they sound like against a decode at load time (from the
// start, looped, continued from another buffer's place, on two buffers at
// once), what they cost, and the runner's audio capture repeating itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/platform/audio.h"
#include "engine/platform/headless/headless.h"
#include "engine/sound/sound.h"
#include "tests/sound/sound_fixtures.h"

using namespace fixtures;

namespace {

// Interleaved 16-bit samples of what the decoder chain gives for the image,
// cut or padded with silence to the length it reports: what a memory sound
// held when it was decoded at load.
std::vector<int16_t> DecodeAtLoad(const Bytes& image) {
    MemoryStream ms;
    MemoryStreamOpen(&ms, image.data(), image.size());
    SoundDecoder d;
    if (SoundDecoderSetup(&d, &ms) != 0) return {};
    std::vector<int16_t> pcm(SoundDecoderTotalBytes(&d) / 2, 0);
    SoundDecoderSeek(&d, 0);
    size_t filled = 0;
    while (filled < pcm.size() * 2) {
        size_t got = SoundDecoderRead(&d, (uint8_t*)pcm.data() + filled, pcm.size() * 2 - filled);
        if (got == 0) break;
        filled += got;
    }
    SoundDecoderEnd(&d);
    return pcm;
}

std::vector<int16_t> WaveSamples(const std::string& path) {
    std::string wav = ReadText(path);
    if (wav.size() < 44) return {};
    std::vector<int16_t> s((wav.size() - 44) / 2);
    std::memcpy(s.data(), wav.data() + 44, s.size() * 2);
    return s;
}

struct CompressedMusic : ::testing::Test {
    // 2 s of a stereo tone at the device's rate, so mixed frames are the
    // sound's own frames, sample for sample.
    static const Bytes& Tune() {
        static const Bytes tune = Vorbis(2, 44100, Sine(2, 44100, 440, 88200, 0.3));
        return tune;
    }
    static const std::vector<int16_t>& Reference() {
        static const std::vector<int16_t> pcm = DecodeAtLoad(Tune());
        return pcm;
    }

    void SetUp() override {
        HeadlessReset();
        HeadlessAudioSetDeviceAvailable(1);
        LogStart(TempDir().c_str());
        SoundSetThreadPaused(1);
        ASSERT_EQ(InitSound(), 0);
        ASSERT_GT(Reference().size(), 80000u * 2);
        path = WriteFile("tune.ogg", Tune());
    }
    void TearDown() override { EndSound(); }

    static void Advance(int ms) { HeadlessAdvanceMicroseconds((uint64_t)ms * 1000u); }
    static SoundInfo Info(int h) {
        SoundInfo i{};
        EXPECT_EQ(SoundGetInfo(h, &i), 0);
        return i;
    }
    void StartCapture() { ASSERT_EQ(HeadlessAudioStartCapture(capture.c_str()), 0); }
    std::vector<int16_t> StopCapture() {
        HeadlessAudioUpdate();
        HeadlessAudioStopCapture();
        return WaveSamples(capture);
    }

    std::string path;
    std::string capture = TempDir() + "/compressed.wav";
};

TEST_F(CompressedMusic, PlaysExactlyWhatADecodeAtLoadHeld) {
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    SoundInfo i = Info(h);
    EXPECT_EQ(i.compressed, 1);
    EXPECT_EQ(i.streamed, 0);
    EXPECT_EQ(i.bufferCount, 3);
    EXPECT_EQ(i.decoderKind, SoundDecoderVorbis);
    const std::vector<int16_t>& ref = Reference();
    EXPECT_EQ(i.pcmBytes, ref.size() * 2);

    StartCapture();
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    Advance(2300);
    EXPECT_EQ(IsSoundPlaying(h), 0);  // a play once ends by itself
    std::vector<int16_t> out = StopCapture();
    ASSERT_GT(out.size(), ref.size() + 1000);
    for (size_t k = 0; k < ref.size(); ++k) ASSERT_EQ(out[k], ref[k]) << "sample " << k;
    for (size_t k = ref.size(); k < out.size(); ++k) ASSERT_EQ(out[k], 0) << "sample " << k;
}

TEST_F(CompressedMusic, LoopsAndContinuesFromTheRightFrame) {
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    const std::vector<int16_t>& ref = Reference();
    const size_t frames = ref.size() / 2;

    // Looped: every pass through the end starts the tune again seamlessly.
    StartCapture();
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    Advance(5000);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    std::vector<int16_t> out = StopCapture();
    ASSERT_GT(out.size() / 2, 2 * frames + 1000);
    for (size_t k = 0; k < out.size(); ++k) ASSERT_EQ(out[k], ref[k % ref.size()]) << "sample " << k;
    ASSERT_EQ(StopSoundHandle(h), 0);

    // Played once, moved on without mixing, stopped, then continued on the
    // next buffer from where the first one stands (fromStart 0).
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    Advance(730);
    ASSERT_EQ(StopSoundHandle(h), 0);
    SoundInfo i = Info(h);
    uint32_t cursor = 0;
    ASSERT_EQ(AudioGetPosition(i.buffers[i.lastBuffer], &cursor, nullptr), 0);
    ASSERT_GT(cursor, 0u);
    const size_t from = cursor / 4;
    StartCapture();
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    Advance(400);
    out = StopCapture();
    ASSERT_GT(out.size(), 17000u * 2);
    for (size_t k = 0; k < out.size(); ++k) ASSERT_EQ(out[k], ref[from * 2 + k]) << "sample " << k;
}

TEST_F(CompressedMusic, TwoBuffersOfOneTuneDecodeEachOnItsOwn) {
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    const std::vector<int16_t>& ref = Reference();
    StartCapture();
    const uint64_t start = HeadlessAudioFramesConsumed();
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    Advance(300);
    const size_t lag = (size_t)(HeadlessAudioFramesConsumed() - start) * 2;
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);  // the next buffer, from the start
    Advance(2000);
    std::vector<int16_t> out = StopCapture();
    ASSERT_GT(out.size(), ref.size());
    for (size_t k = 0; k < ref.size(); ++k) {
        const int sum = ref[k] + (k >= lag ? ref[k - lag] : 0);
        ASSERT_EQ(out[k], sum) << "sample " << k;
    }
}

TEST_F(CompressedMusic, EachSoundHoldsOneCopyOfItsSamples) {
    // A wave is decoded into its platform buffer only; its duplicates
    // share that buffer, so the engine keeps no samples of its own.
    const Bytes wave = PcmWave(2, 44100, 16, 44100);
    const std::string wavePath = WriteFile("second.wav", wave);
    size_t before = TrackedTotalBytes();
    int w = LoadSoundFile(wavePath.c_str(), 10, -1);
    ASSERT_GT(w, 0);
    EXPECT_EQ(Info(w).bufferCount, 10);
    EXPECT_LT(TrackedTotalBytes() - before, 16u * 1024);

    // A compressed tune keeps its file image, and a playing buffer a
    // decoder, until it stops.
    before = TrackedTotalBytes();
    int h = LoadSoundFile(path.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    const size_t loaded = TrackedTotalBytes() - before;
    EXPECT_GE(loaded, Tune().size());
    EXPECT_LT(loaded, Tune().size() + 16u * 1024);
    StartCapture();
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    Advance(100);
    HeadlessAudioUpdate();
    EXPECT_GT(TrackedTotalBytes() - before, loaded);
    ASSERT_EQ(StopSoundHandle(h), 0);
    EXPECT_EQ(TrackedTotalBytes() - before, loaded);
    StopCapture();
}

// The runner's --audio file is the same from run to run, and not silent.
TEST(SimAudio, CaptureRepeatsRunToRun) {
    const std::string sim = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-sim";
    const std::string dir = TempDir() + "/sim";
    // Into the first extra stage (saving off, so the shared data stays as
    // it is), walking and jumping.
    const std::string keys = "60 enter\n300-340 right\n320 z\n";
    const std::string script = WriteFile("start.txt", Bytes(keys.begin(), keys.end()));
    std::vector<std::vector<int16_t>> runs;
    for (int run = 0; run < 2; ++run) {
        const std::string out = dir + std::to_string(run) + ".wav";
        const std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && ln -s '" +
                                QUELLBORE_DATA_DIR + "' '" + dir + "/data' && '" + sim + "' --dir '" + dir +
                                "' --frames 480 --arg 1 --input '" + script + "' --audio '" + out + "'";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
        runs.push_back(WaveSamples(out));
    }
    ASSERT_GT(runs[0].size(), 44100u * 2 * 7);  // 480 frames of 16 ms at least
    EXPECT_TRUE(runs[0] == runs[1]);
    size_t loud = 0;
    for (int16_t v : runs[0]) loud += v > 1000 || v < -1000;
    EXPECT_GT(loud, 44100u);  // the title music and the stage's sounds
}

}  // namespace
