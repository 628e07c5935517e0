// Small pictures written by the tests themselves in every format the
// decoders take, from one RGBA source picture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

using Bytes = std::vector<uint8_t>;

struct Picture {
    int width = 0, height = 0;
    Bytes rgba;  // top row first
    const uint8_t* At(int x, int y) const { return rgba.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
};

// Channel values that survive 5-bit storage exactly (bits repeated).
inline uint8_t Five(int v) { return uint8_t((v << 3) | (v >> 2)); }

// A 5 x 3 picture (odd width: row padding shows) of distinct colours.
inline Picture TestPicture(bool withAlpha = false) {
    Picture p;
    p.width = 5;
    p.height = 3;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            int i = y * 5 + x;
            p.rgba.push_back(Five((i * 7) & 31));
            p.rgba.push_back(Five((i * 3 + 5) & 31));
            p.rgba.push_back(Five((31 - i * 2) & 31));
            p.rgba.push_back(withAlpha ? uint8_t(i * 17) : 255);
        }
    return p;
}

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// ------------------------------------------------------------------- BMP
struct BmpOptions {
    int bits = 24;
    bool topDown = false;
    bool bitFields = false;   // compression 3 with masks after the header
    uint32_t masks[3] = {0, 0, 0};
    bool rle8 = false;
};

