// Headless backend: virtual clock, desktop, window, events and display.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/platform/common/linux_system.h"
#include "engine/platform/headless/headless.h"
#include "engine/platform/platform.h"

// The keyboard and joysticks live in headless_input.cpp.
void HeadlessResetInput();

namespace {

// Each busy-poll read of a clock moves time on by this much.
constexpr uint64_t PollQuantumUs = 1;
constexpr int EventCapacity = 64;

std::atomic<uint64_t> g_Us{(uint64_t)HeadlessStartTickMs * 1000u};

struct Desktop {
    int width = 1024, height = 768, bits = 32;
    int refresh = 60;
    PlatformFrame frame = {0, 0, 0, 0};
};
Desktop g_Desktop;

struct Window {
    int exists = 0;
    char caption[256] = {};
    int iconId = 0;
    int x = 0, y = 0, w = 0, h = 0;
    int visible = 0;
    int created = 0;
    int failNext = 0;
    int active = 1;
    int screenSaver = 1;
    int cursor = 1;
    int fullscreen = 0;
    int vsync = 1;
};
Window g_Win;

struct EventQueue {
    PlatformEventType items[EventCapacity];
    int head = 0, count = 0;
};
EventQueue g_Events;

struct Frame {
    std::vector<uint16_t> pixels;
    int w = 0, h = 0, format = 0;
    int presents = 0;
};
Frame g_Frame;

struct InstanceLock {
    int held = 0;
    int otherRunning = 0;
    int real = 0;
};
InstanceLock g_Lock;

void PushEvent(PlatformEventType type) {
    if (g_Events.count >= EventCapacity) return;  // a full queue drops new events
    g_Events.items[(g_Events.head + g_Events.count) % EventCapacity] = type;
    ++g_Events.count;
}

void ClearEvents() { g_Events.head = g_Events.count = 0; }

uint64_t Poll() { return g_Us.fetch_add(PollQuantumUs, std::memory_order_relaxed) + PollQuantumUs; }

void CopyCaption(const char* caption) {
    std::snprintf(g_Win.caption, sizeof g_Win.caption, "%s", caption ? caption : "");
}

}  // namespace

// ---------------------------------------------------------------- controls

void HeadlessReset() {
    g_Us.store((uint64_t)HeadlessStartTickMs * 1000u);
    g_Desktop = Desktop{};
    g_Win = Window{};
    ClearEvents();
    g_Frame.w = g_Frame.h = g_Frame.format = 0;
    g_Frame.presents = 0;
    if (g_Lock.held && g_Lock.real) LinuxReleaseInstanceLock();
    g_Lock = InstanceLock{};
    HeadlessResetInput();
}

void HeadlessSetTickMs(uint32_t ms) { g_Us.store((uint64_t)ms * 1000u); }
uint64_t HeadlessMicroseconds() { return g_Us.load(std::memory_order_relaxed); }
void HeadlessAdvanceMicroseconds(uint64_t us) { g_Us.fetch_add(us); }

void HeadlessSetDesktop(int width, int height, int colourBits) {
    g_Desktop.width = width;
    g_Desktop.height = height;
    g_Desktop.bits = colourBits;
}
void HeadlessSetRefreshRate(int hz) { g_Desktop.refresh = hz < 0 ? 0 : hz; }
void HeadlessSetWindowFrame(int left, int top, int right, int bottom) {
    g_Desktop.frame = PlatformFrame{left, top, right, bottom};
}

void HeadlessSetActive(int active) {
    active = active ? 1 : 0;
    if (active == g_Win.active) return;
    g_Win.active = active;
    PushEvent(active ? PlatformEventActivate : PlatformEventDeactivate);
}
void HeadlessRequestClose() {
    if (g_Win.exists) PushEvent(PlatformEventClose);
}
void HeadlessRequestQuit() { PushEvent(PlatformEventQuit); }
void HeadlessPressFullscreenKey() {
    if (g_Win.exists) PushEvent(PlatformEventToggleFullscreen);
}
void HeadlessResizeWindow(int clientWidth, int clientHeight) {
    if (!g_Win.exists || clientWidth <= 0 || clientHeight <= 0) return;
    g_Win.w = clientWidth;
    g_Win.h = clientHeight;
    PushEvent(PlatformEventResized);
}
void HeadlessFailNextWindowCreation(int fail) { g_Win.failNext = fail ? 1 : 0; }

