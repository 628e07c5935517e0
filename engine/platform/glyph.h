// Glyph rasteriser shared by both backends (FreeType with fontconfig).
// The code is in engine/platform/common/glyph.cpp.
//
// A font is opened from a face name, a cell height in pixels, a weight, an
// italic flag and a character set; glyphs come back as 1-bit-per-pixel
// black boxes with the origin offsets and advance the text cache needs.
// Rendering is monochrome with the font's own hinting, so the same request
// gives the same bits on every run. Small text (8 to 11 pixels) in the
// Japanese gothic faces takes its kana and kanji from a face drawn on an
// 8-pixel grid (Misaki Gothic, when installed), rendered dot for dot.
#pragma once

#include <cstdint>

enum { GlyphMaxFonts = 64 };

// Character sets a font request names (the values the Windows font API
// uses, which the engine's text settings map to).
enum {
    GlyphCharSetDefault = 1,
    GlyphCharSetShiftJis = 128,
    GlyphCharSetHangul = 129,
    GlyphCharSetGb2312 = 134,
    GlyphCharSetBig5 = 136,
};

struct GlyphFontRequest {
    // Face name in UTF-8 or Shift-JIS. Null asks for the system's default
    // face for the character set. "ＭＳ Ｐゴシック" maps to IPAPGothic,
    // "ＭＳ ゴシック" to IPAGothic.
    const char* face;
    int height;   // cell height in pixels (ascent + descent), at least 1
    int weight;   // 0 ... 1000; 600 and above embolden a regular face
    int italic;   // non-zero slants the glyphs
    int charSet;  // one of the GlyphCharSet values
};

struct GlyphFontMetrics {
    int height;        // ascent + descent, equal to the requested height
    int ascent;        // pixels above the baseline
    int descent;       // pixels below it
    int maxCharWidth;  // widest advance of the face at this size
    int averageCharWidth;
    char family[64];   // family name of the face file that was chosen
};

// Opens a font. A named face must be installed (directly or through the
// names above) and, for the Shift-JIS, Hangul, GB2312 and Big5 sets, cover
// that set's language; with the default set an unknown face is replaced by
// the system's Japanese gothic face, as the Windows font mapper does.
// Returns a font id 0 ... GlyphMaxFonts - 1, or -1.
int GlyphOpenFont(const GlyphFontRequest* request);
void GlyphCloseFont(int font);
// 0 on success, -1 for a font id that is not open.
int GlyphGetFontMetrics(int font, GlyphFontMetrics* metrics);

struct GlyphBitmap {
    int originX;    // left of the black box relative to the pen
    int originY;    // top of the black box above the baseline
    int boxWidth;   // black box in pixels (0 x 0 for a blank glyph)
    int boxHeight;
    int advance;    // pen advance in pixels
    int pitch;      // bytes per row of bits: (boxWidth + 7) / 8
};

// Renders one character given as a Unicode code point. The bits are rows
// of `pitch` bytes, most significant bit leftmost, set = ink. `bits` may be
// null (metrics only); otherwise `capacity` bytes must hold pitch x height.
// Returns 0, or -1 when the font is not open, the character cannot be
// rendered, or the bits do not fit.
int GlyphRender(int font, uint32_t codePoint, GlyphBitmap* out, uint8_t* bits,
                int capacity);

// As GlyphRender with anti-aliasing: one byte a pixel holding one of 17
// coverage levels (0 blank ... 16 full ink); pitch = boxWidth.
int GlyphRenderGrey(int font, uint32_t codePoint, GlyphBitmap* out, uint8_t* levels,
                    int capacity);

// Closes every font and the library (engine end, tests).
void GlyphShutdown();
