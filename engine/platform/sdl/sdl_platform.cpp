// SDL2 backend: lifetime, clocks, system facts, window, events, display.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include <iconv.h>
#include <sched.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include "engine/platform/common/linux_system.h"
#include "engine/platform/platform.h"
#include "engine/platform/sdl/sdl_internal.h"
#include "engine/platform/sdl/sdl_layout.h"

namespace {

constexpr Uint32 OwnSubsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
constexpr Uint32 PadSubsystems = SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER;
constexpr int PendingCapacity = 8;

struct Backend {
    int initialised = 0;
    int padsInitialised = 0;
    long long gridOriginNs = 0;  // origin of the paced refresh grid
};
Backend g_Sdl;

struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    Uint32 id = 0;
    int textureW = 0, textureH = 0;
    Uint32 textureFormat = 0;
    int vsync = 0;               // presents wait for the display's blank
    int vsyncCapable = 0;        // the renderer can wait for the blank
    int presentedSinceWait = 0;  // a present came after the last blank wait
    long long lastPresentNs = 0;
    int hasFocus = 1;  // a window that never hears about focus stays active
    int minimised = 0;
    int active = 1;
    int fullscreen = 0;
    int minimumSet = 0;  // the frame size is the window's smallest size
    PlatformFrame frame = {0, 0, 0, 0};
    // Frames drawn by hand into the window's own surface (no renderer):
    // where OpenGL is only a software rasteriser, as on a machine without a
    // graphics driver, that costs a fraction of drawing through it.
    int useSurface = 0;
    SDL_Surface* clearedSurface = nullptr;  // the surface whose borders are black
    int clearedW = 0, clearedH = 0;
    Uint32 lutSurfaceFormat = 0;            // the colour table below is for these
    int lutSourceFormat = -1;
    Uint32 lut[65536];                       // source pixel -> surface pixel
};
Window g_Win;

struct Pending {
    PlatformEventType items[PendingCapacity];
    int count = 0;
};
Pending g_Pending;

