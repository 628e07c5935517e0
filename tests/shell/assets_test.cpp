#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/call_log.h"
#include "tests/support/temp_folder.h"
#include "engine/engine.h"
#include "engine_session.h"
#include "game/shell/assets.h"

namespace {

// A mono 16-bit WAV of the given length, a quiet square wave.
std::string Wav(int milliseconds) {
    const int rate = 22050;
    const int samples = rate * milliseconds / 1000;
    std::string d;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) d += static_cast<char>((v >> (8 * i)) & 0xFF); };
    auto u16 = [&](uint16_t v) { for (int i = 0; i < 2; ++i) d += static_cast<char>((v >> (8 * i)) & 0xFF); };
    d += "RIFF";
    u32(36 + samples * 2);
    d += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    d += "data";
    u32(samples * 2);
    for (int i = 0; i < samples; ++i) u16((i / 50) % 2 ? 0x0800 : 0xF800);
    return d;
}

TEST(Assets, LoadingZeroesEachTableAndStoresWhatTheLoaderGave) {
    ASSERT_TRUE(EngineStarted());
    TempWorkDir dir;
    std::filesystem::create_directories(dir.root / "data/sound");
    std::filesystem::create_directories(dir.root / "data/bgm");
    dir.Write("data/sound/pi31.wav", Wav(100));
    ImageSlots[500] = 9;
    SoundSlots[50] = 9;
    MusicSlots[50] = 9;
    LoadAllAssets();
    EXPECT_EQ(ImageSlots[500], 0);
    EXPECT_EQ(SoundSlots[50], 0);
    EXPECT_EQ(MusicSlots[50], 0);
    for (int i = 0; i < ImageFileCount; ++i) EXPECT_EQ(ImageSlots[i], -1) << i;  // missing pictures
    EXPECT_GT(SoundSlots[11], 0);  // only the jump sound exists
    EXPECT_EQ(SoundSlots[10], -1);
    EXPECT_EQ(SoundSlots[12], -1);
    EXPECT_EQ(SoundSlots[20], 0);  // never loaded
    EXPECT_EQ(MusicSlots[0], -1);
    EXPECT_EQ(MusicSlots[8], 0);
}

TEST(Assets, MusicStopsEveryPieceBeforeTheNextStarts) {
    ASSERT_TRUE(EngineStarted());
    TempWorkDir dir;
    const std::string path = dir.Write("data/piece.wav", Wav(2000));
    for (int i = 0; i < 3; ++i) ASSERT_GT(LoadMusicSlot(i, path.c_str()), 0);
    for (int i = 3; i < MusicSlotCount; ++i) MusicSlots[i] = 0;
    for (int i = 0; i < 3; ++i) PlaySoundHandle(MusicSlots[i], 3, 1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(IsSoundPlaying(MusicSlots[i]), 1) << i;
    StopAllMusic();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(IsSoundPlaying(MusicSlots[i]), 0) << i;

    PlayMusic(1);
    EXPECT_EQ(IsSoundPlaying(MusicSlots[0]), 0);
    EXPECT_EQ(IsSoundPlaying(MusicSlots[1]), 1);
    PlayMusic(1);  // the same piece again restarts it
    EXPECT_EQ(IsSoundPlaying(MusicSlots[1]), 1);
    PlayMusic(2);
    EXPECT_EQ(IsSoundPlaying(MusicSlots[1]), 0);
    EXPECT_EQ(IsSoundPlaying(MusicSlots[2]), 1);
    StopAllMusic();
    for (int i = 0; i < 3; ++i) MusicSlots[i] = 0;
}

TEST(Assets, SlotsOutsideTheTablesDoNothing) {
    CallLog log;
    DrawSprite(GameImageSlotCount, 0, 0, 0, 0, 16, 16);
    DrawSprite(-1, 0, 0, 0, 0, 16, 16);
    PlaySound(SoundSlotCount);
    PlaySound(-5);
    PlayMusic(MusicSlotCount);
    EXPECT_EQ(log.sprites.size(), 2u);  // asked for, not drawn
    EXPECT_EQ(LoadImageSlot(GameImageSlotCount, "./data/none.dat"), -1);
}

}  // namespace
