// The one interface between the engine and the machine it runs on.
//
// Two backends implement it and a program links exactly one of them:
//   engine/platform/sdl       a real window, SDL2 audio and joysticks
//   engine/platform/headless  virtual clock, display, audio device and input
// Code shared by both (the software mixer, the glyph rasteriser) lives in
// engine/platform/common and is linked into both.
//
// Nothing above this header includes SDL. All functions are called from the
// engine's main thread unless a comment says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/platform/audio.h"
#include "engine/platform/glyph.h"

// ---------------------------------------------------------------- lifetime

// Brings the backend up (video subsystem, clocks). 0 on success, -1 on failure.
int PlatformInit();
// Releases everything the backend holds. Safe to call more than once.
void PlatformShutdown();

// ------------------------------------------------------------------ clocks

// Milliseconds since system start (wraps at 2^32; the engine clears bit 31).
uint32_t PlatformTickMs();
// A fine counter and its frequency in counts per second.
uint64_t PlatformCounter();
uint64_t PlatformCounterFrequency();
// The processor's cycle counter (rdtsc where there is one, else 0).
uint64_t PlatformCycleCounter();
// Sleeps at least ms milliseconds; 0 only yields.
void PlatformSleepMs(int ms);
// Sleeps until the millisecond counter with bit 31 cleared reaches tick31,
// so that the next PlatformTickMs read gives it or later; returns at once
// when it is there already or when tick31 lies more than maxAheadMs ahead
// (behind it, across the wrap). Sleeps without spinning.
void PlatformSleepUntilTickMs(uint32_t tick31, int maxAheadMs);
// The timer's minimum period in milliseconds (1 on Linux).
int PlatformTimerMinPeriod();

// ---------------------------------------------------------- system facts

struct PlatformSystemInfo {
    char osName[64];       // "Linux"
    char osVersion[128];   // kernel release and version
    int hasCpuid;
    int hasMmx, hasSse, hasSse2;
    char cpuVendor[16];    // "GenuineIntel", "AuthenticAMD", ...
    char cpuName[64];      // brand string
    uint64_t totalPhysicalBytes;
    uint64_t freePhysicalBytes;
};
void PlatformGetSystemInfo(PlatformSystemInfo* info);

// Desktop size and colour depth in bits per pixel.
void PlatformGetDesktop(int* width, int* height, int* colourBits);

// ------------------------------------------------------- single instance

// Takes a lock named after the window class for the life of the process.
// 0 when taken, -1 when another process holds it.
int PlatformAcquireInstanceLock(const char* className);
void PlatformReleaseInstanceLock();

// ------------------------------------------------------------------ window

// Frame widths that the window system adds around a client area.
struct PlatformFrame {
    int left, top, right, bottom;
};
void PlatformGetWindowFrame(PlatformFrame* frame);

// Creates the one main window with its client area at (x, y) in desktop
// coordinates. 0 on success, -1 on failure.
int PlatformCreateWindow(const char* caption, int iconId, int x, int y,
                         int clientWidth, int clientHeight, int visible);
void PlatformDestroyWindow();
int PlatformHasWindow();
void PlatformSetWindowCaption(const char* caption);
void PlatformSetWindowIcon(int iconId);
void PlatformMoveWindow(int x, int y, int clientWidth, int clientHeight);
void PlatformShowWindow();
void PlatformSetScreenSaverEnabled(int enabled);
void PlatformSetCursorVisible(int visible);
// Desktop full screen (the window covers its display) or back to a window.
void PlatformSetFullscreen(int on);
// The client area's size in window coordinates (not drawable pixels).
// 0 on success, -1 without a window.
int PlatformGetClientSize(int* width, int* height);
// Called when the connection to the display is lost for good, instead of
// letting the window system end the process; the handler does not return.
void PlatformSetDisplayLostHandler(void (*handler)());

