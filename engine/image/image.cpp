// The image handle table, LoadImageFile, the 16-bit storage with the
// transparent colour key, and the decoder chain.
#include <cstdio>
#include <cstring>

#include "engine/core/core.h"
#include "engine/core/modules.h"
#include "engine/engine.h"
#include "engine/image/image_internal.h"

ImageRecord* g_ImageRecords[ImageSlotCount];
int g_TransparentKey = 0x000000;
int g_TransparentKeyEnabled = 1;

namespace {

struct ImageTable {
    int count;
    int nextSlot;
    int checkCounter;
};
ImageTable g_Images;

// A new record in its slot with its handle; fatal when the table is full
// or memory runs out.
ImageRecord* NewRecord() {
    if (g_Images.count >= ImageSlotCount) EngineFatal("グラフィックの数が許容量を越えました終了します\n");
    int slot = g_Images.nextSlot;
    if (slot >= ImageSlotCount) {
        for (slot = 0; slot < ImageSlotCount && g_ImageRecords[slot]; ++slot) {
        }
        if (slot >= ImageSlotCount) EngineFatal("グラフィックの数が許容量を越えました終了します\n");
    }
    ImageRecord* record = static_cast<ImageRecord*>(EngineAllocZeroed(sizeof(ImageRecord)));
    if (!record) EngineFatal("メモリの確保に失敗しました\n");
    record->check = g_Images.checkCounter;
    g_Images.checkCounter = NextHandleCheck(g_Images.checkCounter);
    record->handle = MakeHandle(ImageHandleKind, record->check, slot);
    record->movieLink = -1;
    g_ImageRecords[slot] = record;
    ++g_Images.count;
    if (slot == g_Images.nextSlot) ++g_Images.nextSlot;
    return record;
}

void FreeBlitCopies(ImageRecord* record) {
    if (record->screenPixels) EngineFree(record->screenPixels);
    if (record->spanRows) EngineFree(record->spanRows);
    if (record->spans) EngineFree(record->spans);
    record->screenPixels = nullptr;
    record->spanRows = nullptr;
    record->spans = nullptr;
}

void FreeRecord(int slot) {
    ImageRecord* record = g_ImageRecords[slot];
    if (!record) return;
    if (record->pixels) EngineFree(record->pixels);
    FreeBlitCopies(record);
    if (record->sourcePath) EngineFree(record->sourcePath);
    EngineFree(record);
    g_ImageRecords[slot] = nullptr;
    --g_Images.count;
}

// Makes the 16-bit storage; -1 (and the record released) when it cannot.
int MakeStorage(ImageRecord* record, int width, int height, int hasAlpha) {
    record->width = width;
    record->height = height;
    record->hasAlpha = hasAlpha ? 1 : 0;
    record->format = hasAlpha ? ImageStorageA4R4G4B4 : ImageStorageA1R5G5B5;
    record->pitch = width;
    record->transparentKey = g_TransparentKey & 0xFFFFFF;
    size_t bytes = size_t(width) * size_t(height) * 2;
    record->pixels = static_cast<uint16_t*>(EngineAllocZeroed(bytes ? bytes : 2));
    if (!record->pixels) {
        LogWrite("テクスチャの作成に失敗しました\n");
        FreeRecord(record->handle & 0x7FFF);
        return -1;
    }
    // The drawing copies are a speed-up only: without memory for them the
    // picture is drawn from its pixels.
    if (!hasAlpha) {
        size_t count = size_t(width) * size_t(height);
        size_t spanCount = size_t(height) * size_t((width + 1) / 2);
        record->screenPixels = static_cast<uint16_t*>(EngineAlloc(count * sizeof(uint16_t)));
        record->spanRows = static_cast<uint32_t*>(EngineAlloc((size_t(height) + 1) * sizeof(uint32_t)));
        record->spans = static_cast<ImageSpan*>(EngineAlloc(spanCount * sizeof(ImageSpan)));
        if (!record->screenPixels || !record->spanRows || !record->spans) FreeBlitCopies(record);
    }
    record->blitStale = 1;
    return 0;
}

typedef int (*Decoder)(EngineStream*, DecodedImage*);
struct DecoderEntry {
    Decoder decode;
    const char* name;
};
const DecoderEntry kDecoders[] = {
    {DecodeBmp, "BMP"},      {DecodeJpeg, "JPEG"}, {DecodePng, "PNG"},
    {DecodeRawBgra, "BGRA"}, {DecodeTga, "TGA"},   {DecodeDds, "DDS"},
};

}  // namespace

// --------------------------------------------------------------- helpers

namespace {
thread_local const char* t_DecodeFailure;
}

int DecodeRefuse(const char* reason) {
    t_DecodeFailure = reason;
    return -1;
}

