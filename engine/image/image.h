// Images: the handle table, the stored 16-bit pictures the blitters read,
// the transparent colour key, and the decoder chain that turns a picture
// file into 8-bit RGBA.
//
// Engine-internal; the game sees only LoadImageFile in engine/engine.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/handle.h"

struct EngineStream;

// ------------------------------------------------------------- handles
// As engine/core/handle.h encodes them, kind 1. The first image of a run is
// 0x08000000, the second 0x08010001.
enum {
    ImageSlotCount = HandleSlotCount,
    ImageHandleKind = HandleKindImage,
    ImageCheckCount = HandleCheckCount,
    // Largest side and largest 8-bit RGBA buffer a decoder accepts.
    ImageMaxSide = 16384,
};
constexpr size_t ImageMaxPixelBytes = size_t(256) << 20;

// ------------------------------------------------------------- storage
enum ImageStorageFormat {
    // 15-bit colour with one transparency bit (bit 15: 1 opaque, 0 key).
    ImageStorageA1R5G5B5 = 0,
    // Pictures that brought their own alpha: 4 bits a channel.
    ImageStorageA4R4G4B4 = 1,
};

// Columns [start, end) of one row, all opaque.
struct ImageSpan {
    uint16_t start, end;
};

struct ImageRecord {
    int check;           // 11-bit check number, copied into the handle
    int handle;          // full handle value
    int width, height;   // picture size in pixels
    int transparentKey;  // 0xRRGGBB copied from g_TransparentKey at creation
    int hasAlpha;        // 1: the picture has its own alpha (A4R4G4B4)
    int format;          // ImageStorageFormat
    uint16_t* pixels;    // width x height, rows of `pitch` pixels
    int pitch;           // row length in pixels (not bytes)
    int valid;           // 1 once pixels hold the picture
    int drawable;        // 1 when the image may be a draw target
    int movieLink;       // -1 for pictures
    char* sourcePath;    // path it was loaded from (null for made images)

    // Drawing copies of an A1R5G5B5 picture (null for others, or when
    // there was no memory for them): its colours in the screen's R5G6B5
    // layout, and the opaque spans of each row, row y's being
    // spans[spanRows[y]] ... spans[spanRows[y + 1] - 1], left to right.
    // Whatever writes into `pixels` sets blitStale; the copies are rebuilt
    // before the picture is drawn again.
    uint16_t* screenPixels;  // rows of `pitch` pixels
    uint32_t* spanRows;      // height + 1 entries
    ImageSpan* spans;        // room for the most a row can have, every row
    int blitOpaque;          // no pixel is keyed out
    int blitStale;
};

// Stored opaque pixel (A1R5G5B5) to the screen's R5G6B5; green's top bit
// is repeated into the new low bit so that full green stays full.
inline uint16_t A1ToR565(uint16_t p) {
    return uint16_t(((p & 0x7FE0) << 1) | ((p >> 4) & 0x20) | (p & 0x1F));
}

// Rebuilds the drawing copies from `pixels` and clears blitStale.
void BuildImageBlit(ImageRecord* record);
// Brings the drawing copies up to date with `pixels`. False when the
// picture has none (it is then drawn from `pixels` alone).
inline bool PrepareImageBlit(ImageRecord* record) {
    if (!record->screenPixels || !record->spans || !record->pixels) return false;
    if (record->blitStale) BuildImageBlit(record);
    return true;
}

// The slot table: a record or null per slot.
extern ImageRecord* g_ImageRecords[ImageSlotCount];

// The record of a valid handle, or null for anything else. Inline: every
// draw asks it.
inline ImageRecord* GetImage(int handle) {
    const int slot = HandleSlot(handle, ImageHandleKind);
    if (slot < 0) return nullptr;
    ImageRecord* record = g_ImageRecords[slot];
    if (!record || record->check != HandleCheck(handle)) return nullptr;
    return record;
}
// The record in a slot (0 ... 32767) or null.
ImageRecord* GetImageSlot(int slot);
int ImageCount();

// Transparent colour key, 0xRRGGBB, start value black. SetTransparentColor
// writes it; every image copies it when it is created. While
// g_TransparentKeyEnabled is 0 (an 8-bit screen) no pixel is keyed out.
extern int g_TransparentKey;
extern int g_TransparentKeyEnabled;

// An image with zeroed pixels (all transparent): for draw-target images
// and made pictures. Returns the handle or -1.
int CreateEmptyImage(int width, int height, int hasAlpha, int drawable);
// Frees one image; -1 for an invalid handle.
int DeleteImage(int handle);
// Frees every image and resets the table so that the next image is again
// 0x08000000. EndGraphics calls it.
void EndImages();

// ------------------------------------------------------------- decoding
// A decoded picture: 8-bit R, G, B, A per pixel, rows of width * 4 bytes,
// top row first. hasAlpha is 0 when the format had no alpha channel (A is
// then 255 everywhere). pixels come from EngineAlloc.
struct DecodedImage {
    int width, height;
    int hasAlpha;
    uint8_t* pixels;
};
void FreeDecodedImage(DecodedImage* image);

// Each decoder reads from the current content of the stream (rewound to
// its start by the chain) and returns 0 when it recognised and decoded the
// picture, non-zero otherwise, leaving `out` empty.
int DecodeBmp(EngineStream* stream, DecodedImage* out);
int DecodeJpeg(EngineStream* stream, DecodedImage* out);
int DecodePng(EngineStream* stream, DecodedImage* out);
int DecodeRawBgra(EngineStream* stream, DecodedImage* out);
int DecodeTga(EngineStream* stream, DecodedImage* out);
int DecodeDds(EngineStream* stream, DecodedImage* out);

// Why the last decode on this thread refused its picture: a fixed English
// text ("BMP: ...", "no decoder recognises the picture"), or null after a
// success. Each decoder sets it where it refuses a picture it recognised.
const char* ImageDecodeFailure();

// The whole chain in its order (BMP, JPEG, PNG, raw BGRA, TGA, DDS).
// 0 on success with *decoderName set ("BMP", "JPEG", "PNG", "BGRA", "TGA",
// "DDS"); -1 when no decoder takes the stream.
int DecodeImageStream(EngineStream* stream, DecodedImage* out, const char** decoderName);
int DecodeImageMemory(const void* data, size_t size, DecodedImage* out, const char** decoderName);
// Opens path through the file layer. Returns 0 decoded, -1 no decoder
// took it, -2 the file could not be opened. Writes no log line.
int DecodeImageFile(const char* path, DecodedImage* out, const char** decoderName);

// The companion alpha picture's name: path with "_a" inserted before its
// first '.' (double-byte characters skipped as units), or appended when
// there is none. Returns 0, or -1 when it does not fit.
int ImageCompanionName(const char* path, char* out, size_t outSize);

// Builds a record from a decoded picture (and an optional companion of the
// same size whose blue channel gives alpha). The transparency rule uses the current key.
// Returns the handle or -1.
int CreateImageFromDecoded(const DecodedImage* image, const DecodedImage* alpha,
                           const char* sourcePath);
