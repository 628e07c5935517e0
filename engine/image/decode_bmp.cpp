// BMP: 1/4/8 bits with palette, 16/32 with or without bit-field masks, 24,
// RLE8; bottom-up rows, or top-down for a negative height.
#include "engine/core/core.h"
#include "engine/image/image_internal.h"

namespace {

enum { CompressionRgb = 0, CompressionRle8 = 1, CompressionBitFields = 3 };

struct Palette {
    uint8_t rgb[256][3];
    int count;
};

void PaletteColour(const Palette& pal, unsigned index, uint8_t* rgb) {
    if (index < unsigned(pal.count)) {
        rgb[0] = pal.rgb[index][0];
        rgb[1] = pal.rgb[index][1];
        rgb[2] = pal.rgb[index][2];
    } else {
        rgb[0] = rgb[1] = rgb[2] = 0;  // index beyond the palette
    }
}

// Rows of RLE8 data into palette indices (bottom-up storage row order).
int DecodeRle8(const uint8_t* data, size_t size, int width, int height, uint8_t* indices) {
    size_t ip = 0;
    int x = 0, y = 0;
    while (ip + 2 <= size) {
        uint8_t count = data[ip], value = data[ip + 1];
        ip += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                if (y < height) indices[size_t(y) * size_t(width) + size_t(x++)] = value;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            return 0;
        } else if (value == 2) {  // delta
            if (ip + 2 > size) return -1;
            x += data[ip];
            y += data[ip + 1];
            ip += 2;
        } else {  // absolute run, padded to 16 bits
            size_t run = value;
            if (size - ip < run) return -1;
            for (size_t i = 0; i < run; ++i) {
                if (x < width && y < height) indices[size_t(y) * size_t(width) + size_t(x)] = data[ip + i];
                ++x;
            }
            ip += run + (run & 1);
        }
        if (y >= height) return 0;
    }
    return -1;  // the data ran out before the picture was complete
}

}  // namespace