const char* ImageDecodeFailure() { return t_DecodeFailure; }

int AllocDecoded(DecodedImage* out, int64_t width, int64_t height) {
    std::memset(out, 0, sizeof *out);
    if (width <= 0 || height <= 0 || width > ImageMaxSide || height > ImageMaxSide)
        return DecodeRefuse("picture side out of range");
    uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
    if (bytes > ImageMaxPixelBytes) return DecodeRefuse("picture too large");
    out->pixels = static_cast<uint8_t*>(EngineAllocZeroed(size_t(bytes)));
    if (!out->pixels) return DecodeRefuse("out of memory for the picture");
    out->width = int(width);
    out->height = int(height);
    return 0;
}

uint8_t* ReadBlock(EngineStream* s, uint64_t offset, uint64_t size) {
    int64_t total = EngineStreamSize(s);
    if (total < 0 || offset > uint64_t(total) || size > uint64_t(total) - offset) return nullptr;
    if (size > ImageMaxPixelBytes * 2) return nullptr;
    uint8_t* block = static_cast<uint8_t*>(EngineAlloc(size_t(size ? size : 1)));
    if (!block) return nullptr;
    if (EngineStreamSeek(s, int64_t(offset), 0) != 0 || EngineStreamReadExact(s, block, size_t(size)) != 0) {
        EngineFree(block);
        return nullptr;
    }
    return block;
}

void FreeDecodedImage(DecodedImage* image) {
    if (!image) return;
    if (image->pixels) EngineFree(image->pixels);
    std::memset(image, 0, sizeof *image);
}

// ------------------------------------------------------------ the table

void BuildImageBlit(ImageRecord* record) {
    static_assert(ImageMaxSide <= 65535, "span columns are 16-bit");
    int width = record->width, pitch = record->pitch;
    bool allOpaque = true;
    uint32_t used = 0;
    for (int y = 0; y < record->height; ++y) {
        const uint16_t* row = record->pixels + size_t(y) * size_t(pitch);
        uint16_t* screen = record->screenPixels + size_t(y) * size_t(pitch);
        for (int x = 0; x < width; ++x) screen[x] = A1ToR565(row[x]);
        record->spanRows[y] = used;
        // Spans are separated by at least one keyed pixel: at most
        // (width + 1) / 2 of them in a row.
        int x = 0;
        while (x < width) {
            while (x < width && !(row[x] & 0x8000)) ++x;
            int start = x;
            while (x < width && (row[x] & 0x8000)) ++x;
            if (x > start) record->spans[used++] = ImageSpan{uint16_t(start), uint16_t(x)};
        }
        if (used - record->spanRows[y] != 1 || record->spans[used - 1].start != 0 ||
            record->spans[used - 1].end != width)
            allOpaque = false;
    }
    record->spanRows[record->height] = used;
    record->blitOpaque = allOpaque ? 1 : 0;
    record->blitStale = 0;
}

ImageRecord* GetImageSlot(int slot) {
    if (slot < 0 || slot >= ImageSlotCount) return nullptr;
    return g_ImageRecords[slot];
}

int ImageCount() { return g_Images.count; }

int CreateEmptyImage(int width, int height, int hasAlpha, int drawable) {
    if (width <= 0 || height <= 0 || width > ImageMaxSide || height > ImageMaxSide) return -1;
    if (uint64_t(width) * uint64_t(height) * 4 > ImageMaxPixelBytes) return -1;
    ImageRecord* record = NewRecord();
    int handle = record->handle;
    if (MakeStorage(record, width, height, hasAlpha) != 0) return -1;
    record->drawable = drawable ? 1 : 0;
    record->valid = 1;
    return handle;
}

int DeleteImage(int handle) {
    if (!GetImage(handle)) return -1;
    FreeRecord(handle & 0x7FFF);
    return 0;
}

void EndImages() {
    for (int i = 0; i < ImageSlotCount; ++i) FreeRecord(i);
    std::memset(&g_Images, 0, sizeof g_Images);
    std::memset(g_ImageRecords, 0, sizeof g_ImageRecords);
}

