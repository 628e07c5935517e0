// Glyph rasteriser on FreeType, faces found through fontconfig.
#include "engine/platform/glyph.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <iconv.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct GlyphFontSlot {
    int used;
    FT_Face face;
    FT_Face smallFace;  // kana and kanji of small Japanese text, or none
    int height, ascent, descent, maxCharWidth, averageCharWidth;
    int embolden;
    int italic;
    char family[64];
};

FT_Library g_Library;
int g_LibraryReady;
int g_FontconfigReady;
GlyphFontSlot g_Fonts[GlyphMaxFonts];

int StartLibrary() {
    if (!g_LibraryReady) {
        if (FT_Init_FreeType(&g_Library) != 0) return -1;
        g_LibraryReady = 1;
    }
    if (!g_FontconfigReady) {
        if (!FcInit()) return -1;
        g_FontconfigReady = 1;
    }
    return 0;
}

// True when s is well-formed UTF-8.
bool IsUtf8(const char* s) {
    const unsigned char* p = (const unsigned char*)s;
    while (*p) {
        int extra;
        if (*p < 0x80) extra = 0;
        else if ((*p & 0xE0) == 0xC0 && *p >= 0xC2) extra = 1;
        else if ((*p & 0xF0) == 0xE0) extra = 2;
        else if ((*p & 0xF8) == 0xF0 && *p <= 0xF4) extra = 3;
        else return false;
        p++;
        for (int i = 0; i < extra; i++, p++)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return true;
}

// Face names arrive in UTF-8 or in Shift-JIS (the engine's text encoding).
void FaceToUtf8(const char* face, char* out, size_t outSize) {
    out[0] = 0;
    if (IsUtf8(face)) {
        std::snprintf(out, outSize, "%s", face);
        return;
    }
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == (iconv_t)-1) return;
    char* in = const_cast<char*>(face);
    size_t inLeft = std::strlen(face);
    char* o = out;
    size_t oLeft = outSize - 1;
    if (iconv(cd, &in, &inLeft, &o, &oLeft) == (size_t)-1) o = out;
    *o = 0;
    iconv_close(cd);
}

// The Windows faces the game may name, and the installed faces that stand
// in for them.
struct FaceAlias {
    const char* name;
    const char* family;
};
const FaceAlias kAliases[] = {
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
    {"ＭＳ ＵＩ Ｇｏｔｈｉｃ", "IPAPGothic"}, {"MS UI Gothic", "IPAPGothic"},
    {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"MS PMincho", "IPAPMincho"},
    {"ＭＳ 明朝", "IPAMincho"}, {"MS Mincho", "IPAMincho"},
};

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; a++, b++) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (x >= 'A' && x <= 'Z') x = (unsigned char)(x + 32);
        if (y >= 'A' && y <= 'Z') y = (unsigned char)(y + 32);
        if (x != y) return false;
    }
    return *a == *b;
}

const char* LanguageOf(int charSet) {
    switch (charSet) {
    case GlyphCharSetShiftJis: return "ja";
    case GlyphCharSetHangul: return "ko";
    case GlyphCharSetGb2312: return "zh-cn";
    case GlyphCharSetBig5: return "zh-tw";
    default: return nullptr;
    }
}

// Asks fontconfig for a scalable face. With `family` set the match must
// carry that family name; with `lang` set it must cover that language.
int FindFaceFile(const char* family, const char* lang, char* file, size_t fileSize,
                 int* index, char* familyOut, size_t familyOutSize) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return -1;
    FcPatternAddString(pattern, FC_FAMILY, (const FcChar8*)(family ? family : "sans-serif"));
    if (lang) FcPatternAddString(pattern, FC_LANG, (const FcChar8*)lang);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return -1;

    int ok = 1;
    FcChar8* value = nullptr;
    if (family) {
        ok = 0;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch; i++)
            if (SameNameIgnoringCase((const char*)value, family)) ok = 1;
    }
    if (ok && lang) {
        FcLangSet* langs = nullptr;
        if (FcPatternGetLangSet(match, FC_LANG, 0, &langs) != FcResultMatch ||
            FcLangSetHasLang(langs, (const FcChar8*)lang) == FcLangDifferentLang)
            ok = 0;
    }
    if (ok && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch) {
        std::snprintf(file, fileSize, "%s", (const char*)value);
        int i = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &i) != FcResultMatch) i = 0;
        *index = i;
        familyOut[0] = 0;
        if (FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch)
            std::snprintf(familyOut, familyOutSize, "%s", (const char*)value);
    } else {
        ok = 0;
    }
    FcPatternDestroy(match);
    return ok ? 0 : -1;
}

