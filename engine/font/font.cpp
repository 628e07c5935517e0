// Font handles, creation and deletion, the default font and its settings.
#include "engine/font/font.h"

#include <cstdio>
#include <cstring>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/graphics/graphics.h"
#include "engine/platform/glyph.h"

TextSettings g_TextSettings = {{"", 16, 6, 0, -1, 1, 0}, -1};

namespace {

FontRecord* g_Fonts[FontSlotCount];
int g_FontCheckCounter;
int g_FontsStarted;

// Face asked for when the face setting is empty.
const char kDefaultFace[] = "ＭＳ ゴシック";

int PlatformCharSet(int charSet) {
    switch (charSet) {
    case FontCharSetShiftJis: return GlyphCharSetShiftJis;
    case FontCharSetHangul: return GlyphCharSetHangul;
    case FontCharSetBig5: return GlyphCharSetBig5;
    case FontCharSetGb2312: return GlyphCharSetGb2312;
    default: return GlyphCharSetDefault;
    }
}

int OpenPlatformFont(const char* face, int height, int weight, int italic, int charSet) {
    GlyphFontRequest request;
    request.face = face;
    request.height = height;
    request.weight = weight;
    request.italic = italic;
    request.charSet = charSet;
    return GlyphOpenFont(&request);
}

// The rasteriser's font for the request, with the fallbacks of the
// Windows font API: the default character set, then Shift-JIS (or, for
// the empty face, no face name at all).
int RequestPlatformFont(const char* face, int size, int thickness, int italic, int charSet) {
    int height = size < 0 ? -size : size;
    if (height == 0) height = 16;
    if (height > 1024) height = 1024;
    int weight = thickness * 100;
    if (weight < 0) weight = 0;
    if (weight > 1000) weight = 1000;
    int mapped = PlatformCharSet(charSet);
    int font;
    if (face[0]) {
        font = OpenPlatformFont(face, height, weight, italic, mapped);
        if (font < 0) font = OpenPlatformFont(face, height, weight, italic, GlyphCharSetDefault);
        if (font < 0) font = OpenPlatformFont(face, height, weight, italic, GlyphCharSetShiftJis);
        if (font < 0) LogWrite("指定のフォントの作成に失敗しました\n");
    } else {
        font = OpenPlatformFont(kDefaultFace, height, weight, italic, mapped);
        if (font < 0)
            font = OpenPlatformFont(kDefaultFace, height, weight, italic, GlyphCharSetDefault);
        if (font < 0) font = OpenPlatformFont(nullptr, height, weight, italic, mapped);
        if (font < 0) LogWrite("フォントの作成に失敗しました\n");
    }
    return font;
}

void FreeRecord(FontRecord* record) {
    if (!record) return;
    if (record->platformFont >= 0) GlyphCloseFont(record->platformFont);
    if (record->codeTable) EngineFree(record->codeTable);
    if (record->glyphs) EngineFree(record->glyphs);
    if (record->cells) EngineFree(record->cells);
    EngineFree(record);
}

int RoundUp(int v, int step) { return (v + step - 1) / step * step; }

bool SameParams(const FontParams& a, const FontParams& b) {
    return std::strcmp(a.face, b.face) == 0 && a.size == b.size && a.thickness == b.thickness &&
           a.style == b.style && a.charSet == b.charSet && a.edgeSize == b.edgeSize &&
           a.italic == b.italic;
}

// The default font is created with edge size 1 when its style has the
// edge bit, else with none.
FontParams DefaultFontRequest() {
    FontParams p = g_TextSettings.params;
    p.edgeSize = (p.style >= 0 && (p.style & FontStyleEdge)) ? p.edgeSize : -1;
    return p;
}

}  // namespace

int EngineCharSet() {
    switch (EngineCodePage()) {
    case 936: return FontCharSetGb2312;
    case 949: return FontCharSetHangul;
    case 950: return FontCharSetBig5;
    default: return FontCharSetShiftJis;
    }
}

bool IsLeadByte(int charSet, unsigned char c) {
    if (charSet == FontCharSetDefault || charSet == FontCharSetShiftJis)
        return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return (c & 0x80) != 0;
}

FontRecord* GetFont(int handle) {
    if (handle < 0 || ((handle >> 27) & 0xF) != 4) return nullptr;
    int slot = handle & 0xFFFF;
    int check = (handle >> 16) & 0x7FF;
    if (slot >= FontSlotCount || !g_Fonts[slot] || g_Fonts[slot]->check != check) return nullptr;
    return g_Fonts[slot];
}

