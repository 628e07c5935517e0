// DDS: DXT1, DXT3, DXT5 and uncompressed RGB / RGBA / luminance surfaces
// described by masks. Only the top mip level is read.
#include "engine/core/core.h"
#include "engine/image/image_internal.h"

namespace {

enum {
    PixelAlphaPixels = 0x1,
    PixelAlpha = 0x2,
    PixelFourCC = 0x4,
    PixelRgb = 0x40,
    PixelLuminance = 0x20000,
};

uint32_t FourCC(const char* s) { return LoadU32(reinterpret_cast<const uint8_t*>(s)); }

void Expand565(uint16_t v, uint8_t* rgb) {
    int r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    rgb[0] = uint8_t((r << 3) | (r >> 2));
    rgb[1] = uint8_t((g << 2) | (g >> 4));
    rgb[2] = uint8_t((b << 3) | (b >> 2));
}

// Colours of one 4 x 4 block into rgba[16][4]; returns 1 when a
// punch-through (transparent) texel occurred.
int ColourBlock(const uint8_t* block, bool fourColour, uint8_t rgba[16][4]) {
    uint16_t c0 = LoadU16(block), c1 = LoadU16(block + 2);
    uint8_t palette[4][4];
    Expand565(c0, palette[0]);
    Expand565(c1, palette[1]);
    palette[0][3] = palette[1][3] = palette[2][3] = palette[3][3] = 255;
    for (int i = 0; i < 3; ++i) {
        if (fourColour || c0 > c1) {
            palette[2][i] = uint8_t((2 * palette[0][i] + palette[1][i]) / 3);
            palette[3][i] = uint8_t((palette[0][i] + 2 * palette[1][i]) / 3);
        } else {
            palette[2][i] = uint8_t((palette[0][i] + palette[1][i]) / 2);
            palette[3][i] = 0;
        }
    }
    bool punch = !fourColour && c0 <= c1;
    if (punch) palette[3][3] = 0;
    uint32_t bits = LoadU32(block + 4);
    int transparent = 0;
    for (int t = 0; t < 16; ++t) {
        int index = (bits >> (2 * t)) & 3;
        std::memcpy(rgba[t], palette[index], 4);
        if (punch && index == 3) transparent = 1;
    }
    return transparent;
}

void AlphaBlockDxt3(const uint8_t* block, uint8_t rgba[16][4]) {
    for (int t = 0; t < 16; ++t) {
        int a = (block[t / 2] >> ((t & 1) * 4)) & 15;
        rgba[t][3] = uint8_t(a * 17);
    }
}

void AlphaBlockDxt5(const uint8_t* block, uint8_t rgba[16][4]) {
    int a0 = block[0], a1 = block[1];
    int alphas[8] = {a0, a1};
    if (a0 > a1) {
        for (int i = 1; i <= 6; ++i) alphas[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i <= 4; ++i) alphas[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        alphas[6] = 0;
        alphas[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int t = 0; t < 16; ++t) rgba[t][3] = uint8_t(alphas[(bits >> (3 * t)) & 7]);
}

}  // namespace

int DecodeDds(EngineStream* s, DecodedImage* out) {
    uint8_t h[128];
    if (EngineStreamReadExact(s, h, 128) != 0 || h[0] != 'D' || h[1] != 'D' || h[2] != 'S') return -1;
    const uint8_t* d = h + 4;
    if (LoadU32(d) != 124) return DecodeRefuse("DDS: header size other than 124");
    uint32_t height = LoadU32(d + 8), width = LoadU32(d + 12);
    uint32_t pfFlags = LoadU32(d + 76), fourCC = LoadU32(d + 80), bitCount = LoadU32(d + 84);
    uint32_t masks[4] = {LoadU32(d + 88), LoadU32(d + 92), LoadU32(d + 96), LoadU32(d + 100)};
    if (width == 0 || height == 0 || width > ImageMaxSide || height > ImageMaxSide)
        return DecodeRefuse("DDS: width or height out of range");
    uint64_t left = StreamBytesLeft(s);

    if (pfFlags & PixelFourCC) {
        int kind;
        if (fourCC == FourCC("DXT1")) kind = 1;
        else if (fourCC == FourCC("DXT2") || fourCC == FourCC("DXT3")) kind = 3;
        else if (fourCC == FourCC("DXT4") || fourCC == FourCC("DXT5")) kind = 5;
        else return DecodeRefuse("DDS: compression other than DXT1 ... DXT5");
        uint64_t blocksX = (uint64_t(width) + 3) / 4, blocksY = (uint64_t(height) + 3) / 4;
        uint64_t blockBytes = kind == 1 ? 8 : 16;
        uint64_t size = blocksX * blocksY * blockBytes;
        // Checked before allocating: the blocks must be in the file.
        if (size > left) return DecodeRefuse("DDS: the file is too short for its blocks");
        if (AllocDecoded(out, width, height) != 0) return -1;
        DecodedOwner owner(out);
        EngineBlock block(ReadBlock(s, 128, size));
        const uint8_t* data = block.data;
        if (!data) return DecodeRefuse("DDS: the pixel data cannot be read");
        int anyTransparent = 0;
        for (uint64_t by = 0; by < blocksY; ++by) {
            for (uint64_t bx = 0; bx < blocksX; ++bx) {
                const uint8_t* block = data + (by * blocksX + bx) * blockBytes;
                uint8_t rgba[16][4];
                if (kind == 1) {
                    anyTransparent |= ColourBlock(block, false, rgba);
                } else {
                    ColourBlock(block + 8, true, rgba);
                    if (kind == 3) AlphaBlockDxt3(block, rgba);
                    else AlphaBlockDxt5(block, rgba);
                }
                for (int t = 0; t < 16; ++t) {
                    uint64_t x = bx * 4 + uint64_t(t % 4), y = by * 4 + uint64_t(t / 4);
                    if (x < width && y < height)
                        PutPixel(out, int(x), int(y), rgba[t][0], rgba[t][1], rgba[t][2], rgba[t][3]);
                }
            }
        }
        out->hasAlpha = kind != 1 || anyTransparent;
        return owner.Keep();
    }

    if (!(pfFlags & (PixelRgb | PixelLuminance | PixelAlpha)))
        return DecodeRefuse("DDS: pixel format neither colour, luminance nor alpha");
    if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return DecodeRefuse("DDS: bits per pixel other than 8, 16, 24 or 32");
    uint64_t bytes = bitCount / 8;
    uint64_t pitch = uint64_t(width) * bytes;
    uint64_t size = pitch * height;
    // Checked before allocating: the pixels must be in the file.
    if (size > left) return DecodeRefuse("DDS: the file is too short for its pixels");
    if (AllocDecoded(out, width, height) != 0) return -1;
    DecodedOwner owner(out);
    EngineBlock block(ReadBlock(s, 128, size));
    const uint8_t* data = block.data;
    if (!data) return DecodeRefuse("DDS: the pixel data cannot be read");
    bool alpha = (pfFlags & (PixelAlphaPixels | PixelAlpha)) && masks[3];
    bool luminance = (pfFlags & PixelLuminance) != 0;
    bool alphaOnly = (pfFlags & PixelAlpha) && !(pfFlags & (PixelRgb | PixelLuminance));
    MaskChannel r = MakeMaskChannel(masks[0]), g = MakeMaskChannel(masks[1]), b = MakeMaskChannel(masks[2]),
                a = MakeMaskChannel(masks[3]);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = data + uint64_t(y) * pitch;
        for (uint32_t x = 0; x < width; ++x, p += bytes) {
            uint32_t v = 0;
            for (uint64_t i = 0; i < bytes; ++i) v |= uint32_t(p[i]) << (8 * i);
            uint8_t red, green, blue;
            if (alphaOnly) {
                red = green = blue = 255;
            } else if (luminance) {
                red = green = blue = MaskValue(r, v);
            } else {
                red = MaskValue(r, v);
                green = MaskValue(g, v);
                blue = MaskValue(b, v);
            }
            PutPixel(out, int(x), int(y), red, green, blue, alpha ? MaskValue(a, v) : 255);
        }
    }
    out->hasAlpha = alpha ? 1 : 0;
    return owner.Keep();
}