// Picks the face file for a request (see glyph.h for the rules).
int ResolveFace(const GlyphFontRequest* request, char* file, size_t fileSize, int* index,
                char* family, size_t familySize) {
    const char* lang = LanguageOf(request->charSet);
    if (request->face) {
        char name[256];
        FaceToUtf8(request->face, name, sizeof name);
        const char* wanted = name;
        for (const FaceAlias& alias : kAliases)
            if (std::strcmp(alias.name, name) == 0 || SameNameIgnoringCase(alias.name, name))
                wanted = alias.family;
        if (wanted[0] && FindFaceFile(wanted, lang, file, fileSize, index, family, familySize) == 0)
            return 0;
        if (request->charSet != GlyphCharSetDefault) return -1;
    }
    // No face name, or an unknown one with the default set: the system's
    // Japanese gothic face, else whatever covers the set's language.
    if (!lang || request->charSet == GlyphCharSetShiftJis) {
        if (FindFaceFile("IPAGothic", nullptr, file, fileSize, index, family, familySize) == 0)
            return 0;
        return FindFaceFile(nullptr, "ja", file, fileSize, index, family, familySize);
    }
    return FindFaceFile(nullptr, lang, file, fileSize, index, family, familySize);
}

// Outlines of kanji shrink to blots at 8 or 9 pixels. For small text in
// the Japanese gothic faces, kana and kanji come from a face drawn on an
// 8-pixel grid and are rendered at exactly that grid, dot for dot; Latin
// letters stay in the main face. Without that face installed nothing changes.
constexpr int SmallTextMinHeight = 8, SmallTextMaxHeight = 11, SmallFaceGrid = 8;

void OpenSmallFace(GlyphFontSlot* slot) {
    slot->smallFace = nullptr;
    if (slot->height < SmallTextMinHeight || slot->height > SmallTextMaxHeight) return;
    if (!SameNameIgnoringCase(slot->family, "IPAPGothic") && !SameNameIgnoringCase(slot->family, "IPAGothic"))
        return;
    char file[1024], family[64];
    int index = 0;
    if (FindFaceFile("MisakiGothic", nullptr, file, sizeof file, &index, family, sizeof family) != 0) return;
    FT_Face face;
    if (FT_New_Face(g_Library, file, index, &face) != 0) return;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 || FT_Set_Pixel_Sizes(face, 0, SmallFaceGrid) != 0) {
        FT_Done_Face(face);
        return;
    }
    slot->smallFace = face;
}

// The face that draws a character: the small face for CJK symbols, kana,
// kanji and full-width forms it holds, else the main face.
FT_Face FaceFor(const GlyphFontSlot* slot, uint32_t codePoint) {
    if (slot->smallFace && codePoint >= 0x3000 && FT_Get_Char_Index(slot->smallFace, codePoint) != 0)
        return slot->smallFace;
    return slot->face;
}

GlyphFontSlot* SlotOf(int font) {
    if (font < 0 || font >= GlyphMaxFonts || !g_Fonts[font].used) return nullptr;
    return &g_Fonts[font];
}

}  // namespace

int GlyphOpenFont(const GlyphFontRequest* request) {
    if (!request || request->height < 1 || request->height > 4096) return -1;
    if (StartLibrary() != 0) return -1;
    int id = -1;
    for (int i = 0; i < GlyphMaxFonts; i++)
        if (!g_Fonts[i].used) { id = i; break; }
    if (id < 0) return -1;

    char file[1024];
    char family[64];
    int index = 0;
    if (ResolveFace(request, file, sizeof file, &index, family, sizeof family) != 0) return -1;

    FT_Face face;
    if (FT_New_Face(g_Library, file, index, &face) != 0) return -1;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
        FT_Done_Face(face);
        return -1;
    }

    // The request's height is the whole cell (ascent + descent), measured
    // with the face's Windows metrics as the Windows font API does.
    double ascentUnits = face->ascender, descentUnits = -face->descender;
    if (const TT_OS2* os2 = (const TT_OS2*)FT_Get_Sfnt_Table(face, FT_SFNT_OS2)) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
    }
    if (ascentUnits + descentUnits <= 0) {
        ascentUnits = face->units_per_EM * 0.8;
        descentUnits = face->units_per_EM * 0.2;
    }
    double scale = request->height / (ascentUnits + descentUnits);  // pixels per unit
    double ppem = scale * face->units_per_EM;
    FT_F26Dot6 size26 = (FT_F26Dot6)std::lround(ppem * 64.0);
    if (size26 < 64) size26 = 64;
    if (FT_Set_Char_Size(face, 0, size26, 72, 72) != 0) {
        FT_Done_Face(face);
        return -1;
    }

    GlyphFontSlot& slot = g_Fonts[id];
    std::memset(&slot, 0, sizeof slot);
    slot.used = 1;
    slot.face = face;
    slot.height = request->height;
    slot.ascent = (int)std::lround(ascentUnits * scale);
    if (slot.ascent > slot.height) slot.ascent = slot.height;
    slot.descent = slot.height - slot.ascent;
    slot.embolden = request->weight >= 600 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    slot.italic = request->italic != 0;
    slot.maxCharWidth = (int)std::ceil(face->max_advance_width * scale - 1e-6) + slot.embolden;
    double average = face->units_per_EM / 2.0;
    if (const TT_OS2* os2 = (const TT_OS2*)FT_Get_Sfnt_Table(face, FT_SFNT_OS2))
        if (os2->xAvgCharWidth > 0) average = os2->xAvgCharWidth;
    slot.averageCharWidth = (int)std::lround(average * scale);
    std::snprintf(slot.family, sizeof slot.family, "%s", family);
    OpenSmallFace(&slot);
    return id;
}