int CreateFontToHandle(const char* face, int size, int thickness, int style, int charSet,
                       int edgeSize, int italic) {
    if (g_Window.destroyed) return -1;
    FontParams request;
    std::snprintf(request.face, sizeof request.face, "%s", face ? face : "");
    request.size = size;
    request.thickness = thickness;
    request.style = style;
    request.charSet = charSet;
    request.edgeSize = edgeSize;
    request.italic = italic;

    if (style < 0) style = 0;
    style &= FontStyleEdge | FontStyleAntialias;
    if (edgeSize > 1) style |= FontStyleEdge;
    if (charSet < 0 || charSet > FontCharSetGb2312) charSet = EngineCharSet();
    if (g_Screen.started && g_Screen.colourBits == 8) style &= ~FontStyleAntialias;
    int edge = (style & FontStyleEdge) ? (edgeSize < 1 ? 1 : edgeSize) : 0;
    if (edge > 16) edge = 16;

    int slot = -1;
    for (int i = 0; i < FontSlotCount; i++)
        if (!g_Fonts[i]) { slot = i; break; }
    if (slot < 0) {
        LogWriteFormat("作成できるフォントハンドル数 %d の限界を超えました", (int)FontSlotCount);
        return -1;
    }
    FontRecord* record = (FontRecord*)EngineAllocZeroed(sizeof(FontRecord));
    if (!record) {
        LogWrite("フォント管理用メモリ領域の確保に失敗しました\n");
        return -1;
    }
    record->platformFont = -1;
    record->request = request;
    std::snprintf(record->request.face, sizeof record->request.face, "%s", request.face);
    record->size = size;
    record->thickness = thickness;
    record->style = style;
    record->charSet = charSet;
    record->edgeSize = edge;
    record->italic = italic;

    record->platformFont = RequestPlatformFont(request.face, size, thickness, italic, charSet);
    if (record->platformFont < 0) {
        FreeRecord(record);
        return -1;
    }
    GlyphFontMetrics metrics;
    if (GlyphGetFontMetrics(record->platformFont, &metrics) != 0) {
        LogWrite("ＤＣの取得に失敗しました\n");
        FreeRecord(record);
        return -1;
    }
    record->ascent = metrics.ascent;
    record->textHeight = metrics.height;
    record->maxCharWidth = metrics.maxCharWidth;
    record->cellHeight = RoundUp(metrics.height + 2 * edge, 2);
    record->cellWidth = RoundUp(metrics.maxCharWidth + 2 + 2 * edge, 8);
    if (record->cellWidth < record->cellHeight) record->cellWidth = RoundUp(record->cellHeight, 8);

    // Memory cache: 1 bit a pixel for plain text, coverage bytes otherwise.
    int capacity = FontMemoryCacheBytes / (record->cellWidth * record->cellWidth);
    if (capacity < FontMinGlyphs) capacity = FontMinGlyphs;
    if (capacity > FontMaxGlyphs) capacity = FontMaxGlyphs;
    record->capacity = capacity;
    int planeBytes = style == 0 ? record->cellWidth / 8 * record->cellHeight
                                : record->cellWidth * record->cellHeight;
    record->cellBytes = planeBytes * ((style & FontStyleEdge) ? 2 : 1);
    record->codeTable = (uint16_t*)EngineAllocZeroed(sizeof(uint16_t) * FontCodeCount);
    record->glyphs = (FontGlyph*)EngineAllocZeroed(sizeof(FontGlyph) * capacity);
    record->cells = (uint8_t*)EngineAllocZeroed((size_t)record->cellBytes * capacity);
    if (!record->codeTable || !record->glyphs || !record->cells) {
        LogWrite("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
        FreeRecord(record);
        return -1;
    }

    record->check = g_FontCheckCounter;
    g_FontCheckCounter = (g_FontCheckCounter + 1) % FontCheckCount;
    record->handle = slot | ((record->check | 0x2000) << 16);
    g_Fonts[slot] = record;
    return record->handle;
}

int DeleteFontToHandle(int handle) {
    FontRecord* record = GetFont(handle);
    if (!record) return -1;
    g_Fonts[handle & 0xFFFF] = nullptr;
    FreeRecord(record);
    if (g_TextSettings.defaultFont == handle) g_TextSettings.defaultFont = -1;
    return 0;
}

void RefreshDefaultFont() {
    if (!g_FontsStarted) return;
    FontParams wanted = DefaultFontRequest();
    FontRecord* current = GetFont(g_TextSettings.defaultFont);
    if (current && SameParams(current->request, wanted)) return;
    if (current) DeleteFontToHandle(g_TextSettings.defaultFont);
    g_TextSettings.defaultFont = CreateFontToHandle(wanted.face, wanted.size, wanted.thickness,
                                                    wanted.style, wanted.charSet,
                                                    wanted.edgeSize, wanted.italic);
}

int InitFonts() {
    LogWrite("フォントの初期化を行います\n");
    LogIndentUp();
    g_FontsStarted = 1;
    if (g_TextSettings.params.charSet < 0) g_TextSettings.params.charSet = EngineCharSet();
    RefreshDefaultFont();
    LogIndentDown();
    LogWrite("フォントの初期化は正常に終了しました\n");
    return 0;
}

void EndFonts() {
    for (int i = 0; i < FontSlotCount; i++) {
        if (g_Fonts[i]) {
            FreeRecord(g_Fonts[i]);
            g_Fonts[i] = nullptr;
        }
    }
    g_TextSettings.defaultFont = -1;
    g_FontsStarted = 0;
    GlyphShutdown();
}

// ------------------------------------------------------------ settings
int SetTextFace(const char* name, int charSet) {
    std::snprintf(g_TextSettings.params.face, sizeof g_TextSettings.params.face, "%s",
                  name ? name : "");
    g_TextSettings.params.charSet =
        (charSet < 0 || charSet > FontCharSetGb2312) ? EngineCharSet() : charSet;
    RefreshDefaultFont();
    return 0;
}

int SetTextSize(int size) {
    g_TextSettings.params.size = size == -1 ? 16 : size;
    RefreshDefaultFont();
    return 0;
}

int SetTextThickness(int thickness) {
    g_TextSettings.params.thickness = thickness == -1 ? 6 : thickness;
    RefreshDefaultFont();
    return 0;
}

int SetTextStyle(int style) {
    g_TextSettings.params.style = style == -1 ? 0 : style;
    RefreshDefaultFont();
    return 0;
}