long long MonotonicNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void SleepUntilNs(long long when) {
    struct timespec ts;
    ts.tv_sec = (time_t)(when / 1000000000LL);
    ts.tv_nsec = (long)(when % 1000000000LL);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void PushPending(PlatformEventType type) {
    if (g_Pending.count < PendingCapacity) g_Pending.items[g_Pending.count++] = type;
}

int PopPending(PlatformEvent* event) {
    if (g_Pending.count == 0) return 0;
    PlatformEventType type = g_Pending.items[0];
    std::memmove(g_Pending.items, g_Pending.items + 1,
                 (size_t)(g_Pending.count - 1) * sizeof g_Pending.items[0]);
    --g_Pending.count;
    if (event) event->type = type;
    return 1;
}

bool ValidUtf8(const char* text) {
    const unsigned char* p = (const unsigned char*)text;
    while (*p) {
        int extra = *p < 0x80 ? 0 : (*p >> 5) == 6 ? 1 : (*p >> 4) == 14 ? 2 : (*p >> 3) == 30 ? 3 : -1;
        if (extra < 0) return false;
        ++p;
        for (int i = 0; i < extra; ++i, ++p)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return true;
}

// Window captions go to SDL as UTF-8; a caption in the engine's Shift-JIS
// is converted first.
void CaptionUtf8(const char* caption, char* out, size_t size) {
    if (!caption) caption = "";
    if (ValidUtf8(caption)) {
        std::snprintf(out, size, "%s", caption);
        return;
    }
    out[0] = 0;
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == (iconv_t)-1) return;
    char* in = const_cast<char*>(caption);
    size_t inLeft = std::strlen(caption);
    char* dst = out;
    size_t outLeft = size - 1;
    iconv(cd, &in, &inLeft, &dst, &outLeft);
    *dst = 0;
    iconv_close(cd);
}

void UpdateFrame() {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (g_Win.window && SDL_GetWindowBordersSize(g_Win.window, &top, &left, &bottom, &right) == 0)
        g_Win.frame = PlatformFrame{left, top, right, bottom};
}

// Active = focused and not minimised; reports the change, if any.
void UpdateActive() {
    int active = (g_Win.hasFocus && !g_Win.minimised) ? 1 : 0;
    if (active == g_Win.active) return;
    g_Win.active = active;
    if (!active) SdlInputReleaseAllKeys();
    PushPending(active ? PlatformEventActivate : PlatformEventDeactivate);
}

void ReleaseWindow() {
    if (g_Win.texture) SDL_DestroyTexture(g_Win.texture);
    if (g_Win.renderer) SDL_DestroyRenderer(g_Win.renderer);
    if (g_Win.window) SDL_DestroyWindow(g_Win.window);
    g_Win = Window{};
}

// True when the renderer draws through an OpenGL that rasterises on the
// processor (llvmpipe and its kin): every present then costs several
// threads' work for what a plain copy does.
bool IsSoftwareGl(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return false;
    if (std::strncmp(info.name, "opengl", 6) != 0) return false;
    if (!SDL_GL_GetCurrentContext()) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = (GetString)SDL_GL_GetProcAddress("glGetString");
    if (!getString) return false;
    const char* name = (const char*)getString(0x1F01);  // GL_RENDERER
    if (!name) return false;
    for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR"})
        if (std::strstr(name, soft)) return true;
    return false;
}

// The frame scaled by a whole multiple into the window's surface, centred;
// the borders are made black whenever the surface is new or resized.
int PresentToSurface(const uint16_t* pixels, int w, int h, int pitch, PlatformPixelFormat format) {
    SDL_Surface* surface = SDL_GetWindowSurface(g_Win.window);
    if (!surface || surface->w <= 0 || surface->h <= 0) return -1;
    const int bytes = surface->format->BytesPerPixel;
    if (bytes != 4 && bytes != 2) return -1;
    if (g_Win.lutSurfaceFormat != surface->format->format || g_Win.lutSourceFormat != (int)format) {
        for (int p = 0; p < 65536; ++p) {
            int r, g, b;
            if (format == PlatformPixelR5G6B5) {
                r = (p >> 11) & 31;
                g = (p >> 5) & 63;
                b = p & 31;
                g = (g << 2) | (g >> 4);
            } else {
                r = (p >> 10) & 31;
                g = (p >> 5) & 31;
                b = p & 31;
                g = (g << 3) | (g >> 2);
            }
            g_Win.lut[p] = SDL_MapRGB(surface->format, (Uint8)((r << 3) | (r >> 2)), (Uint8)g,
                                      (Uint8)((b << 3) | (b >> 2)));
        }
        g_Win.lutSurfaceFormat = surface->format->format;
        g_Win.lutSourceFormat = (int)format;
        g_Win.clearedSurface = nullptr;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return -1;
    bool cleared = false;
    if (g_Win.clearedSurface != surface || g_Win.clearedW != surface->w || g_Win.clearedH != surface->h) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        cleared = true;
        g_Win.clearedSurface = surface;
        g_Win.clearedW = surface->w;
        g_Win.clearedH = surface->h;
    }
    SdlPictureRect fit = SdlFitWhole(w, h, surface->w, surface->h);
    const int scale = fit.w / w;
    uint8_t* base = (uint8_t*)surface->pixels;
    for (int y = 0; y < h && scale > 0; ++y) {
        const uint16_t* src = pixels + (size_t)y * pitch;
        uint8_t* row = base + (size_t)(fit.y + y * scale) * surface->pitch + (size_t)fit.x * bytes;
        if (bytes == 4) {
            Uint32* out = (Uint32*)row;
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < scale; ++k) *out++ = g_Win.lut[src[x]];
        } else {
            Uint16* out = (Uint16*)row;
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < scale; ++k) *out++ = (Uint16)g_Win.lut[src[x]];
        }
        for (int k = 1; k < scale; ++k) std::memcpy(row + (size_t)k * surface->pitch, row, (size_t)fit.w * bytes);
    }
    // A window smaller than the picture: shrunk by nearest neighbour.
    for (int dy = 0; dy < fit.h && scale == 0; ++dy) {
        const uint16_t* src = pixels + (size_t)((long long)dy * h / fit.h) * pitch;
        uint8_t* row = base + (size_t)(fit.y + dy) * surface->pitch + (size_t)fit.x * bytes;
        for (int dx = 0; dx < fit.w; ++dx) {
            Uint32 c = g_Win.lut[src[(long long)dx * w / fit.w]];
            if (bytes == 4) ((Uint32*)row)[dx] = c; else ((Uint16*)row)[dx] = (Uint16)c;
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    // The whole surface after a clear, else only the picture.
    if (cleared) return SDL_UpdateWindowSurface(g_Win.window) == 0 ? 0 : -1;
    SDL_Rect area = {fit.x, fit.y, fit.w, fit.h};
    return SDL_UpdateWindowSurfaceRects(g_Win.window, &area, 1) == 0 ? 0 : -1;
}

}  // namespace

