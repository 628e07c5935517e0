// Helpers the decoders share.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/core/core.h"
#include "engine/files/files.h"
#include "engine/image/image.h"

inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t LoadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Bytes from the current position to the end of the stream (0 if unknown).
inline uint64_t StreamBytesLeft(EngineStream* s) {
    int64_t size = EngineStreamSize(s), at = EngineStreamTell(s);
    return size > at && at >= 0 ? uint64_t(size - at) : 0;
}

// A decoder's refusal of a picture it recognised: keeps the reason for
// ImageDecodeFailure and returns -1. A stream that is not the decoder's
// format is turned away with a plain -1, which keeps the earlier reason.
int DecodeRefuse(const char* reason);

// Owns an EngineAlloc block and frees it on every way out of the scope.
struct EngineBlock {
    uint8_t* data;
    explicit EngineBlock(uint8_t* block) : data(block) {}
    ~EngineBlock() {
        if (data) EngineFree(data);
    }
    EngineBlock(const EngineBlock&) = delete;
    EngineBlock& operator=(const EngineBlock&) = delete;
};

// Empties a decoded picture on every way out of the scope but Keep().
struct DecodedOwner {
    DecodedImage* image;
    explicit DecodedOwner(DecodedImage* decoded) : image(decoded) {}
    ~DecodedOwner() {
        if (image) FreeDecodedImage(image);
    }
    int Keep() {
        image = nullptr;
        return 0;
    }
    DecodedOwner(const DecodedOwner&) = delete;
    DecodedOwner& operator=(const DecodedOwner&) = delete;
};

// Allocates out->pixels for width x height after the size limits.
// 0 on success.
int AllocDecoded(DecodedImage* out, int64_t width, int64_t height);

// Reads `size` bytes at absolute offset into a new EngineAlloc block.
uint8_t* ReadBlock(EngineStream* s, uint64_t offset, uint64_t size);

// A channel of a masked pixel value scaled to 8 bits (0 when no mask).
// Narrow channels repeat their bits downward (5-bit 0x1F reads 0xFF and
// reduces back to 0x1F); wide ones keep their top 8 bits.
struct MaskChannel {
    uint32_t mask;
    int shift;
    int width;
};
inline MaskChannel MakeMaskChannel(uint32_t mask) {
    MaskChannel c{mask, 0, 0};
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    uint32_t m = mask >> c.shift;
    while (c.width < 32 && (m >> c.width)) ++c.width;
    return c;
}
inline uint8_t MaskValue(const MaskChannel& c, uint32_t v) {
    if (!c.width) return 0;
    uint32_t x = (v & c.mask) >> c.shift;
    if (c.width >= 8) return uint8_t(x >> (c.width - 8));
    uint32_t r = 0;
    int filled = 0;
    while (filled < 8) {
        r = (r << c.width) | x;
        filled += c.width;
    }
    return uint8_t(r >> (filled - 8));
}

inline void PutPixel(DecodedImage* out, int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    uint8_t* p = out->pixels + (size_t(y) * size_t(out->width) + size_t(x)) * 4;
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
}
