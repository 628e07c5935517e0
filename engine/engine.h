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
int SetWindowScale(double x, double y);
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

// One line in the engine's log (Log.txt), for the game's own failures
// (a stage or save file that cannot be read or written). UTF-8 text,
// without the line break. 0, or -1 for an empty text.
int WriteLogLine(const char* text);

// ------------------------------------------------------------------ time
// Milliseconds since system start with bit 31 cleared. The argument is
// ignored (the game passes one).
int GetTickMs(int unused = 0);

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
// code: keyboard scan code 0 ... 255 (1 Escape, 28 Enter, 44 Z, 45 X,
// 200 Up, 203 Left, 205 Right, 208 Down).
int IsKeyDown(int code);
int ReadKeyboard(char* buffer256);
// Bit 0 down, 1 left, 2 right, 3 up, bits 4 ... 27 pad buttons 0 ... 23.
int ReadPadState(int inputType);