void SdlPushEvent(PlatformEventType type) { PushPending(type); }

// ---------------------------------------------------------------- lifetime

int PlatformInit() {
    if (g_Sdl.initialised) return 0;
    // The engine ends the program itself after a close request.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    if (SDL_InitSubSystem(OwnSubsystems) != 0) {
        std::fprintf(stderr, "SDL video could not start: %s\n", SDL_GetError());
        return -1;
    }
    // With no display answering, SDL falls back on its invisible offscreen
    // driver and the player would see nothing; only a request by name runs
    // without a screen.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "offscreen") == 0 && !SDL_getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(OwnSubsystems);
        return -1;
    }
    // Key presses are read as keys; no text input method.
    SDL_StopTextInput();
    if (driver && std::strcmp(driver, "x11") == 0) SdlWatchXConnection();
    g_Sdl.padsInitialised = SDL_InitSubSystem(PadSubsystems) == 0;
    if (g_Sdl.padsInitialised) SdlInputOpenJoysticks();
    g_Sdl.gridOriginNs = MonotonicNs();
    g_Pending.count = 0;
    g_Sdl.initialised = 1;
    return 0;
}

void PlatformShutdown() {
    if (!g_Sdl.initialised) return;
    ReleaseWindow();
    SdlInputCloseJoysticks();
    if (g_Sdl.padsInitialised) SDL_QuitSubSystem(PadSubsystems);
    SDL_QuitSubSystem(OwnSubsystems);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
    PlatformReleaseInstanceLock();
    g_Pending.count = 0;
    g_Sdl = Backend{};
}

// ------------------------------------------------------------------ clocks

uint32_t PlatformTickMs() { return (uint32_t)(MonotonicNs() / 1000000LL); }
uint64_t PlatformCounter() { return (uint64_t)MonotonicNs(); }
uint64_t PlatformCounterFrequency() { return 1000000000u; }

uint64_t PlatformCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return 0;
#endif
}

void PlatformSleepMs(int ms) {
    if (ms <= 0) {
        sched_yield();
        return;
    }
    SleepUntilNs(MonotonicNs() + (long long)ms * 1000000LL);
}

void PlatformSleepUntilTickMs(uint32_t tick31, int maxAheadMs) {
    long long now = MonotonicNs();
    long long ms = now / 1000000LL;
    uint32_t ahead = (tick31 - (uint32_t)(ms & 0x7FFFFFFF)) & 0x7FFFFFFFu;
    if (ahead == 0 || maxAheadMs < 0 || ahead > (uint32_t)maxAheadMs) return;
    // The absolute clock wakes at the tick itself, never before it.
    SleepUntilNs((ms + ahead) * 1000000LL);
}

int PlatformTimerMinPeriod() { return 1; }

// ---------------------------------------------------------- system facts

void PlatformGetSystemInfo(PlatformSystemInfo* info) { LinuxGetSystemInfo(info); }