void HeadlessGetWindow(HeadlessWindowInfo* info) {
    if (!info) return;
    std::memset(info, 0, sizeof *info);
    info->exists = g_Win.exists;
    std::memcpy(info->caption, g_Win.caption, sizeof info->caption);
    info->iconId = g_Win.iconId;
    info->x = g_Win.x;
    info->y = g_Win.y;
    info->clientWidth = g_Win.w;
    info->clientHeight = g_Win.h;
    info->visible = g_Win.visible;
    info->created = g_Win.created;
    info->screenSaverEnabled = g_Win.screenSaver;
    info->cursorVisible = g_Win.cursor;
    info->fullscreen = g_Win.fullscreen;
}
int HeadlessPendingEvents() { return g_Events.count; }

const uint16_t* HeadlessLastFrame(int* w, int* h, int* pitch, int* format) {
    if (w) *w = g_Frame.w;
    if (h) *h = g_Frame.h;
    if (pitch) *pitch = g_Frame.w;
    if (format) *format = g_Frame.format;
    if (g_Frame.w <= 0 || g_Frame.h <= 0) return nullptr;
    return g_Frame.pixels.data();
}
int HeadlessPresentCount() { return g_Frame.presents; }

void HeadlessSimulateOtherInstance(int running) { g_Lock.otherRunning = running ? 1 : 0; }
void HeadlessUseRealInstanceLock(int real) { g_Lock.real = real ? 1 : 0; }

// ---------------------------------------------------------------- lifetime

int PlatformInit() { return 0; }

void PlatformShutdown() {
    PlatformDestroyWindow();
    ClearEvents();
    PlatformReleaseInstanceLock();
}

// ------------------------------------------------------------------ clocks

uint32_t PlatformTickMs() { return (uint32_t)(Poll() / 1000u); }
uint64_t PlatformCounter() { return Poll(); }
uint64_t PlatformCounterFrequency() { return 1000000u; }
uint64_t PlatformCycleCounter() { return Poll() * (uint64_t)HeadlessCyclesPerMicrosecond; }

void PlatformSleepMs(int ms) {
    // Sleep(0) only yields; it still lets a poll's worth of time pass.
    if (ms <= 0) {
        Poll();
        return;
    }
    g_Us.fetch_add((uint64_t)ms * 1000u);
}

void PlatformSleepUntilTickMs(uint32_t tick31, int maxAheadMs) {
    // Read without a poll step: the next read is the one that lands on the
    // tick, exactly where a poll-by-poll wait would have ended.
    uint64_t now = g_Us.load();
    uint64_t ms = now / 1000u;
    uint32_t ahead = (tick31 - (uint32_t)(ms & 0x7FFFFFFFu)) & 0x7FFFFFFFu;
    if (ahead == 0 || maxAheadMs < 0 || ahead > (uint32_t)maxAheadMs) return;
    uint64_t at = (ms + ahead) * 1000u - 1u;
    if (at > now) g_Us.store(at);
}

int PlatformTimerMinPeriod() { return 1; }

// ---------------------------------------------------------- system facts

void PlatformGetSystemInfo(PlatformSystemInfo* info) { LinuxGetSystemInfo(info); }

void PlatformGetDesktop(int* width, int* height, int* colourBits) {
    if (width) *width = g_Desktop.width;
    if (height) *height = g_Desktop.height;
    if (colourBits) *colourBits = g_Desktop.bits;
}

// ------------------------------------------------------- single instance

int PlatformAcquireInstanceLock(const char* className) {
    if (g_Lock.held) return 0;
    if (g_Lock.otherRunning) return -1;
    if (g_Lock.real && LinuxAcquireInstanceLock(className) != 0) return -1;
    g_Lock.held = 1;
    return 0;
}

void PlatformReleaseInstanceLock() {
    if (!g_Lock.held) return;
    if (g_Lock.real) LinuxReleaseInstanceLock();
    g_Lock.held = 0;
}

// ------------------------------------------------------------------ window

void PlatformGetWindowFrame(PlatformFrame* frame) {
    if (frame) *frame = g_Desktop.frame;
}

int PlatformCreateWindow(const char* caption, int iconId, int x, int y, int clientWidth,
                         int clientHeight, int visible) {
    if (g_Win.failNext) {
        g_Win.failNext = 0;
        return -1;
    }
    if (clientWidth <= 0 || clientHeight <= 0) return -1;
    ClearEvents();  // nothing left over from an earlier window
    g_Win.exists = 1;
    CopyCaption(caption);
    g_Win.iconId = iconId;
    g_Win.x = x;
    g_Win.y = y;
    g_Win.w = clientWidth;
    g_Win.h = clientHeight;
    g_Win.visible = visible ? 1 : 0;
    g_Win.active = 1;
    g_Win.fullscreen = 0;
    g_Win.vsync = 1;
    ++g_Win.created;
    return 0;
}

