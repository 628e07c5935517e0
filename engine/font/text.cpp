// The glyph cache and string drawing.
#include <iconv.h>

#include <cstring>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/font/font.h"
#include "engine/graphics/graphics.h"
#include "engine/platform/glyph.h"

namespace {

// One converter per character set, opened on first use.
iconv_t g_Converters[FontCharSetGb2312 + 1];
bool g_ConverterTried[FontCharSetGb2312 + 1];

const char* CodePageName(int charSet) {
    switch (charSet) {
    case FontCharSetHangul: return "CP949";
    case FontCharSetBig5: return "CP950";
    case FontCharSetGb2312: return "CP936";
    default: return "CP932";
    }
}

// The Unicode code point of a character code, or 0 when the character set
// has none for it.
uint32_t CodePoint(int charSet, int code) {
    if (code < 0x80) return (uint32_t)code;
    if (charSet < 0 || charSet > FontCharSetGb2312) charSet = FontCharSetShiftJis;
    if (!g_ConverterTried[charSet]) {
        g_ConverterTried[charSet] = true;
        g_Converters[charSet] = iconv_open("UTF-32LE", CodePageName(charSet));
    }
    iconv_t cd = g_Converters[charSet];
    if (cd == (iconv_t)-1) return 0;
    char bytes[2] = {(char)(code & 0xFF), (char)((code >> 8) & 0xFF)};
    size_t inLeft = code > 0xFF ? 2 : 1;
    unsigned char out[8];
    char* in = bytes;
    char* o = (char*)out;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == (size_t)-1 || inLeft != 0 ||
        sizeof out - outLeft != 4)
        return 0;
    return (uint32_t)out[0] | (uint32_t)out[1] << 8 | (uint32_t)out[2] << 16 |
           (uint32_t)out[3] << 24;
}

bool IsBlankCode(int code) { return code == 0x20 || code == 0x4081; }

// Scratch for one glyph from the rasteriser (box at most cell-sized in
// practice; larger boxes are cut to the cell).
uint8_t g_Scratch[1024 * 1024];

// Coverage of the glyph plane at (x, y) of a byte cell, 0 outside.
inline int PlaneAt(const uint8_t* plane, int width, int height, int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return plane[y * width + x];
}

// Fills the cell of glyph `index` from the rasteriser's output.
void StoreCell(FontRecord* font, int index, const GlyphBitmap& box, const uint8_t* bits,
               bool grey) {
    uint8_t* cell = font->cells + (size_t)font->cellBytes * index;
    std::memset(cell, 0, (size_t)font->cellBytes);
    int edge = font->edgeSize;
    int w = box.boxWidth, h = box.boxHeight;
    if (w > font->cellWidth - 2 * edge) w = font->cellWidth - 2 * edge;
    if (h > font->cellHeight - 2 * edge) h = font->cellHeight - 2 * edge;
    if (w <= 0 || h <= 0) return;
    if (font->style == 0) {
        int pitch = font->cellWidth / 8;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (bits[y * box.pitch + (x >> 3)] & (0x80 >> (x & 7)))
                    cell[y * pitch + (x >> 3)] |= (uint8_t)(0x80 >> (x & 7));
        return;
    }
    int cw = font->cellWidth, ch = font->cellHeight;
    uint8_t* plane = cell;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int level = grey ? bits[y * box.pitch + x]
                             : ((bits[y * box.pitch + (x >> 3)] >> (7 - (x & 7))) & 1) * 16;
            plane[(y + edge) * cw + x + edge] = (uint8_t)level;
        }
    if (!(font->style & FontStyleEdge)) return;
    // Edge plane: the strongest coverage within the edge size around.
    uint8_t* edgePlane = cell + cw * ch;
    for (int y = 0; y < ch; y++)
        for (int x = 0; x < cw; x++) {
            int best = 0;
            for (int dy = -edge; dy <= edge; dy++)
                for (int dx = -edge; dx <= edge; dx++) {
                    int v = PlaneAt(plane, cw, ch, x + dx, y + dy);
                    if (v > best) best = v;
                }
            edgePlane[y * cw + x] = (uint8_t)best;
        }
}