int DecodeBmp(EngineStream* s, DecodedImage* out) {
    uint8_t fileHeader[14];
    if (EngineStreamReadExact(s, fileHeader, 14) != 0) return -1;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return -1;  // not a BMP
    uint32_t pixelOffset = LoadU32(fileHeader + 10);
    uint64_t fileSize = uint64_t(EngineStreamSize(s));

    uint8_t info[56] = {};
    if (EngineStreamReadExact(s, info, 4) != 0) return DecodeRefuse("BMP: the file ends in its header");
    uint32_t infoSize = LoadU32(info);
    if (infoSize < 40 || infoSize > fileSize) return DecodeRefuse("BMP: unknown information header size");
    size_t infoRead = infoSize < sizeof info ? infoSize : sizeof info;
    if (EngineStreamReadExact(s, info + 4, infoRead - 4) != 0)
        return DecodeRefuse("BMP: the file ends in its header");
    int32_t width = int32_t(LoadU32(info + 4));
    int32_t rawHeight = int32_t(LoadU32(info + 8));
    int bits = LoadU16(info + 14);
    uint32_t compression = LoadU32(info + 16);
    uint32_t colours = LoadU32(info + 32);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        return DecodeRefuse("BMP: width or height is 0 or negative");
    bool topDown = rawHeight < 0;
    int32_t height = topDown ? -rawHeight : rawHeight;

    bool palettised = bits == 1 || bits == 4 || bits == 8;
    if (compression == CompressionRle8) {
        if (bits != 8 || topDown) return DecodeRefuse("BMP: run-length data other than 8 bits bottom-up");
    } else if (compression == CompressionBitFields) {
        if (bits != 16 && bits != 32) return DecodeRefuse("BMP: bit-field masks at other than 16 or 32 bits");
    } else if (compression != CompressionRgb) {
        return DecodeRefuse("BMP: unsupported compression");
    } else if (!palettised && bits != 16 && bits != 24 && bits != 32) {
        return DecodeRefuse("BMP: unsupported bits per pixel");
    }

    // Masks: inside a larger header, else right after the 40-byte one.
    uint32_t masks[3] = {0, 0, 0};
    uint64_t afterInfo = 14 + uint64_t(infoSize);
    if (compression == CompressionBitFields) {
        if (infoSize >= 52) {
            masks[0] = LoadU32(info + 40);
            masks[1] = LoadU32(info + 44);
            masks[2] = LoadU32(info + 48);
        } else {
            uint8_t m[12];
            if (EngineStreamSeek(s, int64_t(afterInfo), 0) != 0 || EngineStreamReadExact(s, m, 12) != 0)
                return DecodeRefuse("BMP: the file ends in its colour masks");
            masks[0] = LoadU32(m);
            masks[1] = LoadU32(m + 4);
            masks[2] = LoadU32(m + 8);
            afterInfo += 12;
        }
    } else if (bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }

    Palette palette;
    palette.count = 0;
    if (palettised) {
        uint32_t maxColours = 1u << bits;
        uint32_t count = colours ? colours : maxColours;
        if (count > maxColours) count = maxColours;
        uint8_t entries[256 * 4];
        if (EngineStreamSeek(s, int64_t(afterInfo), 0) != 0 || EngineStreamReadExact(s, entries, count * 4) != 0)
            return DecodeRefuse("BMP: the file ends in its palette");
        for (uint32_t i = 0; i < count; ++i) {
            palette.rgb[i][0] = entries[i * 4 + 2];
            palette.rgb[i][1] = entries[i * 4 + 1];
            palette.rgb[i][2] = entries[i * 4 + 0];
        }
        palette.count = int(count);
    }

    if (pixelOffset >= fileSize) return DecodeRefuse("BMP: pixel data offset beyond the end of the file");
    uint64_t stride = ((uint64_t(width) * uint64_t(bits) + 31) / 32) * 4;
    uint64_t dataSize;
    if (compression == CompressionRle8) {
        // At most two bytes a pixel plus the row ends can mean anything.
        uint64_t most = uint64_t(width) * uint64_t(height) * 2 + uint64_t(height) * 4 + 16;
        dataSize = fileSize - pixelOffset;
        if (dataSize > most) dataSize = most;
    } else {
        dataSize = stride * uint64_t(height);
        // Checked before allocating: the pixels must be in the file.
        if (dataSize > fileSize - pixelOffset) return DecodeRefuse("BMP: the file is too short for its pixels");
    }
    if (AllocDecoded(out, width, height) != 0) return -1;
    DecodedOwner owner(out);
    EngineBlock data(ReadBlock(s, pixelOffset, dataSize));
    if (!data.data) return DecodeRefuse("BMP: the pixel data cannot be read");

    if (compression == CompressionRle8) {
        size_t count = size_t(width) * size_t(height);
        EngineBlock indices(static_cast<uint8_t*>(EngineAllocZeroed(count)));
        if (!indices.data) return DecodeRefuse("BMP: out of memory for run-length data");
        if (DecodeRle8(data.data, size_t(dataSize), width, height, indices.data) != 0)
            return DecodeRefuse("BMP: run-length data ends before the picture");
        for (int32_t row = 0; row < height; ++row) {
            int32_t y = height - 1 - row;
            for (int32_t x = 0; x < width; ++x) {
                uint8_t rgb[3];
                PaletteColour(palette, indices.data[size_t(row) * size_t(width) + size_t(x)], rgb);
                PutPixel(out, x, y, rgb[0], rgb[1], rgb[2], 255);
            }
        }
        return owner.Keep();
    }

    MaskChannel red = MakeMaskChannel(masks[0]), green = MakeMaskChannel(masks[1]),
                blue = MakeMaskChannel(masks[2]);
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* src = data.data + uint64_t(row) * stride;
        int32_t y = topDown ? row : height - 1 - row;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t rgb[3];
            switch (bits) {
            case 1: PaletteColour(palette, (src[x >> 3] >> (7 - (x & 7))) & 1, rgb); break;
            case 4: PaletteColour(palette, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15, rgb); break;
            case 8: PaletteColour(palette, src[x], rgb); break;
            case 24:
                rgb[0] = src[x * 3 + 2];
                rgb[1] = src[x * 3 + 1];
                rgb[2] = src[x * 3 + 0];
                break;
            default: {
                uint32_t v = bits == 16 ? LoadU16(src + x * 2) : LoadU32(src + x * 4);
                rgb[0] = MaskValue(red, v);
                rgb[1] = MaskValue(green, v);
                rgb[2] = MaskValue(blue, v);
                break;
            }
            }
            PutPixel(out, x, y, rgb[0], rgb[1], rgb[2], 255);
        }
    }
    return owner.Keep();
}