void PlatformGetDesktop(int* width, int* height, int* colourBits) {
    int w = 1024, h = 768, bits = 32;
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        w = mode.w;
        h = mode.h;
        // Colour depth as storage per pixel: an X server of depth 24 keeps
        // 4 bytes a pixel, which is a 32-bit desktop, not packed 24-bit.
        int bytes = SDL_BYTESPERPIXEL(mode.format);
        bits = bytes >= 4 ? 32 : bytes == 3 ? 24 : bytes == 2 ? 16 : bytes == 1 ? 8 : 32;
    }
    if (width) *width = w;
    if (height) *height = h;
    if (colourBits) *colourBits = bits;
}

// ------------------------------------------------------- single instance

int PlatformAcquireInstanceLock(const char* className) { return LinuxAcquireInstanceLock(className); }
void PlatformReleaseInstanceLock() { LinuxReleaseInstanceLock(); }

// ------------------------------------------------------------------ window

void PlatformGetWindowFrame(PlatformFrame* frame) {
    UpdateFrame();
    if (frame) *frame = g_Win.frame;
}

int PlatformCreateWindow(const char* caption, int iconId, int x, int y, int clientWidth,
                         int clientHeight, int visible) {
    if (!g_Sdl.initialised || clientWidth <= 0 || clientHeight <= 0) return -1;
    if (g_Win.window) ReleaseWindow();
    char title[768];
    CaptionUtf8(caption, title, sizeof title);
    // The player may size it; the picture keeps whole multiples (Present).
    Uint32 flags = (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN) | SDL_WINDOW_RESIZABLE |
                   SDL_WINDOW_ALLOW_HIGHDPI;
    SDL_Window* window = SDL_CreateWindow(title, x, y, clientWidth, clientHeight, flags);
    if (!window) {
        std::fprintf(stderr, "SDL window could not be made: %s\n", SDL_GetError());
        return -1;
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) {
        std::fprintf(stderr, "SDL renderer could not be made: %s\n", SDL_GetError());
        SDL_DestroyWindow(window);
        return -1;
    }
    // A software OpenGL draws each frame on the processor's threads; the
    // window's own surface does the same job for a fraction of it. A
    // renderer the player named (SDL_RENDER_DRIVER) is kept.
    const bool surfaceOnly = !SDL_getenv("SDL_RENDER_DRIVER") && IsSoftwareGl(renderer);
    if (surfaceOnly) {
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
        // The surface itself must not be drawn through OpenGL either.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    g_Win = Window{};
    g_Win.window = window;
    g_Win.renderer = renderer;
    g_Win.useSurface = surfaceOnly ? 1 : 0;
    g_Win.id = SDL_GetWindowID(window);
    SDL_RendererInfo info;
    if (renderer && SDL_GetRendererInfo(renderer, &info) == 0) {
        // The software renderer claims nothing it can keep: it never waits.
        g_Win.vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) && info.name &&
                      std::strcmp(info.name, "software") != 0;
        g_Win.vsyncCapable = g_Win.vsync;
    }
    PlatformSetWindowIcon(iconId);
    if (renderer) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    g_Pending.count = 0;
    UpdateFrame();
    return 0;
}

void PlatformDestroyWindow() {
    if (!g_Win.window) return;
    // The program asked for it, so no Destroyed event follows.
    ReleaseWindow();
}

int PlatformHasWindow() { return g_Win.window ? 1 : 0; }

void PlatformSetWindowCaption(const char* caption) {
    if (!g_Win.window) return;
    char title[768];
    CaptionUtf8(caption, title, sizeof title);
    SDL_SetWindowTitle(g_Win.window, title);
}

void PlatformSetWindowIcon(int iconId) {
    if (!g_Win.window) return;
    SDL_Surface* icon = SdlCreateIconSurface(iconId);
    if (!icon) return;  // the window system's default icon stays
    SDL_SetWindowIcon(g_Win.window, icon);
    SDL_FreeSurface(icon);
}

