// Rectangle drawing of images with the transparent colour, mirroring and
// the pictures' own alpha.
#include <cstring>

#include "engine/engine.h"
#include "engine/graphics/graphics.h"
#include "engine/image/image.h"

int SetTransparentColor(int r, int g, int b) {
    int bits = g_Screen.started ? g_Screen.colourBits
                                : (g_Screen.requestBits ? g_Screen.requestBits : DefaultColourBits);
    if (bits == 8) return 0;
    g_TransparentKey = (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
    return 0;
}

namespace {

// One row of a blit: n target pixels from `dst`, the source read forwards
// from `src` or, mirrored, backwards from it.
struct Row {
    const uint16_t* src;
    uint16_t* dst;
    int n;
};

// The hot path: A1R5G5B5 picture onto the R5G6B5 screen. Transparent
// pixels are skipped; each run of opaque ones is converted in one loop.
void RowA1ToR565(Row row, bool keyed, bool mirrored) {
    const uint16_t* s = row.src;
    uint16_t* d = row.dst;
    int n = row.n;
    if (!mirrored) {
        if (!keyed) {
            for (int i = 0; i < n; i++) d[i] = A1ToR565(s[i]);
            return;
        }
        int i = 0;
        while (i < n) {
            while (i < n && !(s[i] & 0x8000)) i++;
            int start = i;
            while (i < n && (s[i] & 0x8000)) i++;
            for (int k = start; k < i; k++) d[k] = A1ToR565(s[k]);
        }
        return;
    }
    if (!keyed) {
        for (int i = 0; i < n; i++) d[i] = A1ToR565(s[-i]);
        return;
    }
    int i = 0;
    while (i < n) {
        while (i < n && !(s[-i] & 0x8000)) i++;
        int start = i;
        while (i < n && (s[-i] & 0x8000)) i++;
        for (int k = start; k < i; k++) d[k] = A1ToR565(s[-k]);
    }
}

// A1R5G5B5 onto the same layout (a drawable image) or X1R5G5B5: opaque
// runs are straight copies.
void RowA1ToA1(Row row, bool keyed, bool mirrored, uint16_t orMask, uint16_t andMask) {
    const uint16_t* s = row.src;
    uint16_t* d = row.dst;
    int n = row.n;
    if (!mirrored && !keyed && orMask == 0 && andMask == 0xFFFF) {
        std::memmove(d, s, (size_t)n * sizeof(uint16_t));
        return;
    }
    int step = mirrored ? -1 : 1;
    int i = 0;
    while (i < n) {
        if (keyed)
            while (i < n && !(s[i * step] & 0x8000)) i++;
        int start = i;
        while (i < n && (!keyed || (s[i * step] & 0x8000))) i++;
        if (!mirrored && orMask == 0 && andMask == 0xFFFF) {
            std::memmove(d + start, s + start, (size_t)(i - start) * sizeof(uint16_t));
        } else {
            for (int k = start; k < i; k++)
                d[k] = (uint16_t)((s[k * step] & andMask) | orMask);
        }
    }
}

// Windows up to this width are drawn masked rather than span by span.
constexpr int NarrowWindow = 64;

// Fast rows from a picture's drawing copies (PrepareImageBlit). Source and
// target never overlap here: a picture drawn onto itself takes the
// pixel-by-pixel path.
struct Block16 {
    uint8_t bytes[16];
};

// n pixels forwards. Short rows, the common case of 16 x 16 tiles and
// sprites, are whole-register moves (the two halves may overlap) instead
// of a library call.
inline void CopyForward(uint16_t* d, const uint16_t* s, int n) {
    if (n >= 8) {
        if (n > 64) {
            std::memcpy(d, s, (size_t)n * sizeof(uint16_t));
            return;
        }
        Block16 block;
        for (int i = 0; i + 8 < n; i += 8) {
            std::memcpy(&block, s + i, 16);
            std::memcpy(d + i, &block, 16);
        }
        std::memcpy(&block, s + n - 8, 16);
        std::memcpy(d + n - 8, &block, 16);
        return;
    }
    if (n >= 4) {
        uint64_t head, tail;
        std::memcpy(&head, s, 8);
        std::memcpy(&tail, s + n - 4, 8);
        std::memcpy(d, &head, 8);
        std::memcpy(d + n - 4, &tail, 8);
    } else if (n >= 2) {
        uint32_t head, tail;
        std::memcpy(&head, s, 4);
        std::memcpy(&tail, s + n - 2, 4);
        std::memcpy(d, &head, 4);
        std::memcpy(d + n - 2, &tail, 4);
    } else if (n == 1) {
        d[0] = s[0];
    }
}

// n pixels with the source read forwards and the target written
// backwards from d.
inline void CopyReversed(uint16_t* d, const uint16_t* s, int n) {
    for (int j = 0; j < n; j++) d[-j] = s[j];
}

// One keyed row: the parts of its opaque spans inside source columns
// [lo, lo + n) are copied, the rest skipped. `d` is where column lo
// lands, or mirrored where column lo + n - 1 lands (column c then lands
// on d[lo + n - 1 - c]).
inline void RowFromSpans(uint16_t* d, const uint16_t* s, const ImageSpan* span, const ImageSpan* last,
                         int lo, int n, bool mirrored) {
    int end = lo + n;
    while (span < last && span->end <= lo) ++span;
    for (; span < last && span->start < end; ++span) {
        int a = span->start > lo ? span->start : lo;
        int b = span->end < end ? span->end : end;
        if (mirrored) CopyReversed(d + (end - 1 - a), s + a, b - a);
        else CopyForward(d + (a - lo), s + a, b - a);
    }
}

// Eight pixels in one register (the compiler's generic vectors: SSE2,
// NEON or plain code, whatever the machine has).
typedef uint16_t Pixels8 __attribute__((vector_size(16)));
typedef int16_t SignedPixels8 __attribute__((vector_size(16)));
inline Pixels8 Load8(const uint16_t* p) {
    Pixels8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store8(uint16_t* p, Pixels8 v) { std::memcpy(p, &v, sizeof v); }

// Keyed drawing without branches: each pixel's transparency bit (bit 15
// of the stored pixel in `keys`) becomes a mask that picks the colour
// from `colours` (the stored row itself, or its copy in the target's
// layout) or keeps the target's.
inline void Masked8(uint16_t* d, const uint16_t* colours, const uint16_t* keys) {
    Pixels8 m = (Pixels8)((SignedPixels8)Load8(keys) >> 15);
    Store8(d, (Load8(colours) & m) | (Load8(d) & ~m));
}

// One keyed row of a narrow window: source columns [lo, lo + n), `d` as
// for RowFromSpans. Unmirrored rows of 8 or more go eight pixels at a
// time, the last eight overlapping the ones before (drawing a pixel twice
// gives the same result).
inline void RowMasked(uint16_t* d, const uint16_t* colours, const uint16_t* keys, int lo, int n,
                      bool mirrored) {
    colours += lo;
    keys += lo;
    if (mirrored || n < 8) {
        uint16_t* t = mirrored ? d + n - 1 : d;
        int step = mirrored ? -1 : 1;
        for (int j = 0; j < n; j++) {
            uint16_t m = (uint16_t)((int16_t)keys[j] >> 15);
            t[j * step] = (uint16_t)((colours[j] & m) | (t[j * step] & ~m));
        }
        return;
    }
    for (int j = 0;; j += 8) {
        if (j > n - 8) j = n - 8;
        Masked8(d + j, colours + j, keys + j);
        if (j == n - 8) break;
    }
}

// Everything else: per pixel through 8-bit channels. Pictures with their
// own alpha blend: target = target x (1 - a) + colour x a.
void RowGeneric(Row row, int srcFormat, int dstFormat, bool keyed, bool mirrored, bool blend) {
    const uint16_t* s = row.src;
    uint16_t* d = row.dst;
    int step = mirrored ? -1 : 1;
    for (int i = 0; i < row.n; i++) {
        uint16_t p = s[i * step];
        int r, g, b, a;
        DecodeSurfacePixel(srcFormat, p, r, g, b, a);
        if (blend) {
            if (a == 0) continue;
            if (a < 255) {
                int tr, tg, tb, ta;
                DecodeSurfacePixel(dstFormat, d[i], tr, tg, tb, ta);
                int ia = 255 - a;
                r = (tr * ia + r * a + 127) / 255;
                g = (tg * ia + g * a + 127) / 255;
                b = (tb * ia + b * a + 127) / 255;
                a = (ta * ia + a * a + 127) / 255;
            }
        } else if (keyed) {
            // The alpha test passes only alpha above 16.
            if (a <= 16) continue;
        } else {
            a = 255;
        }
        d[i] = EncodeSurfacePixel(dstFormat, r, g, b, a);
    }
}

int ClampInt(long long v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : (int)v);
}

}  // namespace

int IsImageOpaqueOver(int image, int width, int height) {
    ImageRecord* record = GetImage(image);
    if (!record || !record->valid || record->hasAlpha) return 0;
    if (record->width < width || record->height < height) return 0;
    if (!g_TransparentKeyEnabled) return 1;  // nothing is keyed out at all
    if (!PrepareImageBlit(record)) return 0;
    return record->blitOpaque ? 1 : 0;
}

int DrawImageRect(int x, int y, int srcX, int srcY, int width, int height, int image,
                  int transparent, int mirror) {
    ImageRecord* record = nullptr;
    if (mirror) {
        record = GetImage(image);
        if (!record) return -1;
    }

    // The destination rectangle, made empty when inverted, clamped into
    // the clip: it limits this call only (the clip itself is not touched).
    long long left = x, top = y;
    long long right = (long long)x + width, bottom = (long long)y + height;
    if (right < left) right = left;
    if (bottom < top) bottom = top;
    int clipL = ClampInt(left, g_Screen.clipLeft, g_Screen.clipRight);
    int clipR = ClampInt(right, g_Screen.clipLeft, g_Screen.clipRight);
    int clipT = ClampInt(top, g_Screen.clipTop, g_Screen.clipBottom);
    int clipB = ClampInt(bottom, g_Screen.clipTop, g_Screen.clipBottom);

    if (!g_Screen.started) return -1;
    if (g_Screen.nothingDrawable) return 0;
    if (!record) record = GetImage(image);
    if (!record) return -1;
    WaitWhileWindowInactive();
    DrawSurface target;
    if (!GetDrawSurface(&target)) return -1;
    if (!record->pixels || record->width <= 0 || record->height <= 0) return 0;

    // Where the whole image lies on the target.
    long long placeX = mirror ? (long long)x + srcX + width - record->width : (long long)x - srcX;
    long long placeY = (long long)y - srcY;
    int x0 = ClampInt(placeX, clipL, clipR);
    int x1 = ClampInt(placeX + record->width, clipL, clipR);
    int y0 = ClampInt(placeY, clipT, clipB);
    int y1 = ClampInt(placeY + record->height, clipT, clipB);
    // The clip may reach past a smaller image target.
    if (x1 > target.width) x1 = target.width;
    if (y1 > target.height) y1 = target.height;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x0 >= x1 || y0 >= y1) return 0;

    int srcFormat = record->format == ImageStorageA4R4G4B4 ? SurfaceA4R4G4B4 : SurfaceA1R5G5B5;
    bool blend = srcFormat == SurfaceA4R4G4B4;
    bool keyed = transparent != 0;
    bool mirrored = mirror != 0;
    // First image column read for target column x0: forwards or backwards.
    int firstColumn = mirrored ? (int)(placeX + record->width - 1 - x0) : (int)(x0 - placeX);
    int n = x1 - x0;

    // Onto the screen, or keyed onto another picture, from the drawing
    // copies: whole rows when nothing is keyed out, narrow windows
    // masked, wide ones span by span.
    bool fromCopies = srcFormat == SurfaceA1R5G5B5 && target.pixels != record->pixels &&
                    (target.format == SurfaceR5G6B5 || (target.format == SurfaceA1R5G5B5 && keyed)) &&
                    PrepareImageBlit(record);
    if (fromCopies) {
        const uint16_t* colours = target.format == SurfaceR5G6B5 ? record->screenPixels : record->pixels;
        int lo = mirrored ? firstColumn - n + 1 : firstColumn;
        size_t sourcePitch = (size_t)record->pitch;
        size_t rowStart = (size_t)(y0 - placeY) * sourcePitch;
        const uint16_t* s = colours + rowStart;
        uint16_t* d = target.pixels + (long long)y0 * target.pitch + x0;
        size_t targetPitch = (size_t)target.pitch;
        if (!keyed || record->blitOpaque) {
            if (mirrored) {
                for (int ty = y0; ty < y1; ty++, s += sourcePitch, d += targetPitch)
                    CopyReversed(d + n - 1, s + lo, n);
            } else if (n == 16) {
                for (int ty = y0; ty < y1; ty++, s += sourcePitch, d += targetPitch) {
                    Store8(d, Load8(s + lo));
                    Store8(d + 8, Load8(s + lo + 8));
                }
            } else {
                for (int ty = y0; ty < y1; ty++, s += sourcePitch, d += targetPitch)
                    CopyForward(d, s + lo, n);
            }
        } else if (n <= NarrowWindow) {
            // Sprites and tiles: a few spans a row, cheaper masked than
            // followed.
            const uint16_t* stored = record->pixels + rowStart;
            if (n == 16 && !mirrored) {
                // The tile and sprite size: two registers a row.
                for (int ty = y0; ty < y1; ty++, s += sourcePitch, stored += sourcePitch, d += targetPitch) {
                    Masked8(d, s + lo, stored + lo);
                    Masked8(d + 8, s + lo + 8, stored + lo + 8);
                }
            } else {
                for (int ty = y0; ty < y1; ty++, s += sourcePitch, stored += sourcePitch, d += targetPitch)
                    RowMasked(d, s, stored, lo, n, mirrored);
            }
        } else {
            const uint32_t* rows = record->spanRows + (y0 - placeY);
            for (int ty = y0; ty < y1; ty++, s += sourcePitch, d += targetPitch, rows++) {
                const ImageSpan* first = record->spans + rows[0];
                const ImageSpan* last = record->spans + rows[1];
                if (mirrored) RowFromSpans(d, s, first, last, lo, n, true);
                else RowFromSpans(d, s, first, last, lo, n, false);
            }
        }
        AfterTargetDrawing();
        return 0;
    }

    for (int ty = y0; ty < y1; ty++) {
        int sy = (int)(ty - placeY);
        Row row;
        row.src = record->pixels + (long long)sy * record->pitch + firstColumn;
        row.dst = target.pixels + (long long)ty * target.pitch + x0;
        row.n = n;
        if (srcFormat == SurfaceA1R5G5B5 && target.format == SurfaceR5G6B5)
            RowA1ToR565(row, keyed, mirrored);
        else if (srcFormat == SurfaceA1R5G5B5 && target.format == SurfaceA1R5G5B5)
            RowA1ToA1(row, keyed, mirrored, keyed ? 0 : 0x8000, 0xFFFF);
        else if (srcFormat == SurfaceA1R5G5B5 && target.format == SurfaceX1R5G5B5)
            RowA1ToA1(row, keyed, mirrored, 0, 0x7FFF);
        else
            RowGeneric(row, srcFormat, target.format, keyed, mirrored, blend);
    }
    AfterTargetDrawing();
    return 0;
}
