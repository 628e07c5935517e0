// Placeholder until the backend lands.
#include <chrono>
#include <cstring>
#include <thread>
#include "engine/platform/platform.h"

int PlatformInit() { return 0; }
void PlatformShutdown() {}
uint32_t PlatformTickMs() {
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
uint64_t PlatformCounter() {
    using namespace std::chrono;
    return (uint64_t)duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}
uint64_t PlatformCounterFrequency() { return 1000000000ull; }
uint64_t PlatformCycleCounter() { return 0; }
void PlatformSleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
int PlatformTimerMinPeriod() { return 1; }
void PlatformGetSystemInfo(PlatformSystemInfo* info) { std::memset(info, 0, sizeof *info); }
void PlatformGetDesktop(int* w, int* h, int* bits) { *w = 1024; *h = 768; *bits = 32; }
int PlatformAcquireInstanceLock(const char*) { return 0; }
void PlatformReleaseInstanceLock() {}
void PlatformGetWindowFrame(PlatformFrame* f) { std::memset(f, 0, sizeof *f); }
int PlatformCreateWindow(const char*, int, int, int, int, int, int) { return -1; }
void PlatformDestroyWindow() {}
int PlatformHasWindow() { return 0; }
void PlatformSetWindowCaption(const char*) {}
void PlatformSetWindowIcon(int) {}
void PlatformMoveWindow(int, int, int, int) {}
void PlatformShowWindow() {}
void PlatformSetScreenSaverEnabled(int) {}
void PlatformSetCursorVisible(int) {}
int PlatformPollEvent(PlatformEvent*) { return 0; }
int PlatformPresent(const uint16_t*, int, int, int, PlatformPixelFormat) { return -1; }
int PlatformRefreshRate() { return 60; }
void PlatformWaitVerticalBlank() {}
void PlatformGetKeyboardState(uint8_t state[256]) { std::memset(state, 0, 256); }
int PlatformJoystickCount() { return 0; }
int PlatformJoystickGetInfo(int, PlatformJoystickInfo*) { return -1; }
int PlatformJoystickRead(int, PlatformJoystickState*) { return -1; }
