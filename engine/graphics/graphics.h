// The screen: settings, the software renderer's memory image, the draw
// target, the clip rectangle, and the pixel helpers that the blitter and
// the text drawing share.
//
// Engine-internal; the game sees only engine/engine.h.
#pragma once

#include <cstdint>

#include "engine/core/core.h"
#include "engine/platform/platform.h"

// ------------------------------------------------------------ colour formats
// One packed pixel format: channel widths, shifts and masks.
struct ColorFormat {
    uint8_t bitsPerPixel;
    uint8_t bytesPerPixel;
    uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
    uint8_t redShift, greenShift, blueShift, alphaShift;
    uint32_t redMask, greenMask, blueMask, alphaMask;
    uint32_t noneMask;  // bits of the pixel that belong to no channel
    uint8_t palette[256 * 4];
};

enum ColorFormatId {
    ColorFormatX8R8G8B8,
    ColorFormatA8R8G8B8,
    ColorFormatR8G8B8,
    ColorFormatR5G6B5,
    ColorFormatX1R5G5B5,
    ColorFormatA1R5G5B5,
    ColorFormatA4R4G4B4,
    ColorFormatX4R4G4B4,
    ColorFormatR3G3B2,
    ColorFormatA8R3G3B2,
    ColorFormatA2R10G10B10,
    ColorFormatA2B10G10R10,
    ColorFormatA8B8G8R8,
    ColorFormatX8B8G8R8,
    ColorFormatCount
};
// The predefined formats; null for an id out of range.
const ColorFormat* GetColorFormat(int id);
// Fills a format from its bit count and channel masks.
void MakeColorFormat(ColorFormat* format, int bits, uint32_t redMask, uint32_t greenMask,
                     uint32_t blueMask, uint32_t alphaMask);
// Packs 8-bit channels into a pixel value by taking each channel's top bits.
uint32_t EncodeColor(const ColorFormat* format, int r, int g, int b, int a);
// Channels of a pixel value as channel x 255 / (2^width - 1); an absent
// channel reads 0 (alpha 255).
void DecodeColor(const ColorFormat* format, uint32_t pixel, int* r, int* g, int* b, int* a);

// ------------------------------------------------------------ draw surfaces
// The 16-bit layouts that drawing writes into: the screen (R5G6B5 or
// X1R5G5B5) and drawable images (A1R5G5B5 or A4R4G4B4).
enum SurfaceFormat {
    SurfaceR5G6B5 = 0,
    SurfaceX1R5G5B5 = 1,
    SurfaceA1R5G5B5 = 2,
    SurfaceA4R4G4B4 = 3,
};
struct DrawSurface {
    uint16_t* pixels;
    int width, height;
    int pitch;   // row length in pixels
    int format;  // SurfaceFormat
};

// 8-bit channels to a surface pixel (top bits of each channel).
inline uint16_t EncodeSurfacePixel(int format, int r, int g, int b, int a) {
    switch (format) {
    case SurfaceR5G6B5:
        return (uint16_t)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    case SurfaceX1R5G5B5:
        return (uint16_t)(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    case SurfaceA1R5G5B5:
        return (uint16_t)((a >= 128 ? 0x8000 : 0) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    default:
        return (uint16_t)(((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
    }
}

// A surface pixel to 8-bit channels (bits repeated downward, so that full
// channels read 255). Formats without alpha read alpha 255.
inline void DecodeSurfacePixel(int format, uint16_t p, int& r, int& g, int& b, int& a) {
    switch (format) {
    case SurfaceR5G6B5: {
        int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
        r = (r5 << 3) | (r5 >> 2);
        g = (g6 << 2) | (g6 >> 4);
        b = (b5 << 3) | (b5 >> 2);
        a = 255;
        return;
    }
    case SurfaceX1R5G5B5:
    case SurfaceA1R5G5B5: {
        int r5 = (p >> 10) & 31, g5 = (p >> 5) & 31, b5 = p & 31;
        r = (r5 << 3) | (r5 >> 2);
        g = (g5 << 3) | (g5 >> 2);
        b = (b5 << 3) | (b5 >> 2);
        a = format == SurfaceX1R5G5B5 || (p & 0x8000) ? 255 : 0;
        return;
    }
    default:
        a = ((p >> 12) & 15) * 17;
        r = ((p >> 8) & 15) * 17;
        g = ((p >> 4) & 15) * 17;
        b = (p & 15) * 17;
        return;
    }
}

// ------------------------------------------------------------ the screen
enum { DefaultScreenWidth = 640, DefaultScreenHeight = 480, DefaultColourBits = 16 };

struct ScreenRecord {
    // Settings as requested (0 = default).
    int requestWidth, requestHeight, requestBits, refreshRate;
    // In force after start-up.
    int started;
    int width, height, colourBits;
    // The software renderer's memory image (the back screen), pitch = width.
    uint16_t* pixels;
    PlatformPixelFormat platformFormat;
    int surfaceFormat;   // SurfaceR5G6B5 or SurfaceX1R5G5B5
    ColorFormat format;  // the screen's format (colours, text, PackColor)

    int drawTarget;  // BackScreen, FrontScreen, -3, -5 or an image handle
    int clipLeft, clipTop, clipRight, clipBottom;  // right, bottom exclusive
    int clipRequest[4];  // the last SetDrawClip arguments
    int nothingDrawable;

    int doNotWait;
    int waitAtStart;
    int backgroundColor;  // 0xRRGGBB

    long long framePeriod;    // microseconds, 0 = unknown
    long long lastBlankTime;  // microseconds
    int presentVSync;         // what presents were last told about the blank
    int presentedOnce;        // the first frame was shown (and logged)
    int frontTimerOn;         // drawing straight to the visible screen
    long long frontShownTime; // microseconds of the last front-screen show
};
extern ScreenRecord g_Screen;

// InitGraphics, EndGraphics, GraphicsScreenRequest, GraphicsResetMode and
// GraphicsRepaint (the core calls them) are declared there.
#include "engine/core/modules.h"

// The current draw target when it is a picture (marking the picture's
// drawing copies stale, since the caller writes into it). False when the
// picture is gone.
bool GetImageDrawSurface(DrawSurface* surface);

// Resolves the current draw target. False when graphics is not started or
// the target image is gone.
inline bool GetDrawSurface(DrawSurface* surface) {
    if (!g_Screen.started) return false;
    if (g_Screen.drawTarget >= 0) return GetImageDrawSurface(surface);
    surface->pixels = g_Screen.pixels;
    surface->width = g_Screen.width;
    surface->height = g_Screen.height;
    surface->pitch = g_Screen.width;
    surface->format = g_Screen.surfaceFormat;
    return true;
}

// Waits while the main window is inactive (drawing calls pause with it).
inline void WaitWhileWindowInactive() {
    if (g_Window.hasWindow && !g_Window.active && !g_Window.quit) WaitWhileInactive();
}

// While the front screen is the target, shows it at most every 32 ms.
void FrontScreenTick();
inline void AfterTargetDrawing() {
    if (g_Screen.frontTimerOn) FrontScreenTick();
}

// The measured display period (0 = unknown); used by PresentFrame.
long long MeasureFramePeriod();
// The vertical-blank wait of PresentFrame (threshold sleep, then block).
void WaitForVerticalBlank();
// Presenting waits for the display's blank at this refresh rate (about
// 60 Hz); at any other, or an unknown one (0), it paces 60 Hz by the clock.
bool PacesOnTheBlank(int refreshHz);
