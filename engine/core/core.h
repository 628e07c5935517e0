// Engine-internal services of the core that every engine module uses:
// the log, the tracked allocator, the window state and the call lock.
// Not for the game: the game sees only engine/engine.h.
#pragma once

#include <cstddef>

// ------------------------------------------------------------------- log
// Appends text (UTF-8 in the source, written in the system's multibyte
// encoding). Returns -1 always, so a failure can be logged and returned
// in one step.
int LogWrite(const char* text);
// Formats into a 1024-byte buffer (longer output is cut), adds "\n".
int LogWriteFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogIndentUp();
void LogIndentDown();

// ----------------------------------------------------- tracked allocator
void* TrackedAlloc(size_t size, const char* file, int line);
void* TrackedAllocZeroed(size_t size, const char* file, int line);
void* TrackedRealloc(void* block, size_t size, const char* file, int line);
void TrackedFree(void* block);
#define EngineAlloc(size) TrackedAlloc((size), __FILE__, __LINE__)
#define EngineAllocZeroed(size) TrackedAllocZeroed((size), __FILE__, __LINE__)
#define EngineRealloc(block, size) TrackedRealloc((block), (size), __FILE__, __LINE__)
#define EngineFree(block) TrackedFree(block)

// ---------------------------------------------------------- window state
struct EngineWindowState {
    char caption[256];
    char className[256];
    int iconId;
    int windowed;
    int modeSet;
    double scaleX, scaleY;
    int hasWindow;
    int active;
    int quit;
    int destroyed;
    int closeRequested;
    int initialised;
    int starting;
    int ending;
    int clientLeft, clientTop, clientRight, clientBottom;
    int desktopWidth, desktopHeight, desktopBits;
};
extern EngineWindowState g_Window;

// Client size = screen size x scale, truncated.
int EngineClientWidth();
int EngineClientHeight();

// While the window is inactive, keeps pumping messages until it is active
// again or the program is to quit (drawing calls and input questions).
void WaitWhileInactive();

// Logs the message, shuts the engine down and ends the process with -1.
[[noreturn]] void EngineFatal(const char* message);

// Microsecond clock (counter based when start-up chose it).
long long EngineMicroseconds();

// The re-entrant engine call lock (EngineInit, EngineEnd, the pump).
void EngineCallLockEnter();
void EngineCallLockLeave();
// True while the calling thread holds the call lock (inside the pump).
bool EngineCallLockHeldByThisThread();

// Directory the file layer was started in (the log directory).
const char* EngineBaseDirectory();
// The file layer's name for a game name under "data/" once a data folder
// is set (written into buffer); the name itself otherwise; "" when the
// result does not fit.
const char* EngineMapDataPath(const char* path, char* buffer, size_t size);
// The log folder EngineInit uses: the one set, else the working directory.
const char* EngineLogFolder(const char* workingDirectory);
// Records the English reason of a failed start ("" clears it).
void EngineSetStartFailure(const char* text);

// ------------------------------------------------------ log (continued)
// Starts the log in the directory: "Log.txt" there is deleted and created
// empty, the indent and the mid-line state are reset and the log clock
// starts. Returns 0, or -1 when the file cannot be created (texts are then
// dropped). EngineInit calls it; tests may call it directly.
int LogStart(const char* directory);
// Chooses the codeset the log file is written in ("UTF-8", "CP932", ...).
// LogStart picks the locale's own; ASCII falls back to UTF-8. 0 on success,
// -1 when no conversion to it exists (the file is then written in UTF-8).
int LogSelectEncoding(const char* codeset);
// Full path of the current log file ("" before the log started).
const char* LogFilePath();

// ------------------------------------------- tracked allocator (continued)
// Bytes and blocks still allocated through the tracked allocator.
size_t TrackedTotalBytes();
int TrackedBlockCount();
// Writes "Alloc memory dump" with one line per live block to the log.
void LogMemoryReport();
// Walks the block list; logs and returns -1 at the first damaged header.
int TrackedCheckHeaders();
// Size whose allocations and releases are logged (0 by default).
void TrackedSetWatchSize(size_t size);
// Refuses (null, no report) every block larger than bytes; 0, the start
// value, lifts the limit. For fuzzing: a header that claims a huge picture
// then fails at once instead of filling memory.
void TrackedSetBlockLimit(size_t bytes);

// ---------------------------------------------------------- text bytes
// Code page the engine treats text in (932: Shift-JIS).
int EngineCodePage();
// A Shift-JIS lead byte (0x81 ... 0x9F, 0xE0 ... 0xFC) starts a two-byte
// character.
inline bool IsShiftJisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// ------------------------------------------------------------ timing
// Milliseconds from 'earlier' to 'later' on the 31-bit tick counter,
// correct across its wrap from 0x7FFFFFFF to 0.
inline int TickElapsed(int later, int earlier) {
    return (int)(((unsigned)later - (unsigned)earlier) & 0x7FFFFFFFu);
}
// The game's input tap, null when none is set.
struct InputTap;
const InputTap* EngineInputTap();
// 1 when start-up chose the fine counter for EngineMicroseconds.
int EngineUsesCounterClock();

// ---------------------------------------------------- window (continued)
// Pure window placement: the client area's top-left corner for a client
// of the given size, the framed window centred on the desktop and the
// client edge kept at 0 or more.
struct EngineWindowPlacement {
    int clientX, clientY;
};
struct PlatformFrame;
EngineWindowPlacement EnginePlaceWindow(int desktopWidth, int desktopHeight,
                                        const PlatformFrame& frame,
                                        int clientWidth, int clientHeight);
// Called once per pump pass while the window is inactive (test seam; null
// by default).
void EngineSetInactivePassHook(void (*hook)());
// Thread that ran EngineInit.
bool EngineOnMainThread();