inline void BlendPixel(uint16_t* d, int format, int r, int g, int b, int level) {
    if (level >= 16) {
        *d = EncodeSurfacePixel(format, r, g, b, 255);
        return;
    }
    int tr, tg, tb, ta;
    DecodeSurfacePixel(format, *d, tr, tg, tb, ta);
    tr += (r - tr) * level / 16;
    tg += (g - tg) * level / 16;
    tb += (b - tb) * level / 16;
    ta += (255 - ta) * level / 16;
    *d = EncodeSurfacePixel(format, tr, tg, tb, ta);
}

struct TextPaint {
    DrawSurface surface;
    int clipL, clipT, clipR, clipB;
    uint16_t colour;  // the text colour in the surface's format (style 0)
    int r, g, b;
    int er, eg, eb;
};

void DrawCell(const FontRecord* font, const FontGlyph* glyph, int index, int cellX, int cellY,
              const TextPaint& paint) {
    const uint8_t* cell = font->cells + (size_t)font->cellBytes * index;
    int edge = font->edgeSize;
    int w = glyph->boxWidth + 2 * edge, h = glyph->boxHeight + 2 * edge;
    if (w > font->cellWidth) w = font->cellWidth;
    if (h > font->cellHeight) h = font->cellHeight;
    int x0 = cellX < paint.clipL ? paint.clipL - cellX : 0;
    int y0 = cellY < paint.clipT ? paint.clipT - cellY : 0;
    int x1 = cellX + w > paint.clipR ? paint.clipR - cellX : w;
    int y1 = cellY + h > paint.clipB ? paint.clipB - cellY : h;
    if (x0 >= x1 || y0 >= y1) return;
    const DrawSurface& s = paint.surface;
    if (font->style == 0) {
        int pitch = font->cellWidth / 8;
        for (int y = y0; y < y1; y++) {
            const uint8_t* bits = cell + y * pitch;
            uint16_t* row = s.pixels + (long long)(cellY + y) * s.pitch + cellX;
            for (int x = x0; x < x1; x++)
                if (bits[x >> 3] & (0x80 >> (x & 7))) row[x] = paint.colour;
        }
        return;
    }
    int cw = font->cellWidth;
    const uint8_t* plane = cell;
    const uint8_t* edgePlane = (font->style & FontStyleEdge) ? cell + cw * font->cellHeight : nullptr;
    bool smooth = (font->style & FontStyleAntialias) != 0;
    for (int y = y0; y < y1; y++) {
        uint16_t* row = s.pixels + (long long)(cellY + y) * s.pitch + cellX;
        for (int x = x0; x < x1; x++) {
            int level = plane[y * cw + x];
            int edgeLevel = edgePlane ? edgePlane[y * cw + x] : 0;
            if (!smooth) {
                level = level >= 8 ? 16 : 0;
                edgeLevel = edgeLevel >= 8 ? 16 : 0;
            }
            if (edgeLevel) BlendPixel(row + x, s.format, paint.er, paint.eg, paint.eb, edgeLevel);
            if (level) BlendPixel(row + x, s.format, paint.r, paint.g, paint.b, level);
        }
    }
}

}  // namespace

