// Controls of the headless backend, for the runner and the tests.
// Only programs that link the headless backend may include this.
//
// The headless backend has no display and no devices. Its clock is virtual
// and advances only while the program waits: PlatformSleepMs by the time
// slept, PlatformWaitVerticalBlank to the next refresh boundary, and every
// PlatformTickMs / PlatformCounter / PlatformCycleCounter read by one
// microsecond, so a busy wait ends after a fixed number of polls. Runs are
// therefore deterministic and as fast as the processor allows.
#pragma once

#include <cstdint>

// Puts every control back to its start value: clock, desktop, window,
// events, presents, keyboard, joysticks, instance lock.
void HeadlessReset();

// ------------------------------------------------------------------ clock
// Virtual clock: milliseconds since "boot". Starts at HeadlessStartTickMs.
enum { HeadlessStartTickMs = 1000000 };
void HeadlessSetTickMs(uint32_t ms);
uint64_t HeadlessMicroseconds();
// Moves the clock forward without any call of the program waiting.
void HeadlessAdvanceMicroseconds(uint64_t us);
// Virtual processor cycles per microsecond (the cycle counter's rate).
enum { HeadlessCyclesPerMicrosecond = 2000 };

// ---------------------------------------------------------------- display
// Desktop size and colour depth (start: 1024 x 768 x 32).
void HeadlessSetDesktop(int width, int height, int colourBits);
// Refresh rate that PlatformRefreshRate reports (start: 60; 0 = unknown,
// in which case the vertical blanks still come at 60 Hz).
void HeadlessSetRefreshRate(int hz);
// What the engine last asked of PlatformSetPresentVSync (1 at start).
int HeadlessPresentVSync();
// Frame widths added around the client area (start: all 0).
void HeadlessSetWindowFrame(int left, int top, int right, int bottom);

// ------------------------------------------------------------------ input
// Virtual-key codes (Windows numbering) held down.
void HeadlessSetKey(int virtualKey, int down);
// A key pressed and released again before the next keyboard sample: that
// one sample reads it as down, the next one as up (unless it is held).
void HeadlessTapKey(int virtualKey);
void HeadlessClearKeys();
// Number of PlatformGetKeyboardState calls so far.
int HeadlessKeyboardReadCount();

// Joysticks, by index 0 ... 15. A pad made by HeadlessSetJoystickCount is
// named "Headless Pad <n>" with 6 axes, 32 buttons and one hat, centred.
// A change of the count after start-up is seen as pads plugged in or out.
void HeadlessSetJoystickCount(int count);
// Raw axis value -32768 ... 32767 (axes 0 ... 5: x, y, z, rx, ry, rz).
void HeadlessSetJoystickAxis(int pad, int axis, int value);
void HeadlessSetJoystickButton(int pad, int button, int down);
// A pad button pressed and released before the next keyboard sample.
void HeadlessTapJoystickButton(int pad, int button);
// Hundredths of a degree clockwise from up, -1 centred.
void HeadlessSetJoystickHat(int pad, int value);
// What PlatformJoystickGetInfo reports (the state keeps 32 buttons). Call
// after HeadlessSetJoystickCount: pads it adds start from the defaults.
void HeadlessSetJoystickShape(int pad, const char* name, int axes, int buttons, int hats);
// Makes reads of the pad fail (as after it was unplugged).
void HeadlessSetJoystickReadFails(int pad, int fail);
// Number of PlatformJoystickRead calls of the pad that succeeded.
int HeadlessJoystickReadCount(int pad);

// ----------------------------------------------------------------- window
// Focus changes and the close box arrive as events.
void HeadlessSetActive(int active);
void HeadlessRequestClose();
// The platform's own request to end (a signal, the session ending).
void HeadlessRequestQuit();
// The player presses F11 (or Alt+Enter).
void HeadlessPressFullscreenKey();
// The player drags the window to a new client size.
void HeadlessResizeWindow(int clientWidth, int clientHeight);
void HeadlessFailNextWindowCreation(int fail);

struct HeadlessWindowInfo {
    int exists;
    char caption[256];
    int iconId;
    int x, y, clientWidth, clientHeight;
    int visible;
    int created;  // number of successful PlatformCreateWindow calls
    int screenSaverEnabled;
    int cursorVisible;
    int fullscreen;
};
void HeadlessGetWindow(HeadlessWindowInfo* info);
// Events queued and not yet taken by PlatformPollEvent.
int HeadlessPendingEvents();

// The last presented frame, 16-bit, in the format it was presented in
// (pitch in pixels). Null before the first present.
const uint16_t* HeadlessLastFrame(int* w, int* h, int* pitch, int* format);
int HeadlessPresentCount();

// ---------------------------------------------------------- single instance
// By default the headless lock lives in the process only, so test programs
// may run side by side; "another copy runs" is simulated on request.
void HeadlessSimulateOtherInstance(int running);
// Uses the real lock file (as the SDL backend does) instead.
void HeadlessUseRealInstanceLock(int real);
