// Hostile and failing cases of the sound layer: an Ogg Vorbis file that
// lies about its length, the fatal path when a streamed sound's buffer
// cannot be made, and MS-ADPCM coefficients that overflow the predictor.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/platform/audio.h"
#include "engine/platform/headless/headless.h"
#include "engine/sound/sound.h"
#include "tests/sound/sound_fixtures.h"

using namespace fixtures;

namespace {

// Ogg's page checksum: CRC-32, polynomial 0x04C11DB7, not reflected.
uint32_t OggCrc(const uint8_t* p, size_t n) {
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= (uint32_t)p[i] << 24;
        for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// The file with the granule position of its last page set to `frames`
// (the length ov_pcm_total reports) and that page's checksum made good.
Bytes ClaimLength(Bytes ogg, uint64_t frames) {
    size_t last = 0;
    for (size_t i = 0; i + 4 <= ogg.size(); ++i)
        if (std::memcmp(&ogg[i], "OggS", 4) == 0) last = i;
    for (int b = 0; b < 8; ++b) ogg[last + 6 + b] = (uint8_t)(frames >> (8 * b));
    std::memset(&ogg[last + 22], 0, 4);
    const uint32_t crc = OggCrc(&ogg[last], ogg.size() - last);
    for (int b = 0; b < 4; ++b) ogg[last + 22 + b] = (uint8_t)(crc >> (8 * b));
    return ogg;
}

struct SoundFaults : ::testing::Test {
    void SetUp() override {
        HeadlessReset();
        HeadlessAudioSetDeviceAvailable(1);
        LogStart(TempDir().c_str());
        SoundSetThreadPaused(1);
        ASSERT_EQ(InitSound(), 0);
    }
    void TearDown() override { EndSound(); }
};

TEST_F(SoundFaults, AnOggThatLiesAboutItsLengthCostsWhatItsDataHolds) {
    // Twelve seconds of data at 8000 Hz mono (16000 bytes of PCM a second),
    // on two audio pages: the length comes from the last one.
    const Bytes honest = Vorbis(1, 8000, Sine(1, 8000, 300, 96000, 0.5));
    struct Case {
        const char* name;
        uint64_t claimedFrames;
        int streamed;
    } cases[] = {
        {"100 s: a memory sound, kept compressed", 8000ull * 100, 0},
        {"200 s: streamed without being decoded first", 8000ull * 200, 1},
        {"about 25 days: streamed, where a decode would need 32 GiB", 1ull << 34, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteFile("liar.ogg", ClaimLength(honest, c.claimedFrames));
        const size_t before = TrackedTotalBytes();
        int h = LoadSoundFile(path.c_str(), 3, -1);
        ASSERT_GT(h, 0);
        SoundInfo i{};
        ASSERT_EQ(SoundGetInfo(h, &i), 0);
        EXPECT_EQ(i.streamed, c.streamed);
        // The file image (twice for a stream: its entry's copy), a decoder
        // and the stream's one second; nothing of the claimed size.
        EXPECT_LT(TrackedTotalBytes() - before, 2 * honest.size() + 256u * 1024);
        if (c.streamed) {
            // Played once, the stream ends after what the data holds.
            ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
            int ms = 0;
            while (IsSoundPlaying(h) == 1 && ms < 20000) {
                HeadlessAdvanceMicroseconds(30000);
                SoundThreadPass();
                ms += 30;
            }
            EXPECT_EQ(IsSoundPlaying(h), 0);
            EXPECT_GE(ms, 11900);
            EXPECT_LE(ms, 13500);
        }
    }
}

TEST(SoundFatal, AStreamBufferThatCannotBeMadeEndsTheProgramWithoutHanging) {
    // A long IMA ADPCM wave (170 s, stereo, 44100 Hz, silent blocks): its
    // decoding holds the sound lock long enough for the sound thread to
    // come and wait for it. Then no buffer can be made for it, as a memory
    // sound or as a stream: the fatal path.
    const uint16_t blockAlign = 2048;
    const uint32_t framesPerBlock = 1 + (blockAlign - 8) / 8 * 8;
    const uint32_t blocks = 170u * 44100u / framesPerBlock;
    Bytes extra;
    Put16(extra, framesPerBlock);
    const Bytes fmt = FmtBody(0x11, 2, 44100, 4, blockAlign, 44100u * blockAlign / framesPerBlock, &extra);
    const std::string path = WriteFile("fatal.wav", Wave(fmt, Bytes((size_t)blocks * blockAlign, 0)));
    const std::string dir = TempDir() + "/fatal-run";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    EXPECT_EXIT(
        {
            alarm(20);  // a hang ends by SIGALRM, not by the exit code below
            std::filesystem::current_path(dir);
            HeadlessReset();
            HeadlessAudioSetDeviceAvailable(1);
            SoundSetThreadPaused(0);  // the sound thread runs its passes
            ChangeWindowMode(1);
            if (EngineInit() != 0) std::_Exit(3);
            MixerSetBufferLimit(100000);  // below one second of the stream
            LoadSoundFile(path.c_str(), 3, -1);
            std::_Exit(4);  // not reached: the load is fatal
        },
        ::testing::ExitedWithCode(255), "");
    const std::string log = ReadText(dir + "/Log.txt");
    EXPECT_NE(log.find("DirectSoundBuffer の作成に失敗しました"), std::string::npos) << log;
    EXPECT_NE(log.find("ストリーム風サウンドバッファの作成に失敗しました"), std::string::npos);
    // The shut-down ran through the sound layer's end.
    EXPECT_NE(log.find("DirectSound の終了処理は正常に終了しました"), std::string::npos);
    EXPECT_EQ(log.find("右記の音声ファイルのロードに失敗しました_2"), std::string::npos);
}

TEST(MsAdpcm, PredictorSumsBeyondTheIntRangeAreClamped) {
    // One block, mono: predictor 0, delta 16, both start samples -32768 and
    // a single coefficient pair of -32768, so s1*c1 + s2*c2 is 2^31. All
    // nibbles are 0: each frame is the clamped prediction.
    Bytes block = {0, 16, 0, 0x00, 0x80, 0x00, 0x80, 0, 0, 0};
    Bytes extra;
    Put16(extra, 8);  // frames per block
    Put16(extra, 1);  // one coefficient pair
    Put16(extra, 0x8000);
    Put16(extra, 0x8000);
    const Bytes image = Wave(FmtBody(2, 1, 8000, 4, 10, 8000, &extra), block);
    MemoryStream ms;
    MemoryStreamOpen(&ms, image.data(), image.size());
    SoundDecoder d;
    ASSERT_EQ(SoundDecoderSetup(&d, &ms), 0);
    ASSERT_EQ(d.kind, SoundDecoderConverted);
    int16_t pcm[8] = {};
    ASSERT_EQ(SoundDecoderRead(&d, pcm, sizeof pcm), sizeof pcm);
    SoundDecoderEnd(&d);
    // (s1*c1 + s2*c2) >> 8 in 64 bits: 2^23 -> 32767; then 128, -4210560,
    // 4177920, ... each clamped to 16 bits.
    const int16_t expect[8] = {-32768, -32768, 32767, 128, -32768, 32767, 128, -32768};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(pcm[i], expect[i]) << "frame " << i;
}

}  // namespace