void PlatformDestroyWindow() {
    if (!g_Win.exists) return;
    // The program asked for it, so no Destroyed event follows.
    g_Win.exists = 0;
    g_Win.visible = 0;
    g_Win.fullscreen = 0;
}

int PlatformHasWindow() { return g_Win.exists; }

void PlatformSetWindowCaption(const char* caption) {
    if (g_Win.exists) CopyCaption(caption);
}
void PlatformSetWindowIcon(int iconId) {
    if (g_Win.exists) g_Win.iconId = iconId;
}
void PlatformMoveWindow(int x, int y, int clientWidth, int clientHeight) {
    if (!g_Win.exists) return;
    g_Win.x = x;
    g_Win.y = y;
    if (clientWidth > 0) g_Win.w = clientWidth;
    if (clientHeight > 0) g_Win.h = clientHeight;
}
void PlatformShowWindow() {
    if (g_Win.exists) g_Win.visible = 1;
}
void PlatformSetScreenSaverEnabled(int enabled) { g_Win.screenSaver = enabled ? 1 : 0; }
void PlatformSetCursorVisible(int visible) { g_Win.cursor = visible ? 1 : 0; }
void PlatformSetFullscreen(int on) {
    if (g_Win.exists) g_Win.fullscreen = on ? 1 : 0;
}
int PlatformGetClientSize(int* width, int* height) {
    if (!g_Win.exists) return -1;
    // Full screen covers the desktop; the windowed size is kept for later.
    if (width) *width = g_Win.fullscreen ? g_Desktop.width : g_Win.w;
    if (height) *height = g_Win.fullscreen ? g_Desktop.height : g_Win.h;
    return 0;
}
// Nothing here can lose its display.
void PlatformSetDisplayLostHandler(void (*)()) {}

int PlatformPollEvent(PlatformEvent* event) {
    if (g_Events.count == 0) return 0;
    PlatformEventType type = g_Events.items[g_Events.head];
    g_Events.head = (g_Events.head + 1) % EventCapacity;
    --g_Events.count;
    if (event) event->type = type;
    return 1;
}

// ----------------------------------------------------------------- display

int PlatformPresent(const uint16_t* pixels, int w, int h, int pitch, PlatformPixelFormat format) {
    if (!g_Win.exists || !pixels || w <= 0 || h <= 0 || pitch < w) return -1;
    if (w > 16384 || h > 16384) return -1;
    if (format != PlatformPixelR5G6B5 && format != PlatformPixelX1R5G5B5) return -1;
    size_t need = (size_t)w * (size_t)h;
    if (g_Frame.pixels.size() < need) g_Frame.pixels.resize(need);
    for (int row = 0; row < h; ++row)
        std::memcpy(g_Frame.pixels.data() + (size_t)row * w, pixels + (size_t)row * pitch,
                    (size_t)w * sizeof(uint16_t));
    g_Frame.w = w;
    g_Frame.h = h;
    g_Frame.format = format;
    ++g_Frame.presents;
    return 0;
}

int PlatformRefreshRate() { return g_Desktop.refresh; }

namespace {
// Blanks lie on a fixed grid of the virtual clock: boundary k is at
// ceil(k * 1000000 / rate) microseconds. Waits for the first one after now.
void WaitGrid(uint64_t rate) {
    uint64_t now = g_Us.load();
    uint64_t k = now * rate / 1000000u;
    uint64_t at = (k * 1000000u + rate - 1) / rate;
    while (at <= now) {
        ++k;
        at = (k * 1000000u + rate - 1) / rate;
    }
    g_Us.store(at);
}
}  // namespace

// The virtual clock keeps the start-up's course its recorded runs were made
// with: the period is measured and the speed probe runs its full length.
long long PlatformKnownFramePeriodUs() { return 0; }
int PlatformSpeedProbeMs() { return 100; }

void PlatformWaitVerticalBlank() { WaitGrid(g_Desktop.refresh > 0 ? (uint64_t)g_Desktop.refresh : 60u); }

void PlatformWaitPacedBlank(int hz) { WaitGrid(hz > 0 ? (uint64_t)hz : 60u); }

void PlatformSetPresentVSync(int on) { g_Win.vsync = on ? 1 : 0; }

int HeadlessPresentVSync() { return g_Win.vsync; }
