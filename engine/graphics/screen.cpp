// Screen mode, the memory image of the software renderer, draw target,
// clip rectangle, clearing and presenting.
#include <cstring>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/font/font.h"
#include "engine/graphics/graphics.h"
#include "engine/image/image.h"
#include "engine/platform/platform.h"

ScreenRecord g_Screen;

// ------------------------------------------------------------ colour formats
namespace {

ColorFormat g_Formats[ColorFormatCount];
bool g_FormatsReady;

int LowestBit(uint32_t mask) {
    int shift = 0;
    while (shift < 32 && !(mask & (1u << shift))) shift++;
    return shift == 32 ? 0 : shift;
}
int BitCount(uint32_t mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) n++;
    return n;
}

void PrepareFormats() {
    if (g_FormatsReady) return;
    MakeColorFormat(&g_Formats[ColorFormatX8R8G8B8], 32, 0xFF0000, 0xFF00, 0xFF, 0);
    MakeColorFormat(&g_Formats[ColorFormatA8R8G8B8], 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    MakeColorFormat(&g_Formats[ColorFormatR8G8B8], 24, 0xFF0000, 0xFF00, 0xFF, 0);
    MakeColorFormat(&g_Formats[ColorFormatR5G6B5], 16, 0xF800, 0x07E0, 0x001F, 0);
    MakeColorFormat(&g_Formats[ColorFormatX1R5G5B5], 16, 0x7C00, 0x03E0, 0x001F, 0);
    MakeColorFormat(&g_Formats[ColorFormatA1R5G5B5], 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    MakeColorFormat(&g_Formats[ColorFormatA4R4G4B4], 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    MakeColorFormat(&g_Formats[ColorFormatX4R4G4B4], 16, 0x0F00, 0x00F0, 0x000F, 0);
    MakeColorFormat(&g_Formats[ColorFormatR3G3B2], 8, 0xE0, 0x1C, 0x03, 0);
    MakeColorFormat(&g_Formats[ColorFormatA8R3G3B2], 16, 0xE0, 0x1C, 0x03, 0xFF00);
    MakeColorFormat(&g_Formats[ColorFormatA2R10G10B10], 32, 0x3FF00000, 0x000FFC00, 0x000003FF,
                    0xC0000000);
    MakeColorFormat(&g_Formats[ColorFormatA2B10G10R10], 32, 0x000003FF, 0x000FFC00, 0x3FF00000,
                    0xC0000000);
    MakeColorFormat(&g_Formats[ColorFormatA8B8G8R8], 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    MakeColorFormat(&g_Formats[ColorFormatX8B8G8R8], 32, 0xFF, 0xFF00, 0xFF0000, 0);
    g_FormatsReady = true;
}

}  // namespace

void MakeColorFormat(ColorFormat* f, int bits, uint32_t redMask, uint32_t greenMask,
                     uint32_t blueMask, uint32_t alphaMask) {
    std::memset(f, 0, sizeof *f);
    f->bitsPerPixel = (uint8_t)bits;
    f->bytesPerPixel = (uint8_t)(bits / 8);
    f->redMask = redMask;
    f->greenMask = greenMask;
    f->blueMask = blueMask;
    f->alphaMask = alphaMask;
    f->redWidth = (uint8_t)BitCount(redMask);
    f->greenWidth = (uint8_t)BitCount(greenMask);
    f->blueWidth = (uint8_t)BitCount(blueMask);
    f->alphaWidth = (uint8_t)BitCount(alphaMask);
    f->redShift = (uint8_t)LowestBit(redMask);
    f->greenShift = (uint8_t)LowestBit(greenMask);
    f->blueShift = (uint8_t)LowestBit(blueMask);
    f->alphaShift = (uint8_t)LowestBit(alphaMask);
    uint32_t all = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
    f->noneMask = all & ~(redMask | greenMask | blueMask | alphaMask);
}

const ColorFormat* GetColorFormat(int id) {
    if (id < 0 || id >= ColorFormatCount) return nullptr;
    PrepareFormats();
    return &g_Formats[id];
}

namespace {
uint32_t PackChannel(int value, int width, int shift) {
    if (width == 0) return 0;
    value &= 0xFF;
    uint32_t v = width <= 8 ? (uint32_t)value >> (8 - width)
                            : (uint32_t)value * ((1u << width) - 1) / 255;
    return v << shift;
}
int UnpackChannel(uint32_t pixel, uint32_t mask, int width, int shift) {
    if (width == 0) return -1;
    uint32_t v = (pixel & mask) >> shift;
    return (int)(v * 255u / ((1u << width) - 1));
}
}  // namespace

uint32_t EncodeColor(const ColorFormat* f, int r, int g, int b, int a) {
    return PackChannel(r, f->redWidth, f->redShift) | PackChannel(g, f->greenWidth, f->greenShift) |
           PackChannel(b, f->blueWidth, f->blueShift) |
           PackChannel(a, f->alphaWidth, f->alphaShift);
}

void DecodeColor(const ColorFormat* f, uint32_t pixel, int* r, int* g, int* b, int* a) {
    int v;
    v = UnpackChannel(pixel, f->redMask, f->redWidth, f->redShift);
    *r = v < 0 ? 0 : v;
    v = UnpackChannel(pixel, f->greenMask, f->greenWidth, f->greenShift);
    *g = v < 0 ? 0 : v;
    v = UnpackChannel(pixel, f->blueMask, f->blueWidth, f->blueShift);
    *b = v < 0 ? 0 : v;
    v = UnpackChannel(pixel, f->alphaMask, f->alphaWidth, f->alphaShift);
    *a = v < 0 ? 255 : v;
}

// ------------------------------------------------------------ helpers
namespace {

int SettingWidth() { return g_Screen.requestWidth ? g_Screen.requestWidth : DefaultScreenWidth; }
int SettingHeight() {
    return g_Screen.requestHeight ? g_Screen.requestHeight : DefaultScreenHeight;
}
int SettingBits() { return g_Screen.requestBits ? g_Screen.requestBits : DefaultColourBits; }

// The format colours are given in: the screen's once started, else the
// one the settings will give.
const ColorFormat* NominalFormat() {
    if (g_Screen.started) return &g_Screen.format;
    return GetColorFormat(SettingBits() == 32 ? ColorFormatX8R8G8B8 : ColorFormatR5G6B5);
}

// Sizes the memory image for the settings and picks the formats.
int MakeScreenImage() {
    int width = SettingWidth(), height = SettingHeight(), bits = SettingBits();
    // A 320 x 240 full-screen request runs as 640 x 480.
    if (!g_Window.windowed && width == 320 && height == 240) {
        width = 640;
        height = 480;
    }
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return -1;
    uint16_t* pixels = (uint16_t*)EngineAllocZeroed((size_t)width * height * sizeof(uint16_t));
    if (!pixels) {
        LogWrite("画面用メモリの確保に失敗しました\n");
        return -1;
    }
    if (g_Screen.pixels) EngineFree(g_Screen.pixels);
    g_Screen.pixels = pixels;
    g_Screen.width = width;
    g_Screen.height = height;
    g_Screen.colourBits = bits;
    // The platform shows 16-bit frames and always offers R5G6B5. A 32-bit
    // screen keeps 32-bit colour values (PackColor, text) but its memory
    // image is 16-bit like the others.
    g_Screen.platformFormat = PlatformPixelR5G6B5;
    g_Screen.surfaceFormat = SurfaceR5G6B5;
    g_Screen.format = *GetColorFormat(bits == 32 ? ColorFormatX8R8G8B8 : ColorFormatR5G6B5);
    LogWriteFormat("画面のフォーマットは %s です", bits == 32 ? "D3DFMT_X8R8G8B8" : "D3DFMT_R5G6B5");
    LogWriteFormat("16bit カラーフォーマットは %s です", "R5G6B5");
    LogWriteFormat("アルファテスト用 16bit カラーフォーマットは %s です", "A1R5G5B5");
    return 0;
}

void SetWholeClip(int width, int height) {
    g_Screen.clipLeft = 0;
    g_Screen.clipTop = 0;
    g_Screen.clipRight = width;
    g_Screen.clipBottom = height;
    g_Screen.nothingDrawable = width <= 0 || height <= 0;
}

void TargetSize(int target, int* width, int* height) {
    *width = g_Screen.started ? g_Screen.width : SettingWidth();
    *height = g_Screen.started ? g_Screen.height : SettingHeight();
    if (target >= 0) {
        if (ImageRecord* image = GetImage(target)) {
            *width = image->width;
            *height = image->height;
        }
    }
}

int PresentBackScreen() {
    return PlatformPresent(g_Screen.pixels, g_Screen.width, g_Screen.height, g_Screen.width,
                           g_Screen.platformFormat);
}

}  // namespace

// ------------------------------------------------------------ start and end
long long MeasureFramePeriod() {
    PlatformWaitVerticalBlank();
    long long previousBlank = EngineMicroseconds();
    long long previousInterval = -1;
    long long sum = 0;
    int agreeing = 0;
    for (int tries = 0; tries < 60; tries++) {
        PlatformWaitVerticalBlank();
        long long now = EngineMicroseconds();
        long long interval = now - previousBlank;
        previousBlank = now;
        long long difference = interval - previousInterval;
        if (previousInterval < 0 || difference > 999 || difference < -999) {
            agreeing = 0;
            sum = 0;
        } else {
            agreeing++;
            sum += interval;
            if (agreeing == 10) return sum / 10;
        }
        previousInterval = interval;
        PlatformSleepMs(5);
    }
    return 0;
}

int InitGraphics() {
    if (g_Screen.started) return 0;
    if (MakeScreenImage() != 0) return -1;
    g_TransparentKeyEnabled = g_Screen.colourBits != 8;

    long long knownPeriod = PlatformKnownFramePeriodUs();
    g_Screen.framePeriod = knownPeriod > 0 ? knownPeriod : MeasureFramePeriod();
    g_Screen.lastBlankTime = 0;
    g_Screen.presentVSync = 1;  // as the window was made
    g_Screen.presentedOnce = 0;

    g_Screen.started = 1;
    g_Screen.drawTarget = BackScreen;
    g_Screen.frontTimerOn = 0;
    SetWholeClip(g_Screen.width, g_Screen.height);

    InitFonts();
    return 0;
}

int EndGraphics() {
    if (!g_Screen.started) return 0;
    EndFonts();
    EndImages();
    if (g_Screen.pixels) EngineFree(g_Screen.pixels);
    g_Screen.pixels = nullptr;
    g_Screen.started = 0;
    g_Screen.frontTimerOn = 0;
    g_Screen.drawTarget = BackScreen;
    return 0;
}

// ------------------------------------------------------------ settings
int SetScreenMode(int width, int height, int colourBits, int refreshRate) {
    if (width == 0 || height == 0) return -1;
    if (width < 0 || height < 0 || width > 8192 || height > 8192) return -1;
    if (colourBits != 8 && colourBits != 16 && colourBits != 32) return -1;
    int oldWidth = g_Screen.requestWidth, oldHeight = g_Screen.requestHeight;
    int oldBits = g_Screen.requestBits, oldRate = g_Screen.refreshRate;
    g_Screen.requestWidth = width;
    g_Screen.requestHeight = height;
    g_Screen.requestBits = colourBits;
    g_Screen.refreshRate = refreshRate;
    if (!g_Screen.started) return 0;

    // Changing the mode while running: a new memory image, the whole clip.
    if (MakeScreenImage() != 0) {
        g_Screen.requestWidth = oldWidth;
        g_Screen.requestHeight = oldHeight;
        g_Screen.requestBits = oldBits;
        g_Screen.refreshRate = oldRate;
        return -1;
    }
    g_TransparentKeyEnabled = g_Screen.colourBits != 8;
    int w, h;
    TargetSize(g_Screen.drawTarget, &w, &h);
    SetWholeClip(w, h);
    return 0;
}

bool GetImageDrawSurface(DrawSurface* surface) {
    ImageRecord* image = GetImage(g_Screen.drawTarget);
    if (!image || !image->pixels) return false;
    // The caller writes into the picture: its drawing copies go stale.
    image->blitStale = 1;
    surface->pixels = image->pixels;
    surface->width = image->width;
    surface->height = image->height;
    surface->pitch = image->pitch;
    surface->format = image->format == ImageStorageA4R4G4B4 ? SurfaceA4R4G4B4 : SurfaceA1R5G5B5;
    return true;
}

int SetDrawTarget(int target) {
    if (!g_Screen.started) return -1;
    WaitWhileWindowInactive();
    if (target < -5 || target > -2) {
        ImageRecord* image = GetImage(target);
        if (!image || !image->drawable || !image->pixels) return -1;
    }
    int oldWidth, oldHeight, newWidth, newHeight;
    TargetSize(g_Screen.drawTarget, &oldWidth, &oldHeight);
    TargetSize(target, &newWidth, &newHeight);
    g_Screen.drawTarget = target;
    g_Screen.frontTimerOn = target == FrontScreen;
    if (g_Screen.frontTimerOn) g_Screen.frontShownTime = EngineMicroseconds();
    if (oldWidth != newWidth || oldHeight != newHeight) SetWholeClip(newWidth, newHeight);
    return 0;
}

int SetDrawClip(int x1, int y1, int x2, int y2) {
    g_Screen.clipRequest[0] = x1;
    g_Screen.clipRequest[1] = y1;
    g_Screen.clipRequest[2] = x2;
    g_Screen.clipRequest[3] = y2;
    if (x1 > x2) { int t = x1; x1 = x2; x2 = t; }
    if (y1 > y2) { int t = y1; y1 = y2; y2 = t; }
    int width, height;
    TargetSize(g_Screen.drawTarget, &width, &height);
    auto clamp = [](int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    g_Screen.clipLeft = clamp(x1, width);
    g_Screen.clipRight = clamp(x2, width);
    g_Screen.clipTop = clamp(y1, height);
    g_Screen.clipBottom = clamp(y2, height);
    g_Screen.nothingDrawable =
        g_Screen.clipLeft == g_Screen.clipRight || g_Screen.clipTop == g_Screen.clipBottom;
    return 0;
}

int SetWaitVSync(int flag) {
    g_Screen.doNotWait = flag == 0;
    if (!g_Screen.started) g_Screen.waitAtStart = flag != 0;
    return 0;
}

int PackColor(int r, int g, int b) {
    const ColorFormat* format = NominalFormat();
    if (format->bitsPerPixel == 32)
        return (int)(0xFF000000u | (uint32_t)(r & 0xFF) << 16 | (uint32_t)(g & 0xFF) << 8 |
                     (uint32_t)(b & 0xFF));
    return (int)EncodeColor(format, r & 0xFF, g & 0xFF, b & 0xFF, 255);
}

// ------------------------------------------------------------ drawing
int ClearScreen() {
    if (!g_Screen.started) return -1;
    WaitWhileWindowInactive();
    DrawSurface surface;
    if (!GetDrawSurface(&surface)) return -1;
    int c = g_Screen.backgroundColor;
    // The fill colour carries no alpha: a cleared drawable image is clear.
    uint16_t value =
        EncodeSurfacePixel(surface.format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 0);
    if (value == 0 && surface.pitch == surface.width) {
        // Rows without gaps: one fill.
        std::memset(surface.pixels, 0, (size_t)surface.width * (size_t)surface.height * sizeof(uint16_t));
    } else {
        for (int y = 0; y < surface.height; y++) {
            uint16_t* row = surface.pixels + (long long)y * surface.pitch;
            if (value == 0) {
                std::memset(row, 0, (size_t)surface.width * sizeof(uint16_t));
            } else {
                for (int x = 0; x < surface.width; x++) row[x] = value;
            }
        }
    }
    AfterTargetDrawing();
    return 0;
}

void FrontScreenTick() {
    if (!g_Screen.started || g_Screen.drawTarget != FrontScreen) return;
    long long now = EngineMicroseconds();
    if (now - g_Screen.frontShownTime < 32000) return;
    g_Screen.frontShownTime = now;
    PresentBackScreen();
}

void WaitForVerticalBlank() {
    long long threshold = g_Screen.framePeriod > 0 ? g_Screen.framePeriod - 3000 : 4000;
    if (EngineMicroseconds() - g_Screen.lastBlankTime < threshold) {
        PlatformSleepMs(0);
        while (EngineMicroseconds() - g_Screen.lastBlankTime < threshold) PlatformSleepMs(1);
    }
    PlatformWaitVerticalBlank();
    g_Screen.lastBlankTime = EngineMicroseconds();
}

bool PacesOnTheBlank(int refreshHz) { return refreshHz >= 59 && refreshHz <= 61; }

int PresentFrame() {
    if (!g_Screen.started || g_Window.quit) return -1;
    // 60 frames a second on any display: a display of about 60 Hz paces by
    // its blank; any other rate (or an unknown one) by the clock, with the
    // display's own wait kept only where it is quicker than a frame.
    int refresh = PlatformRefreshRate();
    int vsync = refresh >= 59 ? 1 : 0;
    if (vsync != g_Screen.presentVSync) {
        PlatformSetPresentVSync(vsync);
        g_Screen.presentVSync = vsync;
    }
    if (!PacesOnTheBlank(refresh)) {
        if (!g_Screen.doNotWait) {
            PlatformWaitPacedBlank(60);
            g_Screen.lastBlankTime = EngineMicroseconds();
        }
    } else if (g_Screen.waitAtStart) {
        // The presentation itself waits for each blank.
        PlatformWaitVerticalBlank();
        g_Screen.lastBlankTime = EngineMicroseconds();
    } else if (!g_Screen.doNotWait) {
        WaitForVerticalBlank();
    }
    if (PresentBackScreen() != 0) return -1;
    if (!g_Screen.presentedOnce) {
        // The moment the first picture reaches the window, for whoever
        // times the start-up.
        g_Screen.presentedOnce = 1;
        LogWrite("最初の画面を表示しました\n");
    }
    return 0;
}

void GraphicsRepaint() {
    // Paint requests show the back screen again, without waiting.
    if (!g_Screen.started || !g_Screen.pixels || g_Screen.drawTarget != BackScreen) return;
    PresentBackScreen();
}

void GraphicsScreenRequest(int* width, int* height, int* colourBits) {
    if (width) *width = SettingWidth();
    if (height) *height = SettingHeight();
    if (colourBits) *colourBits = SettingBits();
}

int GraphicsResetMode() {
    if (!g_Screen.started) return 0;
    if (MakeScreenImage() != 0) return -1;
    int w, h;
    TargetSize(g_Screen.drawTarget, &w, &h);
    SetWholeClip(w, h);
    return 0;
}
