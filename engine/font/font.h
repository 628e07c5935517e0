// Fonts: handles, the default font and its settings, the glyph cache.
//
// Engine-internal; the game sees the setters and DrawTextString in
// engine/engine.h.
#pragma once

#include <cstdint>

enum {
    FontSlotCount = 40,
    FontCheckCount = 2048,
    FontMaxGlyphs = 2024,
    FontMinGlyphs = 20,
    FontCodeCount = 65536,
    FontMemoryCacheBytes = 0x50000,
    FontFaceBytes = 256,
};

// Engine character-set codes.
enum {
    FontCharSetDefault = 0,
    FontCharSetShiftJis = 1,
    FontCharSetHangul = 2,
    FontCharSetBig5 = 3,
    FontCharSetGb2312 = 4,
};

// Style bits.
enum { FontStyleEdge = 1, FontStyleAntialias = 2 };

struct FontGlyph {
    int code;               // character code (first byte + 256 x second)
    int xOffset, yOffset;   // cell's top-left corner from (pen, line top)
    int boxWidth, boxHeight;
    int advance;
};

// What a font was asked for; the default font's refresh compares these.
struct FontParams {
    char face[FontFaceBytes];
    int size, thickness, style, charSet, edgeSize, italic;
};

struct FontRecord {
    int check;   // 0 ... 2047
    int handle;  // slot | ((check | 0x2000) << 16)
    FontParams request;  // as given to CreateFontToHandle
    // As created (style with forced bits, resolved character set).
    int size, thickness, style, charSet, edgeSize, italic;
    int platformFont;  // the rasteriser's font id
    int ascent, textHeight, maxCharWidth;
    int cellWidth, cellHeight;
    int capacity;    // glyph cells in the cache
    int nextGlyph;   // the cell the next new character takes
    // Per character code: 0 = not cached, else the glyph index + 1.
    uint16_t* codeTable;
    FontGlyph* glyphs;  // capacity entries
    // Cell images. Style 0: 1 bit a pixel, rows of cellWidth / 8 bytes.
    // Other styles: one byte a pixel (coverage 0 ... 16), the glyph plane
    // and, for edged styles, the edge plane after it.
    uint8_t* cells;
    int cellBytes;       // bytes of one cell (all its planes)
    int rasterisedCount; // characters rasterised since creation
};

// Default-font settings (engine-wide).
struct TextSettings {
    FontParams params;
    int defaultFont;  // handle or -1
};
extern TextSettings g_TextSettings;

// Graphics start-up and end.
int InitFonts();
void EndFonts();

// The engine's character set from the code page (932 Shift-JIS ...).
int EngineCharSet();
// Whether byte c starts a double-byte character in the character set.
bool IsLeadByte(int charSet, unsigned char c);

int CreateFontToHandle(const char* face, int size, int thickness, int style, int charSet,
                       int edgeSize, int italic);
int DeleteFontToHandle(int handle);
// The record of a valid font handle, or null.
FontRecord* GetFont(int handle);
// Creates the default font anew when the settings differ from it.
void RefreshDefaultFont();

// A colour in the screen's format as 8-bit channels (channel x 255 /
// (2^width - 1)), times the draw brightness.
void DecodeTextColour(int colour, int* r, int* g, int* b);

// Draws with any font; DrawTextString uses the default one.
int DrawStringToHandle(int x, int y, const char* text, int colour, int handle, int edgeColour);
// Makes sure one character is cached; the glyph or null when it cannot be
// rasterised.
const FontGlyph* CacheCharacter(FontRecord* font, int code);
