// The asset slot tables and the drawing and playback helpers.
#pragma once

constexpr int GameImageSlotCount = 1000;
constexpr int SoundSlotCount = 100;
constexpr int MusicSlotCount = 100;

extern int ImageSlots[GameImageSlotCount];
extern int SoundSlots[SoundSlotCount];
extern int MusicSlots[MusicSlotCount];

// Image slots: ImageFiles[slot] (assets.cpp) is loaded into ImageSlots[slot].
// To add a picture: a name here, its path at the same place in ImageFiles.
constexpr int PlayerImageSlot = 0;     // jumper.dat: the player, 16 x 16 cells; intro icon
constexpr int FillTileSlot = 1;        // block.dat: background fill tiles, 16 x 16
constexpr int GroundSlot = 2;          // grand.dat: ground tiles, 16 x 16; debris
constexpr int EnemyImageSlot = 3;      // enemy.dat
constexpr int FontImageSlot = 4;       // font.dat: the bitmap font, 8 x 8 cells
constexpr int DrillImageSlot = 5;      // drill.dat: the drill; the menu cursor
constexpr int SmallExplosionSlot = 6;  // baku1.dat: explosion kind 0, 24 x 24
constexpr int LargeExplosionSlot = 7;  // baku2.dat: explosion kind 1, 64 x 64
constexpr int ItemImageSlot = 8;       // item.dat: items and the HUD icons
constexpr int DoorImageSlot = 9;       // door.dat
constexpr int TitleImageSlot = 10;     // titleback.dat
constexpr int ChaserImageSlot = 11;    // death.dat: the death chaser
constexpr int FirstBackImageSlot = 12; // back1.dat ... back15.dat: background layers
constexpr int BackImageSlot(int n) { return FirstBackImageSlot + n - 1; }  // backn.dat
constexpr int LastBossImageSlot1 = 27; // boss1.dat ... boss3.dat: the last boss's forms
constexpr int LastBossImageSlot2 = 28;
constexpr int LastBossImageSlot3 = 29;
constexpr int ExtraBossImageSlot = 30; // bossex.dat
constexpr int ImageFileCount = 31;

// Sound-effect slots: SoundFiles[slot] (data/sound/<name>.wav) into SoundSlots.
constexpr int SoundDrillBlast = 0;    // bom24: the drill blows up
constexpr int SoundDrillThrow = 1;    // burst00: the player throws the drill; a title menu game choice
constexpr int SoundCoin = 2;          // chari02: a coin is collected
constexpr int SoundBlockCrash = 3;    // crash18_d: a block breaks into debris
constexpr int SoundChaserHit = 4;     // hit17: the death chaser catches someone
constexpr int SoundExtraLife = 5;     // cursor08: the 100th coin gives a life
constexpr int SoundDoor = 6;          // door02: the exit door
constexpr int SoundBossSummon = 7;    // fm000: the last boss calls its minions
constexpr int SoundStomp = 8;         // fm008: an enemy is stomped
constexpr int SoundKnockOut = 9;      // fm014: the drill knocks an enemy out
constexpr int SoundSplash = 10;       // mizu08: a leaping enemy leaves or meets the water
constexpr int SoundJump = 11;         // pi31: the player jumps
constexpr int SoundTimerWarning = 12; // pi73: the stage timer runs low
constexpr int SoundBossThud = 13;     // don05: the last boss changes form or is held
constexpr int SoundPlayerLost = 14;   // puu79_a: the player is killed or falls into a pit
constexpr int SoundFall = 15;         // fall06: loaded, never played
constexpr int SoundDebrisCrash = 16;  // crash22_a: debris of a knocked-out enemy
constexpr int SoundCursor = 17;       // chari05: a menu cursor moves; the drill is ready again
constexpr int SoundKey = 18;          // pi52: a key is collected
constexpr int SoundHeadBump = 19;     // wood07: the player's head hits a block
constexpr int SoundFileCount = 20;

// Music slots: MusicFiles[slot] (data/bgm/<name>.ogg) into MusicSlots.
constexpr int MusicTitle = 0;       // BGM016
constexpr int MusicStageKind1 = 1;  // BGM007: stages of StageKind 1
constexpr int MusicStageKind3 = 2;  // BGM022: stages of StageKind 3 or 5
constexpr int MusicStageOther = 3;  // BGM057: stages of every other kind
constexpr int MusicStageClear = 4;  // BGM041
constexpr int MusicBoss = 5;        // BGM059: both boss fights
constexpr int MusicEnding = 6;      // BGM091: both endings, on through the credits
constexpr int MusicGameOver = 7;    // BGM004
constexpr int MusicFileCount = 8;

// The load lists (paths relative to the working directory).
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
// True when the slot's picture is at least w x h and fully opaque, so that
// drawing it there hides everything under it.
bool SpriteCovers(int slot, int w, int h);
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