const FontGlyph* CacheCharacter(FontRecord* font, int code) {
    code &= 0xFFFF;
    if (font->codeTable[code]) return &font->glyphs[font->codeTable[code] - 1];

    GlyphBitmap box;
    bool grey = (font->style & FontStyleAntialias) != 0;
    int result;
    uint32_t codePoint = CodePoint(font->charSet, code);
    if (codePoint == 0 && code != 0) {
        result = -1;
    } else if (IsBlankCode(code)) {
        // Spaces are only measured.
        result = GlyphRender(font->platformFont, codePoint, &box, nullptr, 0);
        box.boxWidth = box.boxHeight = 0;
    } else if (grey) {
        result = GlyphRenderGrey(font->platformFont, codePoint, &box, g_Scratch, sizeof g_Scratch);
    } else {
        result = GlyphRender(font->platformFont, codePoint, &box, g_Scratch, sizeof g_Scratch);
    }
    if (result != 0) {
        LogWrite("GetGlyphOutline 関数が失敗しました\n");
        return nullptr;
    }

    // Oldest out: the next cell in turn, whatever it held.
    int index = font->nextGlyph;
    font->nextGlyph = (font->nextGlyph + 1) % font->capacity;
    FontGlyph* glyph = &font->glyphs[index];
    if (font->codeTable[glyph->code] == index + 1) font->codeTable[glyph->code] = 0;

    int edge = font->edgeSize;
    glyph->code = code;
    glyph->xOffset = box.originX - edge;
    glyph->yOffset = font->ascent - box.originY - edge;
    glyph->boxWidth = box.boxWidth;
    glyph->boxHeight = box.boxHeight;
    glyph->advance = box.advance;
    StoreCell(font, index, box, g_Scratch, grey);
    font->codeTable[code] = (uint16_t)(index + 1);
    font->rasterisedCount++;
    return glyph;
}

void DecodeTextColour(int colour, int* r, int* g, int* b) {
    int a;
    const ColorFormat* format = g_Screen.started ? &g_Screen.format
                                                 : GetColorFormat(ColorFormatR5G6B5);
    DecodeColor(format, (uint32_t)colour, r, g, b, &a);
    // Draw brightness: full (255) for the whole run.
    const int brightness = 255;
    *r = *r * brightness / 255;
    *g = *g * brightness / 255;
    *b = *b * brightness / 255;
}

int DrawStringToHandle(int x, int y, const char* text, int colour, int handle, int edgeColour) {
    if (!text || !text[0] || g_Screen.nothingDrawable) return 0;
    FontRecord* font = GetFont(handle);
    if (!font) {
        LogWrite("フォントハンドル値が異常です\n");
        return -1;
    }
    WaitWhileWindowInactive();
    TextPaint paint;
    if (!GetDrawSurface(&paint.surface)) return -1;
    paint.clipL = g_Screen.clipLeft;
    paint.clipT = g_Screen.clipTop;
    paint.clipR = g_Screen.clipRight < paint.surface.width ? g_Screen.clipRight : paint.surface.width;
    paint.clipB =
        g_Screen.clipBottom < paint.surface.height ? g_Screen.clipBottom : paint.surface.height;
    DecodeTextColour(colour, &paint.r, &paint.g, &paint.b);
    DecodeTextColour(edgeColour, &paint.er, &paint.eg, &paint.eb);
    paint.colour = EncodeSurfacePixel(paint.surface.format, paint.r, paint.g, paint.b, 255);

    const int extraSpacing = 0;
    long long pen = x;
    const unsigned char* p = (const unsigned char*)text;
    while (*p) {
        int code = *p++;
        // A lead byte takes the next byte, unless the string ends there.
        if (IsLeadByte(font->charSet, (unsigned char)code) && *p) code |= *p++ << 8;
        const FontGlyph* glyph = CacheCharacter(font, code);
        if (!glyph) continue;
        if (!IsBlankCode(code) && glyph->boxWidth > 0 && glyph->boxHeight > 0) {
            long long cellX = pen + glyph->xOffset, cellY = (long long)y + glyph->yOffset;
            if (cellX < paint.clipR && cellX + font->cellWidth > paint.clipL &&
                cellY < paint.clipB && cellY + font->cellHeight > paint.clipT)
                DrawCell(font, glyph, font->codeTable[code & 0xFFFF] - 1, (int)cellX, (int)cellY,
                         paint);
        }
        pen += glyph->advance + extraSpacing;
    }
    AfterTargetDrawing();
    return 0;
}

int DrawTextString(int x, int y, const char* text, int colour, int edgeColour) {
    if (!g_Screen.started) return -1;
    RefreshDefaultFont();
    if (!text || !text[0] || g_Screen.nothingDrawable) return 0;
    return DrawStringToHandle(x, y, text, colour, g_TextSettings.defaultFont, edgeColour);
}
