// Raw BGRA (the engine's own dump format) and TGA true-colour pictures.
#include "engine/core/core.h"
#include "engine/image/image_internal.h"

// 16-byte header: "BGRA", depth word, width, height; then rows of B, G, R,
// A per pixel, 8 or 16 bits a channel (16-bit channels keep the high byte).
int DecodeRawBgra(EngineStream* s, DecodedImage* out) {
    uint8_t header[16];
    if (EngineStreamReadExact(s, header, 16) != 0 || std::memcmp(header, "BGRA", 4) != 0) return -1;
    uint32_t depth = LoadU32(header + 4);
    if (depth != 0x10101010u && depth != 0x08080808u) return DecodeRefuse("BGRA: channels other than 8 or 16 bits");
    int32_t width = int32_t(LoadU32(header + 8)), height = int32_t(LoadU32(header + 12));
    size_t pixelBytes = depth == 0x10101010u ? 8 : 4;
    if (width <= 0 || height <= 0) return DecodeRefuse("BGRA: width or height is 0 or negative");
    // Checked before allocating: the pixels must be in the file.
    uint64_t dataSize = uint64_t(width) * uint64_t(height) * pixelBytes;
    if (dataSize > StreamBytesLeft(s)) return DecodeRefuse("BGRA: the file is too short for its pixels");
    if (AllocDecoded(out, width, height) != 0) return -1;
    DecodedOwner owner(out);
    EngineBlock data(ReadBlock(s, 16, dataSize));
    if (!data.data) return DecodeRefuse("BGRA: the pixel data cannot be read");
    out->hasAlpha = 1;
    const uint8_t* p = data.data;
    int high = pixelBytes == 8 ? 1 : 0;  // little-endian: the high byte is second
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x, p += pixelBytes) {
            size_t c = pixelBytes / 4;
            PutPixel(out, x, y, p[2 * c + high], p[1 * c + high], p[0 + high], p[3 * c + high]);
        }
    }
    return owner.Keep();
}

namespace {

void TgaPixel(const uint8_t* p, int bytes, bool useAlpha, uint8_t* rgba) {
    if (bytes == 2) {
        uint16_t v = LoadU16(p);
        int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        rgba[0] = uint8_t((r << 3) | (r >> 2));
        rgba[1] = uint8_t((g << 3) | (g >> 2));
        rgba[2] = uint8_t((b << 3) | (b >> 2));
        rgba[3] = 255;
        return;
    }
    rgba[0] = p[2];
    rgba[1] = p[1];
    rgba[2] = p[0];
    rgba[3] = bytes == 4 && useAlpha ? p[3] : 255;
}

}  // namespace

// 18-byte header, image types 2 (raw) and 10 (run-length), no colour map,
// 16/24/32 bits, sides up to 8192. The footer is optional and not needed.
int DecodeTga(EngineStream* s, DecodedImage* out) {
    uint8_t h[18];
    if (EngineStreamReadExact(s, h, 18) != 0) return -1;
    int idLength = h[0], mapType = h[1], type = h[2];
    int width = LoadU16(h + 12), height = LoadU16(h + 14), bits = h[16], descriptor = h[17];
    // TGA has no signature: a colour map or another image type is taken
    // for another format.
    if (mapType != 0 || (type != 2 && type != 10)) return -1;
    if (bits != 16 && bits != 24 && bits != 32) return DecodeRefuse("TGA: bits per pixel other than 16, 24 or 32");
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return DecodeRefuse("TGA: width or height out of range");
    if (LoadU16(h + 5) != 0) return DecodeRefuse("TGA: a colour map length without a map");
    int bytes = bits / 8;
    bool useAlpha = bits == 32 && (descriptor & 0x0F) != 0;
    bool topDown = (descriptor & 0x20) != 0, rightToLeft = (descriptor & 0x10) != 0;

    uint64_t start = 18 + uint64_t(idLength);
    uint64_t total = uint64_t(EngineStreamSize(s));
    if (start > total) return DecodeRefuse("TGA: the file ends in its image id");
    uint64_t available = total - start;
    uint64_t pixelCount = uint64_t(width) * uint64_t(height);
    uint64_t rawSize = pixelCount * uint64_t(bytes);
    // Checked before allocating: the pixels must be in the file. A run of
    // one head byte and one pixel gives at most 128 pixels.
    if (type == 2 && rawSize > available) return DecodeRefuse("TGA: the file is too short for its pixels");
    if (type == 10 && (pixelCount + 127) / 128 * uint64_t(1 + bytes) > available)
        return DecodeRefuse("TGA: the file is too short for its run-length pixels");
    // A run-length stream is at most one head byte per pixel longer.
    uint64_t readSize = type == 2 ? rawSize : (available < rawSize + pixelCount ? available : rawSize + pixelCount);
    if (AllocDecoded(out, width, height) != 0) return -1;
    DecodedOwner owner(out);
    EngineBlock block(ReadBlock(s, start, readSize));
    const uint8_t* data = block.data;
    if (!data) return DecodeRefuse("TGA: the pixel data cannot be read");
    out->hasAlpha = useAlpha ? 1 : 0;

    uint64_t ip = 0, pixel = 0;
    uint8_t rgba[4];
    auto place = [&](uint64_t index) {
        int row = int(index / uint64_t(width)), column = int(index % uint64_t(width));
        int y = topDown ? row : height - 1 - row;
        int x = rightToLeft ? width - 1 - column : column;
        PutPixel(out, x, y, rgba[0], rgba[1], rgba[2], rgba[3]);
    };
    if (type == 2) {
        for (; pixel < pixelCount; ++pixel, ip += uint64_t(bytes)) {
            TgaPixel(data + ip, bytes, useAlpha, rgba);
            place(pixel);
        }
    } else {
        while (pixel < pixelCount) {
            if (ip >= readSize) return DecodeRefuse("TGA: run-length data ends before the picture");
            uint8_t head = data[ip++];
            uint64_t count = uint64_t(head & 0x7F) + 1;
            if (count > pixelCount - pixel) count = pixelCount - pixel;
            if (head & 0x80) {
                if (readSize - ip < uint64_t(bytes)) return DecodeRefuse("TGA: run-length data ends in a pixel");
                TgaPixel(data + ip, bytes, useAlpha, rgba);
                ip += uint64_t(bytes);
                for (uint64_t i = 0; i < count; ++i) place(pixel++);
            } else {
                if (readSize - ip < count * uint64_t(bytes))
                    return DecodeRefuse("TGA: run-length data ends in a raw packet");
                for (uint64_t i = 0; i < count; ++i, ip += uint64_t(bytes)) {
                    TgaPixel(data + ip, bytes, useAlpha, rgba);
                    place(pixel++);
                }
            }
        }
    }
    return owner.Keep();
}
