#include "game/shell/assets.h"

#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "game/shell/settings.h"

int ImageSlots[GameImageSlotCount];
int SoundSlots[SoundSlotCount];
int MusicSlots[MusicSlotCount];
AssetHooks AssetObservers;

const char* const ImageFiles[ImageFileCount] = {
    "./data/jumper.dat",  "./data/block.dat",  "./data/grand.dat",     "./data/enemy.dat",
    "./data/font.dat",    "./data/drill.dat",  "./data/baku1.dat",     "./data/baku2.dat",
    "./data/item.dat",    "./data/door.dat",   "./data/titleback.dat", "./data/death.dat",
    "./data/back1.dat",   "./data/back2.dat",  "./data/back3.dat",     "./data/back4.dat",
    "./data/back5.dat",   "./data/back6.dat",  "./data/back7.dat",     "./data/back8.dat",
    "./data/back9.dat",   "./data/back10.dat", "./data/back11.dat",    "./data/back12.dat",
    "./data/back13.dat",  "./data/back14.dat", "./data/back15.dat",    "./data/boss1.dat",
    "./data/boss2.dat",   "./data/boss3.dat",  "./data/bossex.dat",
};

const char* const SoundFiles[SoundFileCount] = {
    "./data/sound/bom24.wav",    "./data/sound/burst00.wav",  "./data/sound/chari02.wav",
    "./data/sound/crash18_d.wav", "./data/sound/hit17.wav",   "./data/sound/cursor08.wav",
    "./data/sound/door02.wav",   "./data/sound/fm000.wav",    "./data/sound/fm008.wav",
    "./data/sound/fm014.wav",    "./data/sound/mizu08.wav",   "./data/sound/pi31.wav",
    "./data/sound/pi73.wav",     "./data/sound/don05.wav",    "./data/sound/puu79_a.wav",
    "./data/sound/fall06.wav",   "./data/sound/crash22_a.wav", "./data/sound/chari05.wav",
    "./data/sound/pi52.wav",     "./data/sound/wood07.wav",
};

const char* const MusicFiles[MusicFileCount] = {
    "./data/bgm/BGM016.ogg", "./data/bgm/BGM007.ogg", "./data/bgm/BGM022.ogg",
    "./data/bgm/BGM057.ogg", "./data/bgm/BGM041.ogg", "./data/bgm/BGM059.ogg",
    "./data/bgm/BGM091.ogg", "./data/bgm/BGM004.ogg",
};

namespace {

bool ValidSlot(int slot, int count) { return slot >= 0 && slot < count; }

// "ＭＳ Ｐゴシック" in Shift-JIS.
const char DefaultFontFace[] =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

}  // namespace

int LoadImageSlot(int slot, const char* path) {
    int handle = LoadImageFile(path);
    if (ValidSlot(slot, GameImageSlotCount)) ImageSlots[slot] = handle;
    return handle;
}

int LoadSoundSlot(int slot, const char* path) {
    int handle = LoadSoundFile(path, 3, -1);
    if (ValidSlot(slot, SoundSlotCount)) SoundSlots[slot] = handle;
    return handle;
}

int LoadMusicSlot(int slot, const char* path) {
    int handle = LoadSoundFile(path, 3, -1);
    if (ValidSlot(slot, MusicSlotCount)) MusicSlots[slot] = handle;
    return handle;
}

void LoadAllAssets() {
    std::memset(ImageSlots, 0, sizeof ImageSlots);
    for (int i = 0; i < ImageFileCount; ++i) LoadImageSlot(i, ImageFiles[i]);
    std::memset(SoundSlots, 0, sizeof SoundSlots);
    for (int i = 0; i < SoundFileCount; ++i) LoadSoundSlot(i, SoundFiles[i]);
    std::memset(MusicSlots, 0, sizeof MusicSlots);
    for (int i = 0; i < MusicFileCount; ++i) LoadMusicSlot(i, MusicFiles[i]);
    // The player's volumes; at 100 the sounds stay exactly as recorded.
    if (EffectVolumePercent != 100)
        for (int i = 0; i < SoundFileCount; ++i) SetSoundVolume(SoundSlots[i], EffectVolumePercent);
    if (MusicVolumePercent != 100)
        for (int i = 0; i < MusicFileCount; ++i) SetSoundVolume(MusicSlots[i], MusicVolumePercent);
}

void DrawSprite(int slot, int x, int y, int srcX, int srcY, int w, int h) {
    if (AssetObservers.drawSprite) AssetObservers.drawSprite(slot, x, y, srcX, srcY, w, h);
    if (!ValidSlot(slot, GameImageSlotCount)) return;
    DrawImageRect(x, y, srcX, srcY, w, h, ImageSlots[slot], 1, 0);
}

bool SpriteCovers(int slot, int w, int h) {
    return ValidSlot(slot, GameImageSlotCount) && IsImageOpaqueOver(ImageSlots[slot], w, h) == 1;
}

void PlaySound(int slot) {
    if (AssetObservers.playSound) AssetObservers.playSound(slot);
    if (!ValidSlot(slot, SoundSlotCount)) return;
    PlaySoundHandle(SoundSlots[slot], 1, 1);
}

void StopAllMusic() {
    if (AssetObservers.stopAllMusic) AssetObservers.stopAllMusic();
    for (int i = 0; i < MusicSlotCount; ++i) {
        if (IsSoundPlaying(MusicSlots[i]) == 1) StopSoundHandle(MusicSlots[i]);
    }
}

void PlayMusic(int slot) {
    if (AssetObservers.playMusic) AssetObservers.playMusic(slot);
    StopAllMusic();
    if (!ValidSlot(slot, MusicSlotCount)) return;
    PlaySoundHandle(MusicSlots[slot], 3, 1);
}

void SetDefaultFont(int size, int thickness, int style) {
    SetTextFace(DefaultFontFace, -1);
    SetTextSize(size);
    SetTextThickness(thickness);
    SetTextStyle(style);
}