enum PlatformEventType {
    PlatformEventNone = 0,
    PlatformEventClose,      // close box, Alt+F4, window manager request
    PlatformEventDestroyed,  // the window went away by itself (never after
                             // PlatformDestroyWindow, which the program asked for)
    PlatformEventActivate,   // focus gained or restored from minimised
    PlatformEventDeactivate, // focus lost or minimised
    PlatformEventPaint,      // the client area needs drawing again
    PlatformEventQuit,       // the platform asks the program to end
    PlatformEventToggleFullscreen,  // the player pressed F11 or Alt+Enter
    PlatformEventResized,    // the player changed the window's size
};
struct PlatformEvent {
    PlatformEventType type;
};
// Takes the next pending window event. 1 when one was taken, 0 when none.
// Key and joystick events are consumed by the backend itself and show only
// through PlatformGetKeyboardState and PlatformJoystickRead.
int PlatformPollEvent(PlatformEvent* event);

// ----------------------------------------------------------------- display

enum PlatformPixelFormat : int {  // any int may arrive; unknown ones are refused
    PlatformPixelR5G6B5 = 0,
    PlatformPixelX1R5G5B5 = 1,
};
// Shows a w x h 16-bit frame at the largest whole multiple that fits the
// client area (nearest neighbour, in drawable pixels), centred on black.
// pitch is in pixels. 0 on success, -1 on failure.
int PlatformPresent(const uint16_t* pixels, int w, int h, int pitch,
                    PlatformPixelFormat format);
// Refresh rate of the display in Hz; 0 when unknown.
int PlatformRefreshRate();
// Blocks until the start of the next vertical blank, real or paced.
void PlatformWaitVerticalBlank();
// The display's frame period in microseconds when the backend knows it
// without watching blanks go by, else 0 (the engine then measures it).
long long PlatformKnownFramePeriodUs();
// How many milliseconds the start-up's processor-speed probe may spin.
int PlatformSpeedProbeMs();
// Blocks until the next boundary of an hz grid on the platform's own clock,
// as a display of that rate would, whatever the real display does.
void PlatformWaitPacedBlank(int hz);
// Whether presents wait for the display's own blank (where the display
// offers it). 1 at window creation.
void PlatformSetPresentVSync(int on);

// ---------------------------------------------------------------- keyboard

// Fills 256 bytes indexed by Windows virtual-key code; bit 7 set while the
// key is down. Physical keys map to the codes of the keys at the same place
// on a Japanese layout. Both Enter keys report VK_RETURN (0x0D).
// Each call is one input sample: a key or pad button that went down since
// the previous call reads as down in this sample even if it has come up
// again, so a tap shorter than a frame is seen exactly once. Pad reads
// until the next call report the pad buttons of the same sample.
void PlatformGetKeyboardState(uint8_t state[256]);

// --------------------------------------------------------------- joysticks

enum { PlatformMaxJoysticks = 16, PlatformMaxJoyButtons = 32 };

struct PlatformJoystickInfo {
    char name[128];
    int axes;     // number of axes reported
    int buttons;  // number of buttons reported (may exceed 24)
    int hats;
};
struct PlatformJoystickState {
    // Raw axes in -32768 ... 32767, 0 at rest: x, y, z, rx, ry, rz.
    int32_t axis[6];
    // Hat direction in hundredths of a degree clockwise from up, -1 centred.
    int32_t hat;
    uint8_t button[PlatformMaxJoyButtons];  // 1 while down
};
// Number of attached joysticks, in the order they were plugged in.
int PlatformJoystickCount();
// Goes up by one whenever a joystick is plugged in or pulled out; the
// indices of the others may then have moved.
int PlatformJoystickChangeCount();
// Adds game-controller layouts from a mapping file (SDL's text format);
// pads already open take them at once. Number added, -1 when unreadable.
int PlatformAddControllerMappings(const char* path);
int PlatformJoystickGetInfo(int index, PlatformJoystickInfo* info);
// Reads the current state. 0 on success, -1 when the index is not attached.
int PlatformJoystickRead(int index, PlatformJoystickState* state);
