// The asset slot tables and the drawing and playback helpers.
#pragma once

constexpr int GameImageSlotCount = 1000;
constexpr int SoundSlotCount = 100;
constexpr int MusicSlotCount = 100;

extern int ImageSlots[GameImageSlotCount];
extern int SoundSlots[SoundSlotCount];
extern int MusicSlots[MusicSlotCount];

// The load lists (paths relative to the working directory).
constexpr int ImageFileCount = 31;
constexpr int SoundFileCount = 20;
constexpr int MusicFileCount = 8;
extern const char* const ImageFiles[ImageFileCount];
extern const char* const SoundFiles[SoundFileCount];
extern const char* const MusicFiles[MusicFileCount];

// Store the loader's result in the table and return it.
int LoadImageSlot(int slot, const char* path);
int LoadSoundSlot(int slot, const char* path);
int LoadMusicSlot(int slot, const char* path);
// Zeroes each table, then loads images 0..30, sounds 0..19, music 0..7.
void LoadAllAssets();

// Draws the w x h rectangle at (srcX, srcY) of the slot's picture at
// screen (x, y), black transparent, unmirrored.
void DrawSprite(int slot, int x, int y, int srcX, int srcY, int w, int h);
// Plays the effect once from its start, in the background.
void PlaySound(int slot);
// Stops all music, then plays the piece looped from its start.
void PlayMusic(int slot);
void StopAllMusic();
// Face "ＭＳ Ｐゴシック" (Shift-JIS), then size, thickness, style.
void SetDefaultFont(int size, int thickness, int style);

// Observers for tests and tools: called with every request before it goes
// to the engine. Null (the default) costs one test per call.
struct AssetHooks {
    void (*drawSprite)(int slot, int x, int y, int srcX, int srcY, int w, int h) = nullptr;
    void (*playSound)(int slot) = nullptr;
    void (*playMusic)(int slot) = nullptr;
    void (*stopAllMusic)() = nullptr;
};
extern AssetHooks AssetObservers;