inline Bytes MakeBmp(const Picture& p, const BmpOptions& o) {
    // Palette of the picture's distinct colours for the palette depths.
    std::vector<uint32_t> palette;
    std::vector<int> index(size_t(p.width * p.height));
    if (o.bits <= 8) {
        std::map<uint32_t, int> seen;
        for (int i = 0; i < p.width * p.height; ++i) {
            const uint8_t* c = p.rgba.data() + i * 4;
            uint32_t key = uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
            auto it = seen.find(key);
            if (it == seen.end()) {
                it = seen.emplace(key, int(palette.size())).first;
                palette.push_back(key);
            }
            index[size_t(i)] = it->second;
        }
    }
    Bytes pixels;
    int stride = ((p.width * o.bits + 31) / 32) * 4;
    if (o.rle8) {
        // Row 0 (bottom) as runs of one, the others as an absolute run;
        // the last row ends with the end-of-picture code.
        for (int row = 0; row < p.height; ++row) {
            int y = p.height - 1 - row;
            if (row == 0) {
                for (int x = 0; x < p.width; ++x) {
                    pixels.push_back(1);
                    pixels.push_back(uint8_t(index[size_t(y * p.width + x)]));
                }
            } else {
                pixels.push_back(0);
                pixels.push_back(uint8_t(p.width));
                for (int x = 0; x < p.width; ++x) pixels.push_back(uint8_t(index[size_t(y * p.width + x)]));
                if (p.width & 1) pixels.push_back(0);
            }
            pixels.push_back(0);
            pixels.push_back(row == p.height - 1 ? 1 : 0);
        }
    } else {
        for (int row = 0; row < p.height; ++row) {
            int y = o.topDown ? row : p.height - 1 - row;
            Bytes line(size_t(stride), 0);
            for (int x = 0; x < p.width; ++x) {
                const uint8_t* c = p.At(x, y);
                int i = index[size_t(y * p.width + x)];
                switch (o.bits) {
                case 1: line[size_t(x / 8)] |= uint8_t((i & 1) << (7 - x % 8)); break;
                case 4: line[size_t(x / 2)] |= uint8_t((i & 15) << (x % 2 ? 0 : 4)); break;
                case 8: line[size_t(x)] = uint8_t(i); break;
                case 24:
                    line[size_t(x * 3)] = c[2];
                    line[size_t(x * 3 + 1)] = c[1];
                    line[size_t(x * 3 + 2)] = c[0];
                    break;
                case 16: {
                    uint32_t v;
                    if (o.bitFields) v = uint32_t(c[0] >> 3) << 11 | uint32_t(c[1] >> 2) << 5 | uint32_t(c[2] >> 3);
                    else v = uint32_t(c[0] >> 3) << 10 | uint32_t(c[1] >> 3) << 5 | uint32_t(c[2] >> 3);
                    line[size_t(x * 2)] = uint8_t(v);
                    line[size_t(x * 2 + 1)] = uint8_t(v >> 8);
                    break;
                }
                default: {
                    uint32_t v;
                    if (o.bitFields) v = uint32_t(c[2]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[0]) << 8;  // BGRX
                    else v = uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
                    for (int k = 0; k < 4; ++k) line[size_t(x * 4 + k)] = uint8_t(v >> (8 * k));
                    break;
                }
                }
            }
            pixels.insert(pixels.end(), line.begin(), line.end());
        }
    }
    uint32_t paletteBytes = uint32_t(palette.size() * 4);
    uint32_t maskBytes = o.bitFields ? 12 : 0;
    uint32_t offset = 14 + 40 + maskBytes + paletteBytes;
    Bytes b = {'B', 'M'};
    Put32(b, offset + uint32_t(pixels.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, uint32_t(p.width));
    Put32(b, uint32_t(o.topDown ? -p.height : p.height));
    Put16(b, 1);
    Put16(b, uint32_t(o.bits));
    Put32(b, o.rle8 ? 1 : o.bitFields ? 3 : 0);
    Put32(b, uint32_t(pixels.size()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, uint32_t(palette.size()));
    Put32(b, 0);
    if (o.bitFields)
        for (uint32_t m : o.masks) Put32(b, m);
    for (uint32_t c : palette) Put32(b, c);  // B, G, R, 0 in little-endian order
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// ------------------------------------------------------------------- TGA
inline Bytes MakeTga(const Picture& p, int type, int bits, bool topDown, bool rightToLeft, bool footer) {
    Bytes b = {3, 0, uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, uint32_t(p.width));
    Put16(b, uint32_t(p.height));
    b.push_back(uint8_t(bits));
    b.push_back(uint8_t((bits == 32 ? 8 : 0) | (topDown ? 0x20 : 0) | (rightToLeft ? 0x10 : 0)));
    b.insert(b.end(), {'i', 'd', '!'});
    std::vector<Bytes> stored;
    for (int row = 0; row < p.height; ++row) {
        int y = topDown ? row : p.height - 1 - row;
        for (int column = 0; column < p.width; ++column) {
            int x = rightToLeft ? p.width - 1 - column : column;
            const uint8_t* c = p.At(x, y);
            Bytes px;
            if (bits == 16) Put16(px, uint32_t(c[0] >> 3) << 10 | uint32_t(c[1] >> 3) << 5 | uint32_t(c[2] >> 3) | 0x8000);
            else px = {c[2], c[1], c[0]};
            if (bits == 32) px.push_back(c[3]);
            stored.push_back(px);
        }
    }
    if (type == 2) {
        for (const Bytes& px : stored) b.insert(b.end(), px.begin(), px.end());
    } else {
        // Runs where neighbours repeat, raw packets elsewhere.
        size_t i = 0;
        while (i < stored.size()) {
            size_t run = 1;
            while (i + run < stored.size() && run < 128 && stored[i + run] == stored[i]) ++run;
            if (run > 1) {
                b.push_back(uint8_t(0x80 | (run - 1)));
                b.insert(b.end(), stored[i].begin(), stored[i].end());
                i += run;
            } else {
                size_t raw = 1;
                while (i + raw < stored.size() && raw < 128 && stored[i + raw] != stored[i + raw - 1]) ++raw;
                b.push_back(uint8_t(raw - 1));
                for (size_t k = 0; k < raw; ++k) b.insert(b.end(), stored[i + k].begin(), stored[i + k].end());
                i += raw;
            }
        }
    }
    if (footer) {
        for (int k = 0; k < 8; ++k) b.push_back(0);
        const char* sig = "TRUEVISION-XFILE.";
        b.insert(b.end(), sig, sig + 18);  // with its terminating zero
    }
    return b;
}

// ------------------------------------------------------------- raw BGRA
inline Bytes MakeRawBgra(const Picture& p, bool sixteen) {
    Bytes b = {'B', 'G', 'R', 'A'};
    Put32(b, sixteen ? 0x10101010u : 0x08080808u);
    Put32(b, uint32_t(p.width));
    Put32(b, uint32_t(p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = p.At(x, y);
            const uint8_t order[4] = {c[2], c[1], c[0], c[3]};
            for (uint8_t v : order) {
                if (sixteen) b.push_back(uint8_t(0x5A));  // low byte: dropped
                b.push_back(v);
            }
        }
    return b;
}

// ------------------------------------------------------------------- DDS
inline Bytes DdsHeader(int width, int height, uint32_t pfFlags, uint32_t fourCC, uint32_t bits,
                       const uint32_t masks[4]) {
    Bytes b = {'D', 'D', 'S', ' '};
    Put32(b, 124);
    Put32(b, 0x1007);
    Put32(b, uint32_t(height));
    Put32(b, uint32_t(width));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 1);
    for (int i = 0; i < 11; ++i) Put32(b, 0);
    Put32(b, 32);
    Put32(b, pfFlags);
    Put32(b, fourCC);
    Put32(b, bits);
    for (int i = 0; i < 4; ++i) Put32(b, masks[i]);
    Put32(b, 0x1000);
    for (int i = 0; i < 4; ++i) Put32(b, 0);
    return b;
}

// ------------------------------------------------------------------- PNG
struct PngOptions {
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> transparency;  // palette alphas
    bool greyTransparency = false;      // tRNS grey value 0
};

inline void PngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
inline void PngFlush(png_structp) {}

// rows: already in the file's sample layout (packed for low depths,
// big-endian for 16 bits).
inline Bytes MakePng(int width, int height, const PngOptions& o, const std::vector<Bytes>& rows) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, PngWriteToVector, PngFlush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), o.depth, o.colourType,
                 o.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!o.palette.empty()) png_set_PLTE(png, info, o.palette.data(), int(o.palette.size()));
    png_color_16 grey{};
    if (!o.transparency.empty())
        png_set_tRNS(png, info, o.transparency.data(), int(o.transparency.size()), nullptr);
    else if (o.greyTransparency)
        png_set_tRNS(png, info, nullptr, 0, &grey);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const Bytes& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ------------------------------------------------------------------ JPEG
inline Bytes MakeJpeg(const Picture& p, bool grey) {
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(p.width);
    c.image_height = JDIMENSION(p.height);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    Bytes row(size_t(p.width) * 3);
    while (c.next_scanline < c.image_height) {
        int y = int(c.next_scanline);
        for (int x = 0; x < p.width; ++x)
            for (int k = 0; k < (grey ? 1 : 3); ++k) row[size_t(x * (grey ? 1 : 3) + k)] = p.At(x, y)[k];
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    free(buffer);
    return out;
}
