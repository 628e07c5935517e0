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

// Directory the file layer was started in (the log directory).
const char* EngineBaseDirectory();