void PlatformMoveWindow(int x, int y, int clientWidth, int clientHeight) {
    // Full screen keeps the window's own size and place for later.
    if (!g_Win.window || g_Win.fullscreen) return;
    if (clientWidth > 0 && clientHeight > 0) SDL_SetWindowSize(g_Win.window, clientWidth, clientHeight);
    SDL_SetWindowPosition(g_Win.window, x, y);
    UpdateFrame();
}

void PlatformShowWindow() {
    if (!g_Win.window) return;
    SDL_ShowWindow(g_Win.window);
    SDL_RaiseWindow(g_Win.window);
    UpdateFrame();
}

void PlatformSetScreenSaverEnabled(int enabled) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    if (enabled)
        SDL_EnableScreenSaver();
    else
        SDL_DisableScreenSaver();
}

void PlatformSetCursorVisible(int visible) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void PlatformSetFullscreen(int on) {
    if (!g_Win.window) return;
    on = on ? 1 : 0;
    if (on == g_Win.fullscreen) return;
    if (SDL_SetWindowFullscreen(g_Win.window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        std::fprintf(stderr, "The window could not %s full screen: %s\n", on ? "go" : "leave", SDL_GetError());
        return;
    }
    g_Win.fullscreen = on;
    UpdateFrame();
}

int PlatformGetClientSize(int* width, int* height) {
    if (!g_Win.window) return -1;
    int w = 0, h = 0;
    SDL_GetWindowSize(g_Win.window, &w, &h);
    if (width) *width = w;
    if (height) *height = h;
    return 0;
}

int PlatformPollEvent(PlatformEvent* event) {
    if (PopPending(event)) return 1;
    if (!g_Sdl.initialised) return 0;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (SdlInputHandleEvent(e)) {
            if (PopPending(event)) return 1;  // a key the window acts on
            continue;
        }
        if (e.type == SDL_QUIT) {
            if (event) event->type = PlatformEventQuit;
            return 1;
        }
        if (e.type != SDL_WINDOWEVENT || !g_Win.window || e.window.windowID != g_Win.id) continue;
        switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                PushPending(PlatformEventClose);
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                g_Win.hasFocus = 1;
                UpdateActive();
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                g_Win.hasFocus = 0;
                UpdateActive();
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                g_Win.minimised = 1;
                UpdateActive();
                break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
                g_Win.minimised = 0;
                UpdateActive();
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                g_Win.clearedSurface = nullptr;  // the borders are drawn again with the next frame
                PushPending(PlatformEventPaint);
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (!g_Win.fullscreen) PushPending(PlatformEventResized);
                PushPending(PlatformEventPaint);
                break;
            default:
                break;
        }
        if (PopPending(event)) return 1;
    }
    return 0;
}

// ----------------------------------------------------------------- display