void GlyphCloseFont(int font) {
    GlyphFontSlot* slot = SlotOf(font);
    if (!slot) return;
    FT_Done_Face(slot->face);
    if (slot->smallFace) FT_Done_Face(slot->smallFace);
    std::memset(slot, 0, sizeof *slot);
}

int GlyphGetFontMetrics(int font, GlyphFontMetrics* metrics) {
    GlyphFontSlot* slot = SlotOf(font);
    if (!slot || !metrics) return -1;
    metrics->height = slot->height;
    metrics->ascent = slot->ascent;
    metrics->descent = slot->descent;
    metrics->maxCharWidth = slot->maxCharWidth;
    metrics->averageCharWidth = slot->averageCharWidth;
    std::snprintf(metrics->family, sizeof metrics->family, "%s", slot->family);
    return 0;
}

namespace {

// Loads and renders one glyph into the face's slot.
FT_GlyphSlot LoadGlyph(GlyphFontSlot* slot, uint32_t codePoint, bool grey) {
    FT_Face face = FaceFor(slot, codePoint);
    FT_UInt glyphIndex = FT_Get_Char_Index(face, codePoint);
    FT_Int32 flags = grey ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
    if (slot->italic || grey) flags |= FT_LOAD_NO_BITMAP;
    if (FT_Load_Glyph(face, glyphIndex, flags) != 0) return nullptr;
    FT_GlyphSlot glyph = face->glyph;
    if (slot->italic && glyph->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Oblique(glyph);
    if (glyph->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(glyph, grey ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
        return nullptr;
    return glyph;
}

// Coverage 0 ... 16 of one source pixel of either bitmap kind.
int Level(const FT_Bitmap& bm, const unsigned char* row, int x) {
    if (bm.pixel_mode == FT_PIXEL_MODE_MONO) return ((row[x >> 3] >> (7 - (x & 7))) & 1) * 16;
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
        return (row[x] * 16 + levels / 2) / levels;
    }
    return -1;
}

int Render(int font, uint32_t codePoint, GlyphBitmap* out, uint8_t* bits, int capacity,
           bool grey) {
    GlyphFontSlot* slot = SlotOf(font);
    if (!slot || !out) return -1;
    FT_GlyphSlot glyph = LoadGlyph(slot, codePoint, grey);
    if (!glyph) return -1;

    const FT_Bitmap& bm = glyph->bitmap;
    int width = (int)bm.width, height = (int)bm.rows;
    int inked = width > 0 && height > 0;
    int outWidth = inked ? width + slot->embolden : 0;
    out->originX = glyph->bitmap_left;
    out->originY = glyph->bitmap_top;
    out->boxWidth = outWidth;
    out->boxHeight = inked ? height : 0;
    out->advance = (int)((glyph->advance.x + 32) >> 6) + slot->embolden;
    out->pitch = grey ? outWidth : (outWidth + 7) / 8;
    if (!bits || !inked) return 0;
    if ((long long)out->pitch * height > capacity) return -1;

    std::memset(bits, 0, (size_t)out->pitch * height);
    for (int y = 0; y < height; y++) {
        const unsigned char* src = bm.pitch >= 0
                                       ? bm.buffer + (long long)y * bm.pitch
                                       : bm.buffer + (long long)(height - 1 - y) * -bm.pitch;
        uint8_t* dst = bits + (long long)y * out->pitch;
        for (int x = 0; x < width; x++) {
            int level = Level(bm, src, x);
            if (level < 0) return -1;
            if (grey) {
                if (level > dst[x]) dst[x] = (uint8_t)level;
                // Simulated bold: the glyph struck again one pixel right.
                if (slot->embolden && level > dst[x + 1]) dst[x + 1] = (uint8_t)level;
            } else if (level >= 8) {
                dst[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
                if (slot->embolden) dst[(x + 1) >> 3] |= (uint8_t)(0x80 >> ((x + 1) & 7));
            }
        }
    }
    return 0;
}

}  // namespace

int GlyphRender(int font, uint32_t codePoint, GlyphBitmap* out, uint8_t* bits, int capacity) {
    return Render(font, codePoint, out, bits, capacity, false);
}

int GlyphRenderGrey(int font, uint32_t codePoint, GlyphBitmap* out, uint8_t* levels,
                    int capacity) {
    return Render(font, codePoint, out, levels, capacity, true);
}

void GlyphShutdown() {
    for (int i = 0; i < GlyphMaxFonts; i++) GlyphCloseFont(i);
    if (g_LibraryReady) {
        FT_Done_FreeType(g_Library);
        g_LibraryReady = 0;
    }
    if (g_FontconfigReady) {
        // Nothing of fontconfig's is held past this point.
        FcFini();
        g_FontconfigReady = 0;
    }
}
