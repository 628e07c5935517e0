// The sound stands still while the window is in the background: through the
// headless backend's focus events, the mixed output is silent while the
// window is inactive, and every sound resumes where it was.
#include <gtest/gtest.h>

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
#include "tests/support/temp_folder.h"

using namespace fixtures;

namespace {

int g_Passes;
int g_WakeAfter;

void WakeAfterPasses() {
    if (++g_Passes == g_WakeAfter) HeadlessSetActive(1);
}

struct FocusPause : ::testing::Test {
    TempFolder folder{"quellbore-focus-"};
    std::filesystem::path previous, dir;

    void SetUp() override {
        previous = std::filesystem::current_path();
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
        std::filesystem::current_path(dir);
        HeadlessReset();
        HeadlessAudioSetDeviceAvailable(1);
        ChangeWindowMode(1);
        ASSERT_EQ(EngineInit(), 0);
        SoundSetThreadPaused(1);
    }
    void TearDown() override {
        EngineEnd();
        // The ended engine's quit flag would end the blocking plays of the
        // sound tests that follow in this program.
        g_Window.quit = 0;
        EngineSetInactivePassHook(nullptr);
        SoundSetThreadPaused(0);
        std::filesystem::current_path(previous);
        HeadlessReset();
    }

    // Deactivates the window and pumps until `passes` inactive passes have
    // gone by, then the window is active again.
    static void Background(int passes) {
        HeadlessSetActive(0);
        g_Passes = 0;
        g_WakeAfter = passes;
        EngineSetInactivePassHook(WakeAfterPasses);
        ASSERT_EQ(ProcessWindowMessages(), 0);
        EngineSetInactivePassHook(nullptr);
    }
    static uint32_t Cursor(int handle) {
        SoundInfo i{};
        EXPECT_EQ(SoundGetInfo(handle, &i), 0);
        uint32_t play = 0;
        AudioGetPosition(i.buffers[i.lastBuffer], &play, nullptr);
        return play;
    }
};

TEST_F(FocusPause, OutputIsSilentInTheBackgroundAndResumesInPlace) {
    // Mono frames that count up: frame i sounds as the sample i.
    const std::string wave = WriteFile("count.wav", PcmWave(1, 44100, 16, 30000));
    int h = LoadSoundFile(wave.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    const std::string out = (dir / "focus.wav").string();
    ASSERT_EQ(HeadlessAudioStartCapture(out.c_str()), 0);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    HeadlessAdvanceMicroseconds(100000);
    const uint32_t before = Cursor(h);
    ASSERT_GT(before, 0u);

    Background(200);  // about 2 ms of the virtual clock a pass
    EXPECT_TRUE(g_Window.active);
    EXPECT_FALSE(AudioOutputPaused());
    EXPECT_EQ(IsSoundPlaying(h), 1);
    EXPECT_LE(Cursor(h) - before, 2u * 2);  // where it was, give or take a poll

    HeadlessAdvanceMicroseconds(100000);
    HeadlessAudioUpdate();
    HeadlessAudioStopCapture();
    std::string wav = ReadText(out);
    ASSERT_GT(wav.size(), 44u);
    std::vector<int16_t> s((wav.size() - 44) / 2);
    std::memcpy(s.data(), wav.data() + 44, s.size() * 2);
    const size_t frames = s.size() / 2;

    // 0, 1, 2 ... up to the focus loss, silence, then on from the next frame.
    size_t k = 0;
    while (k < frames && s[k * 2] == (int16_t)k) ++k;
    ASSERT_GE(k, 4400u);
    size_t silent = 0;
    while (k + silent < frames && s[(k + silent) * 2] == 0 && s[(k + silent) * 2 + 1] == 0) ++silent;
    EXPECT_GE(silent, 44100u * 300 / 1000);  // 200 passes of 1 ms sleeps and more
    size_t resumed = 0;
    for (size_t f = k + silent; f < frames; ++f, ++resumed)
        ASSERT_EQ(s[f * 2], (int16_t)(k + resumed)) << "frame " << f;
    EXPECT_GE(resumed, 4400u);
}

TEST_F(FocusPause, StreamedMusicStandsStillToo) {
    // 181 seconds of 8-bit mono at 100 Hz is streamed.
    const std::string longWave = WriteFile("long.wav", PcmWave(1, 100, 8, 18100));
    int h = LoadSoundFile(longWave.c_str(), 3, -1);
    ASSERT_GT(h, 0);
    SoundInfo i{};
    ASSERT_EQ(SoundGetInfo(h, &i), 0);
    ASSERT_EQ(i.streamed, 1);
    ASSERT_EQ(PlaySoundHandle(h, 3, 1), 0);
    HeadlessAdvanceMicroseconds(250000);
    uint32_t before = 0, after = 0;
    AudioGetPosition(i.streamBuffer, &before, nullptr);
    Background(100);
    SoundThreadPass();
    AudioGetPosition(i.streamBuffer, &after, nullptr);
    EXPECT_EQ(after, before);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    HeadlessAdvanceMicroseconds(500000);
    AudioGetPosition(i.streamBuffer, &after, nullptr);
    EXPECT_NEAR((double)after - before, 50.0, 1.0);  // half a second of 100 Hz once active
}

}  // namespace
