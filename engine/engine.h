// The engine facade: every operation the game may call. The game includes
// this header and nothing else from engine/.
//
// All operations return int: 0 or a handle on success, -1 on failure.
// Settings made before EngineInit are stored and applied at start-up.
#pragma once

// ------------------------------------------------- lifecycle and window
int SetWindowCaption(const char* text);
int SetWindowIconId(int id);
int ChangeWindowMode(int windowed);
// The window's client area as a multiple of the screen, across and down;
// y <= 0 means the same as x, and a scale that is still <= 0 counts as 1.
int SetWindowScale(double x, double y);
// The engine modules EngineInit starts after the file layer, the log and
// the window, in this order: input, sound, graphics (text and images need
// graphics). Name the ones the program uses before EngineInit; every one
// starts when none are named. -1 for an unknown bit or while running.
enum { EngineModuleInput = 1, EngineModuleSound = 2, EngineModuleGraphics = 4, EngineModulesAll = 7 };
int SetEngineModules(int modules);
int EngineInit();
int EngineEnd();
// 0 while the program should go on, -1 once it is to quit.
int ProcessWindowMessages();

// The player's own folders: "<base>/quellbore" under $XDG_DATA_HOME (saves),
// $XDG_STATE_HOME (the log) or $XDG_CONFIG_HOME (settings), each defaulting
// below $HOME as the XDG rules say; created when missing. Writes the path
// with its terminating zero to out; 0 on success, -1 when there is no home,
// the folder cannot be made or size is too small.
enum { UserFolderData = 0, UserFolderState = 1, UserFolderConfig = 2 };
int GetUserFolder(int which, char* out, int size);

// ------------------------------------------------ where files are found
// The folder the game's relative names "data/..." and "./data/..." stand
// for, from now on (file layer and ResolveDataPath); null or "" for the
// working directory's data/, the start value. -1 when it is too long.
int SetDataFolder(const char* folder);
// Writes the path a game name stands for under the data folder to out
// (the name itself when it is not under "data/"). 0, or -1 when it does
// not fit.
int ResolveDataPath(const char* path, char* out, int size);
// 1 when the file layer can open the name for reading (archives
// included), else 0.
int CanOpenFile(const char* path);
// Where EngineInit writes Log.txt: null for the working directory (the
// start value), "" for no log file at all.
int SetLogFolder(const char* folder);
// Why the last EngineInit failed, in plain English; "" when it did not.
const char* GetStartFailureText();
// One line in the engine's log (Log.txt), for the game's own failures
// (a stage or save file that cannot be read or written). UTF-8 text,
// without the line break. 0, or -1 for an empty text.
int WriteLogLine(const char* text);

// ------------------------------------------------------------------ time
// Milliseconds since system start with bit 31 cleared. The argument is
// ignored (the game passes one).
int GetTickMs(int unused = 0);
// Sleeps until GetTickMs reaches tick (31-bit, across the wrap); returns at
// once when it has, or when tick lies more than a second ahead. Returns 0.
int SleepUntilTick(int tick);

// --------------------------------------------------------------- screen
enum { BackScreen = -2, FrontScreen = -4 };
int SetScreenMode(int width, int height, int colourBits, int refreshRate);
int SetDrawTarget(int target);
int SetDrawClip(int x1, int y1, int x2, int y2);
int SetWaitVSync(int flag);
int ClearScreen();
int PresentFrame();
// Colour as a pixel value of the screen's format (R5G6B5 on 16 bits).
int PackColor(int r, int g, int b);

// --------------------------------------------------------------- images
int LoadImageFile(const char* path, int noTexture = 0);
int SetTransparentColor(int r, int g, int b);
int DrawImageRect(int x, int y, int srcX, int srcY, int width, int height,
                  int image, int transparent, int mirror);
// 1 when the image is at least width x height pixels and every pixel of it
// is drawn (none keyed out, no alpha of its own): drawing it over that area
// hides whatever was there. 0 otherwise, or for an invalid handle.
int IsImageOpaqueOver(int image, int width, int height);

// ----------------------------------------------------------------- text
int SetTextFace(const char* name, int charSet);
int SetTextSize(int size);
int SetTextThickness(int thickness);
int SetTextStyle(int style);
// text is Shift-JIS; (x, y) is the top-left corner of the line.
int DrawTextString(int x, int y, const char* text, int colour, int edgeColour);
// The engine's Shift-JIS form of a UTF-8 text, converted on the first call
// and kept for the whole run (call it once at start-up, not per frame).
// Characters without a Shift-JIS form become '?'; "" when the pool is full.
const char* ShiftJisText(const char* utf8);

// ---------------------------------------------------------------- sound
int LoadSoundFile(const char* path, int bufferCount, int unionHandle);
// playType: 0 wait until it ends, 1 in the background, 3 looped.
int PlaySoundHandle(int handle, int playType, int fromStart);
int StopSoundHandle(int handle);
int IsSoundPlaying(int handle);

// ---------------------------------------------------------------- input
// code: keyboard scan code 0 ... 255.
enum {
    KeyEscape = 1, KeyEnter = 28, KeyZ = 44, KeyX = 45,
    KeyUp = 200, KeyLeft = 203, KeyRight = 205, KeyDown = 208,
};
int IsKeyDown(int code);
int ReadKeyboard(char* buffer256);
// Bit 0 down, 1 left, 2 right, 3 up, bits 4 ... 27 pad buttons 0 ... 23.
int ReadPadState(int inputType);

// ------------------------------------------- player settings (desktop)
// The window's client size in pixels of the desktop as the player left it
// (the windowed size, also while full screen) and the mode: 1 windowed,
// 0 full screen. -1 before the first window.
int GetWindowClientSize(int* width, int* height);
int GetWindowMode();
// A file of extra controller layouts (SDL's mapping text) read when input
// starts, or at once when it runs already.
int SetControllerMappingFile(const char* path);
// Playback volume of a sound and its copies, 0 ... 100 percent (100 is
// the sound as recorded).
int SetSoundVolume(int handle, int percent);
// ------------------------------------------------------------ input tap
// A movie's view of what the game reads. While a tap is set, every value
// that GetTickMs, IsKeyDown, ReadKeyboard and ReadPadState return passes
// through it with the live value: a recording keeps it, a replay gives its
// own instead. sleep decides whether SleepUntilTick waits on the live clock
// (1) or returns at once (0). Every pointer must be set.
struct InputTap {
    int (*tick)(int live);
    int (*key)(int code, int live);
    int (*keyboard)(char* buffer256, int live);
    int (*pad)(int inputType, int live);
    int (*sleep)(int tick);
};
// null removes the tap. Returns 0.
int SetInputTap(const InputTap* tap);