int CreateImageFromDecoded(const DecodedImage* image, const DecodedImage* alpha, const char* sourcePath) {
    if (!image || !image->pixels || image->width <= 0 || image->height <= 0) return -1;
    bool useCompanion = alpha && alpha->pixels && alpha->width == image->width && alpha->height == image->height;
    int hasAlpha = image->hasAlpha || useCompanion;
    ImageRecord* record = NewRecord();
    int handle = record->handle;
    if (MakeStorage(record, image->width, image->height, hasAlpha) != 0) return -1;
    uint32_t key = uint32_t(record->transparentKey);
    bool keyed = g_TransparentKeyEnabled != 0;
    for (int y = 0; y < image->height; ++y) {
        const uint8_t* src = image->pixels + size_t(y) * size_t(image->width) * 4;
        const uint8_t* mask = useCompanion ? alpha->pixels + size_t(y) * size_t(alpha->width) * 4 : nullptr;
        uint16_t* dst = record->pixels + size_t(y) * size_t(record->pitch);
        for (int x = 0; x < image->width; ++x, src += 4) {
            uint32_t r = src[0], g = src[1], b = src[2];
            if (hasAlpha) {
                uint32_t a = mask ? mask[x * 4 + 2] : src[3];
                dst[x] = uint16_t((a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
            } else {
                // The key is compared with the decoded 8-bit colour, so a
                // near-key colour stays opaque although it reduces the same.
                uint32_t opaque = keyed && ((r << 16) | (g << 8) | b) == key ? 0 : 0x8000;
                dst[x] = uint16_t(opaque | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
            }
        }
    }
    if (sourcePath) {
        size_t n = std::strlen(sourcePath) + 1;
        record->sourcePath = static_cast<char*>(EngineAlloc(n));
        if (record->sourcePath) std::memcpy(record->sourcePath, sourcePath, n);
    }
    PrepareImageBlit(record);
    record->valid = 1;
    return handle;
}

// ------------------------------------------------------------- decoding

int DecodeImageStream(EngineStream* stream, DecodedImage* out, const char** decoderName) {
    t_DecodeFailure = "no decoder recognises the picture";
    for (const DecoderEntry& d : kDecoders) {
        std::memset(out, 0, sizeof *out);
        if (EngineStreamSeek(stream, 0, 0) != 0) return DecodeRefuse("the stream cannot be rewound");
        if (d.decode(stream, out) == 0 && out->pixels) {
            if (decoderName) *decoderName = d.name;
            t_DecodeFailure = nullptr;
            return 0;
        }
        FreeDecodedImage(out);
    }
    if (decoderName) *decoderName = nullptr;
    return -1;
}

int DecodeImageMemory(const void* data, size_t size, DecodedImage* out, const char** decoderName) {
    EngineStream stream;
    EngineStreamFromMemory(&stream, data, size);
    return DecodeImageStream(&stream, out, decoderName);
}

int DecodeImageFile(const char* path, DecodedImage* out, const char** decoderName) {
    std::memset(out, 0, sizeof *out);
    if (decoderName) *decoderName = nullptr;
    int handle = FileOpen(path, 0, 1, 0);
    if (handle == 0) {
        t_DecodeFailure = "the file cannot be opened";
        return -2;
    }
    EngineStream stream;
    EngineStreamFromFile(&stream, handle);
    int result = DecodeImageStream(&stream, out, decoderName);
    FileClose(handle);
    return result;
}

int ImageCompanionName(const char* path, char* out, size_t outSize) {
    size_t length = std::strlen(path);
    if (length + 3 > outSize) return -1;
    size_t dot = length;
    for (size_t i = 0; i < length; ++i) {
        uint8_t b = uint8_t(path[i]);
        if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < length) {
            ++i;  // a double-byte character
            continue;
        }
        if (b == '.') {
            dot = i;
            break;
        }
    }
    std::memcpy(out, path, dot);
    out[dot] = '_';
    out[dot + 1] = 'a';
    std::memcpy(out + dot + 2, path + dot, length - dot + 1);
    return 0;
}

// -------------------------------------------------------- LoadImageFile

int LoadImageFile(const char* path, int) {
    // Images live in the graphics module, which ends them.
    if (!g_Window.initialised || !EngineModuleChosen(EngineModuleGraphics) || !path) return -1;
    WaitWhileInactive();
    DecodedImage image;
    const char* decoder = nullptr;
    int result = DecodeImageFile(path, &image, &decoder);
    if (result == -2) {
        LogWriteFormat("グラフィックファイル %s がありません", path);
        return -1;
    }
    if (result != 0) {
        char line[FilePathMax + 128];
        std::snprintf(line, sizeof line, "右記のグラフィックファイルのロードに失敗しました：%s \n", path);
        LogWrite(line);
        return -1;
    }
    DecodedImage companion;
    std::memset(&companion, 0, sizeof companion);
    char companionName[FilePathMax];
    if (ImageCompanionName(path, companionName, sizeof companionName) == 0) {
        const char* ignored = nullptr;
        if (DecodeImageFile(companionName, &companion, &ignored) != 0) FreeDecodedImage(&companion);
    }
    int handle = CreateImageFromDecoded(&image, companion.pixels ? &companion : nullptr, path);
    FreeDecodedImage(&companion);
    FreeDecodedImage(&image);
    return handle;
}