int PlatformPresent(const uint16_t* pixels, int w, int h, int pitch, PlatformPixelFormat format) {
    if ((!g_Win.renderer && !g_Win.useSurface) || !pixels || w <= 0 || h <= 0 || pitch < w) return -1;
    if (w > 16384 || h > 16384) return -1;
    if (format != PlatformPixelR5G6B5 && format != PlatformPixelX1R5G5B5) return -1;
    if (g_Win.useSurface) {
        if (!g_Win.minimumSet) {
            SDL_SetWindowMinimumSize(g_Win.window, w, h);
            g_Win.minimumSet = 1;
        }
        if (PresentToSurface(pixels, w, h, pitch, format) != 0) return -1;
        g_Win.presentedSinceWait = 1;
        g_Win.lastPresentNs = MonotonicNs();
        return 0;
    }
    Uint32 sdlFormat;
    if (format == PlatformPixelR5G6B5)
        sdlFormat = SDL_PIXELFORMAT_RGB565;
    else if (format == PlatformPixelX1R5G5B5)
        sdlFormat = SDL_PIXELFORMAT_RGB555;  // X1R5G5B5: the top bit means nothing
    else
        return -1;
    if (!g_Win.texture || g_Win.textureW != w || g_Win.textureH != h ||
        g_Win.textureFormat != sdlFormat) {
        if (g_Win.texture) SDL_DestroyTexture(g_Win.texture);
        g_Win.texture = SDL_CreateTexture(g_Win.renderer, sdlFormat, SDL_TEXTUREACCESS_STREAMING, w, h);
        if (!g_Win.texture) return -1;
        SDL_SetTextureScaleMode(g_Win.texture, SDL_ScaleModeNearest);
        SDL_SetTextureBlendMode(g_Win.texture, SDL_BLENDMODE_NONE);
        g_Win.textureW = w;
        g_Win.textureH = h;
        g_Win.textureFormat = sdlFormat;
    }
    if (!g_Win.minimumSet) {
        SDL_SetWindowMinimumSize(g_Win.window, w, h);
        g_Win.minimumSet = 1;
    }
    if (SDL_UpdateTexture(g_Win.texture, nullptr, pixels, pitch * (int)sizeof(uint16_t)) != 0) return -1;
    // The largest whole multiple that fits the drawable pixels (HiDPI
    // included), centred on black; nearest neighbour keeps it crisp.
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(g_Win.renderer, &outW, &outH) != 0 || outW <= 0 || outH <= 0) return -1;
    SdlPictureRect fit = SdlFitWhole(w, h, outW, outH);
    SDL_Rect dst = {fit.x, fit.y, fit.w, fit.h};
    SDL_SetRenderDrawColor(g_Win.renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_Win.renderer);
    if (SDL_RenderCopy(g_Win.renderer, g_Win.texture, nullptr, &dst) != 0) return -1;
    SDL_RenderPresent(g_Win.renderer);
    g_Win.presentedSinceWait = 1;
    g_Win.lastPresentNs = MonotonicNs();
    return 0;
}

int PlatformRefreshRate() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
    SDL_DisplayMode mode;
    int display = g_Win.window ? SDL_GetWindowDisplayIndex(g_Win.window) : 0;
    if (display < 0) display = 0;
    if (SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
    return mode.refresh_rate > 0 ? mode.refresh_rate : 0;
}

namespace {
// Sleeps to the next boundary of a grid of the given period from origin.
void SleepToGrid(long long origin, long long period) {
    long long now = MonotonicNs();
    long long elapsed = now - origin;
    long long next = origin + (elapsed >= 0 ? (elapsed / period + 1) * period : 0);
    if (next <= now) next = now + period;
    SleepUntilNs(next);
}
}  // namespace

// Blanks here come from the refresh rate or the 60 Hz grid that stands in
// for an unknown one, so watching them would only find that period again.
long long PlatformKnownFramePeriodUs() {
    int rate = PlatformRefreshRate();
    return 1000000LL / (rate > 0 ? rate : 60);
}

// A real clock gives the processor's speed within a few percent in 10 ms.
int PlatformSpeedProbeMs() { return 10; }

void PlatformWaitPacedBlank(int hz) {
    if (hz <= 0) hz = 60;
    SleepToGrid(g_Sdl.gridOriginNs, 1000000000LL / hz);
}

void PlatformSetPresentVSync(int on) {
    int want = on && g_Win.vsyncCapable ? 1 : 0;
    if (!g_Win.renderer || want == g_Win.vsync) return;
    if (SDL_RenderSetVSync(g_Win.renderer, want) == 0) g_Win.vsync = want;
}

void PlatformWaitVerticalBlank() {
    // With a display that paces presents, the next present blocks until the
    // blank: return at once. Without one, or when waited for again with no
    // present between (as when measuring the refresh period), sleep to the
    // next boundary of the refresh grid.
    if (g_Win.vsync && g_Win.presentedSinceWait) {
        g_Win.presentedSinceWait = 0;
        return;
    }
    g_Win.presentedSinceWait = 0;
    int rate = PlatformRefreshRate();
    if (rate <= 0) rate = 60;
    long long period = 1000000000LL / rate;
    long long origin = (g_Win.vsync && g_Win.lastPresentNs) ? g_Win.lastPresentNs : g_Sdl.gridOriginNs;
    SleepToGrid(origin, period);
}
