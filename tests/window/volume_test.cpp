// The player's volumes reach a sound and all its copies.
#include <gtest/gtest.h>

#include <string>

#include "engine/engine.h"
#include "engine/platform/audio.h"
#include "engine/sound/sound.h"
#include "headless_engine.h"

namespace {

using Volume = HeadlessEngineTest;

TEST_F(Volume, APercentageBecomesTheAttenuationOfEveryBuffer) {
    const std::string file = std::string(QUELLBORE_DATA_DIR) + "/sound/pi31.wav";
    int handle = LoadSoundFile(file.c_str(), 3, -1);
    if (handle == -1) GTEST_SKIP() << "no sound device or no " << file;
    struct Case {
        int percent, volume;
    } cases[] = {{100, 0}, {50, -602}, {10, -2000}, {1, -4000}, {0, AudioVolumeMin}, {-5, AudioVolumeMin},
                 {250, 0}};
    for (const Case& c : cases) {
        ASSERT_EQ(SetSoundVolume(handle, c.percent), 0);
        ASSERT_EQ(PlaySoundHandle(handle, 1, 1), 0);  // playing keeps it
        SoundInfo info;
        ASSERT_EQ(SoundGetInfo(handle, &info), 0);
        ASSERT_GE(info.bufferCount, 1);
        for (int i = 0; i < info.bufferCount; ++i) {
            int32_t volume = 1;
            ASSERT_EQ(AudioGetVolume(info.buffers[i], &volume), 0);
            EXPECT_EQ(volume, c.volume) << c.percent << "% buffer " << i;
        }
        StopSoundHandle(handle);
    }
    EXPECT_EQ(SetSoundVolume(handle + 1, 50), -1) << "not a sound";
    EXPECT_EQ(SetSoundVolume(-1, 50), -1);
}

}  // namespace
