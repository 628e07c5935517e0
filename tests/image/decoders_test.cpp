// Every decoder against pictures the test writes, one corrupt case each,
// and the refusals that keep hostile files out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/files/files.h"
#include "engine/image/image.h"
#include "engine/image/image_internal.h"
#include "picture_fixtures.h"

namespace {

// Bits repeated downward, as the decoders widen narrow channels.
uint8_t Widen(int value, int bits) {
    int r = 0, filled = 0;
    while (filled < 8) {
        r = (r << bits) | value;
        filled += bits;
    }
    return uint8_t(r >> (filled - 8));
}

Picture Map(Picture p, const std::function<void(uint8_t*)>& f) {
    for (size_t i = 0; i < p.rgba.size(); i += 4) f(&p.rgba[i]);
    return p;
}

// Differences of more than `tolerance` in any channel, as text.
std::string Compare(const DecodedImage& got, const Picture& want, int tolerance) {
    if (got.width != want.width || got.height != want.height)
        return "size " + std::to_string(got.width) + "x" + std::to_string(got.height);
    std::string diff;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            for (int k = 0; k < 4; ++k) {
                int a = got.pixels[(size_t(y) * size_t(want.width) + size_t(x)) * 4 + size_t(k)];
                int b = want.At(x, y)[k];
                if (std::abs(a - b) > tolerance && diff.size() < 200)
                    diff += "(" + std::to_string(x) + "," + std::to_string(y) + ")[" + std::to_string(k) +
                            "]=" + std::to_string(a) + " want " + std::to_string(b) + " ";
            }
    return diff;
}

struct Case {
    std::string what;
    Bytes file;
    const char* decoder;
    Picture want;
    bool hasAlpha;
    int tolerance;
};

std::vector<Bytes> PngRows(const Picture& p, int channels) {
    std::vector<Bytes> rows;
    for (int y = 0; y < p.height; ++y) {
        Bytes r;
        for (int x = 0; x < p.width; ++x)
            for (int k = 0; k < channels; ++k) r.push_back(p.At(x, y)[k]);
        rows.push_back(r);
    }
    return rows;
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    Picture colour = TestPicture(false);
    Picture alpha = TestPicture(true);

    // ---- BMP
    for (int bits : {1, 4, 8}) {
        // A picture with no more colours than the depth allows.
        Picture few = Map(colour, [bits](uint8_t* c) {
            int v = (c[0] / 8) % (1 << bits);
            c[0] = uint8_t(v * 8);
            c[1] = uint8_t(255 - v);
            c[2] = uint8_t(v);
        });
        BmpOptions o;
        o.bits = bits;
        cases.push_back({"bmp " + std::to_string(bits) + " bits", MakeBmp(few, o), "BMP", few, false, 0});
        if (bits == 8) {
            o.rle8 = true;
            cases.push_back({"bmp rle8", MakeBmp(few, o), "BMP", few, false, 0});
        }
    }
    {
        BmpOptions o;
        o.bits = 24;
        cases.push_back({"bmp 24 bottom-up", MakeBmp(colour, o), "BMP", colour, false, 0});
        o.topDown = true;
        cases.push_back({"bmp 24 top-down", MakeBmp(colour, o), "BMP", colour, false, 0});
        o = BmpOptions();
        o.bits = 16;
        cases.push_back({"bmp 16 x1r5g5b5", MakeBmp(colour, o), "BMP", colour, false, 0});
        o.bitFields = true;
        o.masks[0] = 0xF800;
        o.masks[1] = 0x07E0;
        o.masks[2] = 0x001F;
        Picture green6 = Map(colour, [](uint8_t* c) { c[1] = Widen(c[1] >> 2, 6); });
        cases.push_back({"bmp 16 bit fields 565", MakeBmp(colour, o), "BMP", green6, false, 0});
        o = BmpOptions();
        o.bits = 32;
        cases.push_back({"bmp 32 x8r8g8b8", MakeBmp(colour, o), "BMP", colour, false, 0});
        o.bitFields = true;
        o.masks[0] = 0x0000FF00;
        o.masks[1] = 0x00FF0000;
        o.masks[2] = 0xFF000000;
        o.topDown = true;
        cases.push_back({"bmp 32 bit fields top-down", MakeBmp(colour, o), "BMP", colour, false, 0});
    }

    // ---- JPEG (lossy: compared with a tolerance)
    {
        Picture flat = Map(colour, [](uint8_t* c) {
            c[0] = 200;
            c[1] = 40;
            c[2] = 90;
        });
        cases.push_back({"jpeg colour", MakeJpeg(flat, false), "JPEG", flat, false, 4});
        Picture grey = Map(colour, [](uint8_t* c) { c[0] = c[1] = c[2] = 120; });
        cases.push_back({"jpeg grey", MakeJpeg(grey, true), "JPEG", grey, false, 2});
    }

    // ---- PNG
    {
        PngOptions o;
        cases.push_back({"png rgb", MakePng(5, 3, o, PngRows(colour, 3)), "PNG", colour, false, 0});
        o.interlace = true;
        cases.push_back({"png rgb interlaced", MakePng(5, 3, o, PngRows(colour, 3)), "PNG", colour, false, 0});
        o = PngOptions();
        o.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        cases.push_back({"png rgba", MakePng(5, 3, o, PngRows(alpha, 4)), "PNG", alpha, true, 0});

        // 16-bit channels keep their high byte.
        o = PngOptions();
        o.depth = 16;
        std::vector<Bytes> rows16;
        for (const Bytes& r : PngRows(colour, 3)) {
            Bytes w;
            for (uint8_t v : r) {
                w.push_back(v);
                w.push_back(0x77);
            }
            rows16.push_back(w);
        }
        cases.push_back({"png rgb 16", MakePng(5, 3, o, rows16), "PNG", colour, false, 0});

        // Palette, 8 bits, no transparency chunk.
        o = PngOptions();
        o.colourType = PNG_COLOR_TYPE_PALETTE;
        Picture pal = colour;
        std::vector<Bytes> indexRows;
        for (int y = 0; y < 3; ++y) {
            Bytes r;
            for (int x = 0; x < 5; ++x) {
                int i = y * 5 + x;
                o.palette.push_back(png_color{colour.At(x, y)[0], colour.At(x, y)[1], colour.At(x, y)[2]});
                r.push_back(uint8_t(i));
            }
            indexRows.push_back(r);
        }
        cases.push_back({"png palette", MakePng(5, 3, o, indexRows), "PNG", pal, false, 0});

        // Palette of 4 bits with a transparency chunk: RGBA with alpha.
        PngOptions t;
        t.colourType = PNG_COLOR_TYPE_PALETTE;
        t.depth = 4;
        t.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
        t.transparency = {0, 128};  // the third entry stays opaque
        Picture want;
        want.width = 5;
        want.height = 3;
        std::vector<Bytes> packed;
        for (int y = 0; y < 3; ++y) {
            Bytes r(3, 0);
            for (int x = 0; x < 5; ++x) {
                int i = (x + y) % 3;
                r[size_t(x / 2)] |= uint8_t(i << (x % 2 ? 0 : 4));
                uint8_t a = i < 2 ? t.transparency[size_t(i)] : 255;
                want.rgba.insert(want.rgba.end(), {t.palette[size_t(i)].red, t.palette[size_t(i)].green,
                                                   t.palette[size_t(i)].blue, a});
            }
            packed.push_back(r);
        }
        cases.push_back({"png palette 4 bits with tRNS", MakePng(5, 3, t, packed), "PNG", want, true, 0});

        // Grey: 8 bits, 1 bit (expanded to 8), grey with alpha (alpha dropped),
        // grey with a transparency chunk (alpha).
        Picture grey = Map(colour, [](uint8_t* c) { c[1] = c[2] = c[0]; });
        PngOptions g;
        g.colourType = PNG_COLOR_TYPE_GRAY;
        cases.push_back({"png grey", MakePng(5, 3, g, PngRows(grey, 1)), "PNG", grey, false, 0});
        g.depth = 1;
        Picture bw = Map(colour, [](uint8_t* c) { c[0] = c[1] = c[2] = (c[0] & 8) ? 255 : 0; });
        std::vector<Bytes> bits;
        for (int y = 0; y < 3; ++y) {
            Bytes r(1, 0);
            for (int x = 0; x < 5; ++x)
                if (bw.At(x, y)[0]) r[0] |= uint8_t(0x80 >> x);
            bits.push_back(r);
        }
        cases.push_back({"png grey 1 bit", MakePng(5, 3, g, bits), "PNG", bw, false, 0});
        PngOptions ga;
        ga.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
        std::vector<Bytes> gaRows;
        for (int y = 0; y < 3; ++y) {
            Bytes r;
            for (int x = 0; x < 5; ++x) r.insert(r.end(), {grey.At(x, y)[0], uint8_t(x * 50)});
            gaRows.push_back(r);
        }
        cases.push_back({"png grey+alpha keeps the grey", MakePng(5, 3, ga, gaRows), "PNG", grey, false, 0});
        PngOptions gt;
        gt.colourType = PNG_COLOR_TYPE_GRAY;
        gt.greyTransparency = true;
        Picture greyKeyed = Map(grey, [](uint8_t* c) { c[3] = c[0] == 0 ? 0 : 255; });
        cases.push_back({"png grey with tRNS", MakePng(5, 3, gt, PngRows(grey, 1)), "PNG", greyKeyed, true, 0});
    }

    // ---- raw BGRA
    cases.push_back({"bgra 8", MakeRawBgra(alpha, false), "BGRA", alpha, true, 0});
    cases.push_back({"bgra 16", MakeRawBgra(alpha, true), "BGRA", alpha, true, 0});

    // ---- TGA
    cases.push_back({"tga 24 raw bottom-up", MakeTga(colour, 2, 24, false, false, false), "TGA", colour, false, 0});
    cases.push_back({"tga 32 raw top-down", MakeTga(alpha, 2, 32, true, false, true), "TGA", alpha, true, 0});
    cases.push_back({"tga 16 right-to-left", MakeTga(colour, 2, 16, false, true, false), "TGA", colour, false, 0});
    {
        Picture runs = Map(colour, [](uint8_t* c) {
            if (c[0] > 100) c[0] = c[1] = c[2] = 33;  // equal neighbours make runs
        });
        cases.push_back({"tga 24 rle", MakeTga(runs, 10, 24, false, false, true), "TGA", runs, false, 0});
        cases.push_back({"tga 32 rle top-down", MakeTga(alpha, 10, 32, true, true, false), "TGA", alpha, true, 0});
    }

    // ---- DDS
    {
        const uint32_t none[4] = {0, 0, 0, 0};
        auto fourCC = [](const char* s) { return uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24; };
        // 5 x 3 DXT1: two blocks. Block 0 four-colour (c0 > c1), block 1
        // punch-through (c0 <= c1) with index 3 = transparent.
        Bytes d = DdsHeader(5, 3, 0x4, fourCC("DXT1"), 0, none);
        Put16(d, 0xF800);  // red
        Put16(d, 0x001F);  // blue
        Put32(d, 0xE4E4E4E4);  // each row: indices 0, 1, 2, 3
        Put16(d, 0x0000);
        Put16(d, 0xFFFF);
        Put32(d, 0xFFFFFFFF);  // all index 3
        Picture want;
        want.width = 5;
        want.height = 3;
        const uint8_t palette[4][4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                if (x < 4) want.rgba.insert(want.rgba.end(), palette[x], palette[x] + 4);
                else want.rgba.insert(want.rgba.end(), {0, 0, 0, 0});
            }
        cases.push_back({"dds dxt1", d, "DDS", want, true, 0});

        // DXT3 and DXT5 over one 4 x 1 block of white.
        Bytes d3 = DdsHeader(4, 1, 0x4, fourCC("DXT3"), 0, none);
        Put32(d3, 0x0000F0F0);  // alphas 0, 15, 0, 15 for the first row
        Put32(d3, 0);
        Put16(d3, 0xFFFF);
        Put16(d3, 0xFFFF);
        Put32(d3, 0);
        Picture white;
        white.width = 4;
        white.height = 1;
        for (int a : {0, 255, 0, 255}) white.rgba.insert(white.rgba.end(), {255, 255, 255, uint8_t(a)});
        cases.push_back({"dds dxt3", d3, "DDS", white, true, 0});

        Bytes d5 = DdsHeader(4, 1, 0x4, fourCC("DXT5"), 0, none);
        d5.insert(d5.end(), {200, 100});  // a0 > a1: eight alphas
        // Indices 0, 1, 2, 7 for the first four texels (3 bits each).
        uint64_t indices = 0 | 1 << 3 | 2 << 6 | 7 << 9;
        for (int i = 0; i < 6; ++i) d5.push_back(uint8_t(indices >> (8 * i)));
        Put16(d5, 0xFFFF);
        Put16(d5, 0xFFFF);
        Put32(d5, 0);
        Picture white5 = white;
        const int alphas[4] = {200, 100, (6 * 200 + 1 * 100) / 7, (1 * 200 + 6 * 100) / 7};
        for (int i = 0; i < 4; ++i) white5.rgba[size_t(i * 4 + 3)] = uint8_t(alphas[i]);
        cases.push_back({"dds dxt5", d5, "DDS", white5, true, 0});

        // Uncompressed: 32-bit ARGB with alpha, 24-bit RGB, 16-bit 565.
        const uint32_t argb[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        Bytes u = DdsHeader(5, 3, 0x41, 0, 32, argb);
        for (size_t i = 0; i < alpha.rgba.size(); i += 4)
            u.insert(u.end(), {alpha.rgba[i + 2], alpha.rgba[i + 1], alpha.rgba[i], alpha.rgba[i + 3]});
        cases.push_back({"dds argb32", u, "DDS", alpha, true, 0});
        const uint32_t rgb[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0};
        Bytes u24 = DdsHeader(5, 3, 0x40, 0, 24, rgb);
        for (size_t i = 0; i < colour.rgba.size(); i += 4)
            u24.insert(u24.end(), {colour.rgba[i + 2], colour.rgba[i + 1], colour.rgba[i]});
        cases.push_back({"dds rgb24", u24, "DDS", colour, false, 0});
        const uint32_t m565[4] = {0xF800, 0x07E0, 0x001F, 0};
        Bytes u16 = DdsHeader(5, 3, 0x40, 0, 16, m565);
        for (size_t i = 0; i < colour.rgba.size(); i += 4)
            Put16(u16, uint32_t(colour.rgba[i] >> 3) << 11 | uint32_t(colour.rgba[i + 1] >> 2) << 5 |
                           uint32_t(colour.rgba[i + 2] >> 3));
        Picture green6 = Map(colour, [](uint8_t* c) { c[1] = Widen(c[1] >> 2, 6); });
        cases.push_back({"dds r5g6b5", u16, "DDS", green6, false, 0});
    }
    return cases;
}

TEST(Decoders, EveryVariantDecodesToItsPicture) {
    std::vector<Case> cases = AllCases();
    EXPECT_EQ(cases.size(), 35u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.file.empty());
        DecodedImage image;
        const char* name = nullptr;
        ASSERT_EQ(DecodeImageMemory(c.file.data(), c.file.size(), &image, &name), 0);
        EXPECT_STREQ(name, c.decoder);
        EXPECT_EQ(image.hasAlpha, c.hasAlpha ? 1 : 0);
        EXPECT_EQ(Compare(image, c.want, c.tolerance), "");
        FreeDecodedImage(&image);
    }
}

TEST(Decoders, TruncatedFilesFailEveryDecoderCleanly) {
    for (const Case& c : AllCases()) {
        SCOPED_TRACE(c.what);
        // Cut inside the pixel data (or the compressed stream). Formats
        // whose last byte is a pixel's lose one byte too; TGA may end in
        // a footer and PNG in its end chunk, which hold no pixels.
        std::vector<size_t> keeps = {c.file.size() / 2, size_t(20), size_t(3), size_t(0)};
        std::string d = c.decoder;
        if (d == "BMP" || d == "BGRA" || d == "DDS" || d == "JPEG") keeps.push_back(c.file.size() - 1);
        for (size_t keep : keeps) {
            Bytes cut(c.file.begin(), c.file.begin() + std::ptrdiff_t(keep));
            // An exact-size copy on the heap so that a read past it is caught
            // by the sanitizers.
            uint8_t* heap = static_cast<uint8_t*>(std::malloc(keep ? keep : 1));
            if (keep) std::memcpy(heap, cut.data(), keep);
            DecodedImage image;
            const char* name = nullptr;
            int result = DecodeImageMemory(heap, keep, &image, &name);
            if (result == 0) {
                ADD_FAILURE() << "kept " << keep << " bytes, taken by " << name;
                FreeDecodedImage(&image);
            }
            EXPECT_EQ(image.pixels, nullptr);
            std::free(heap);
        }
    }
}

TEST(Decoders, EachDecoderRefusesTheOthersFiles) {
    std::vector<Case> cases = AllCases();
    int (*decoders[])(EngineStream*, DecodedImage*) = {DecodeBmp, DecodeJpeg, DecodePng,
                                                      DecodeRawBgra, DecodeTga, DecodeDds};
    const char* names[] = {"BMP", "JPEG", "PNG", "BGRA", "TGA", "DDS"};
    for (const Case& c : cases) {
        for (int d = 0; d < 6; ++d) {
            EngineStream s;
            EngineStreamFromMemory(&s, c.file.data(), c.file.size());
            DecodedImage image;
            int result = decoders[d](&s, &image);
            bool own = std::string(names[d]) == c.decoder;
            EXPECT_EQ(result == 0, own) << c.what << " by " << names[d];
            if (result == 0) FreeDecodedImage(&image);
        }
    }
}

TEST(Decoders, BmpOddities) {
    Picture p = TestPicture();
    // An index beyond a short palette reads black, never outside it.
    BmpOptions o;
    o.bits = 8;
    Bytes b = MakeBmp(p, o);
    // 15 distinct colours; say there are 2 and point a pixel at 200.
    b[46] = 2;
    b[47] = b[48] = b[49] = 0;
    uint32_t offset = 14 + 40 + 2 * 4;
    b[10] = uint8_t(offset);
    Bytes shifted(b.begin(), b.begin() + 14 + 40 + 8);
    Bytes rows(b.begin() + 14 + 40 + 15 * 4, b.end());
    rows[0] = 200;
    shifted.insert(shifted.end(), rows.begin(), rows.end());
    DecodedImage image;
    const char* name;
    ASSERT_EQ(DecodeImageMemory(shifted.data(), shifted.size(), &image, &name), 0);
    EXPECT_EQ(image.pixels[(size_t(2) * 5) * 4 + 2], 0);  // bottom-left pixel: black
    FreeDecodedImage(&image);

    // Refused: RLE4, an unknown compression, a zero or huge size, a bad depth.
    struct Patch {
        const char* what;
        size_t at;
        std::vector<uint8_t> bytes;
    } patches[] = {
        {"rle4", 30, {2, 0, 0, 0}},
        {"jpeg inside", 30, {4, 0, 0, 0}},
        {"zero width", 18, {0, 0, 0, 0}},
        {"negative width", 18, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"16385 wide", 18, {0x01, 0x40, 0, 0}},
        {"height INT_MIN", 22, {0, 0, 0, 0x80}},
        {"depth 7", 28, {7, 0}},
        {"short info header", 14, {12, 0, 0, 0}},
        {"pixels beyond the end", 10, {0xF0, 0xFF, 0, 0}},
    };
    Bytes base = MakeBmp(p, BmpOptions());
    for (const Patch& patch : patches) {
        Bytes bad = base;
        std::copy(patch.bytes.begin(), patch.bytes.end(), bad.begin() + std::ptrdiff_t(patch.at));
        EngineStream s;
        EngineStreamFromMemory(&s, bad.data(), bad.size());
        EXPECT_NE(DecodeBmp(&s, &image), 0) << patch.what;
    }
}

TEST(Decoders, TgaRefusesOtherTypesAndColourMaps) {
    Bytes base = MakeTga(TestPicture(), 2, 24, false, false, false);
    for (int type : {0, 1, 3, 4, 8, 9, 11, 12, 32}) {
        Bytes bad = base;
        bad[2] = uint8_t(type);
        EngineStream s;
        EngineStreamFromMemory(&s, bad.data(), bad.size());
        DecodedImage image;
        EXPECT_NE(DecodeTga(&s, &image), 0) << type;
    }
    struct Patch {
        const char* what;
        size_t at;
        uint8_t value;
    } patches[] = {{"colour map", 1, 1}, {"8 bits", 16, 8}, {"zero width", 12, 0}, {"wider than 8192", 13, 0x21}};
    for (const Patch& patch : patches) {
        Bytes bad = base;
        bad[patch.at] = patch.value;
        if (std::string(patch.what) == "zero width") bad[13] = 0;
        EngineStream s;
        EngineStreamFromMemory(&s, bad.data(), bad.size());
        DecodedImage image;
        EXPECT_NE(DecodeTga(&s, &image), 0) << patch.what;
    }
}

TEST(Decoders, DdsRefusesUnknownFormatsAndBadHeaders) {
    const uint32_t none[4] = {0, 0, 0, 0};
    Bytes dx10 = DdsHeader(4, 4, 0x4, 0x30315844, 0, none);  // "DX10"
    dx10.resize(dx10.size() + 200, 0);
    Bytes badSize = DdsHeader(4, 4, 0x4, 0x31545844, 0, none);
    badSize[4] = 100;
    badSize.resize(badSize.size() + 8, 0);
    Bytes huge = DdsHeader(20000, 4, 0x4, 0x31545844, 0, none);
    huge.resize(huge.size() + 8, 0);
    for (const Bytes& b : {dx10, badSize, huge}) {
        EngineStream s;
        EngineStreamFromMemory(&s, b.data(), b.size());
        DecodedImage image;
        EXPECT_NE(DecodeDds(&s, &image), 0);
    }
}

TEST(Decoders, SizeLimitsRefuseBeforeAllocating) {
    DecodedImage image;
    EXPECT_EQ(AllocDecoded(&image, 16384, 1), 0);
    FreeDecodedImage(&image);
    EXPECT_NE(AllocDecoded(&image, 16385, 1), 0);
    EXPECT_NE(AllocDecoded(&image, 1, 16385), 0);
    EXPECT_NE(AllocDecoded(&image, 16384, 4097), 0);  // over 256 MiB of RGBA
    EXPECT_NE(AllocDecoded(&image, 0, 5), 0);
    EXPECT_EQ(image.pixels, nullptr);

    // A raw BGRA header claiming far more than the file holds.
    Bytes b = {'B', 'G', 'R', 'A'};
    Put32(b, 0x08080808);
    Put32(b, 16384);
    Put32(b, 16384);
    b.resize(64, 0);
    const char* name;
    EXPECT_EQ(DecodeImageMemory(b.data(), b.size(), &image, &name), -1);
    // A PNG header over the side limit.
    PngOptions o;
    Bytes png = MakePng(5, 3, o, PngRows(TestPicture(), 3));
    // IHDR width at 16 (big-endian): make it 20000 and fix nothing else;
    // the CRC no longer matches either, so it must fail one way or another.
    png[16] = 0;
    png[17] = 0;
    png[18] = 0x4E;
    png[19] = 0x20;
    EXPECT_EQ(DecodeImageMemory(png.data(), png.size(), &image, &name), -1);
}

TEST(Decoders, AFileStartingWithBmThatIsTruncatedFailsTheChain) {
    Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0};
    DecodedImage image;
    const char* name = "unset";
    EXPECT_EQ(DecodeImageMemory(b.data(), b.size(), &image, &name), -1);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(image.pixels, nullptr);
}

}  // namespace

namespace {

// Random damage to every fixture: the decoders may refuse or accept, but
// never read or write outside their buffers (run under the sanitizers).
TEST(Decoders, DamagedFilesNeverCrash) {
    std::vector<Case> cases = AllCases();
    unsigned seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (const Case& c : cases) {
        for (int round = 0; round < 60; ++round) {
            Bytes damaged = c.file;
            int flips = 1 + int(next() % 4);
            for (int f = 0; f < flips; ++f) {
                size_t at = next() % damaged.size();
                // Headers matter most: aim half of the damage at the first 140 bytes.
                if (next() % 2 && damaged.size() > 140) at = next() % 140;
                damaged[at] = uint8_t(next());
            }
            if (round % 5 == 0) damaged.resize(next() % damaged.size());
            uint8_t* heap = static_cast<uint8_t*>(std::malloc(damaged.size() + 1));
            std::memcpy(heap, damaged.data(), damaged.size());
            DecodedImage image;
            const char* name = nullptr;
            if (DecodeImageMemory(heap, damaged.size(), &image, &name) == 0) {
                EXPECT_GT(image.width, 0);
                EXPECT_LE(image.width, ImageMaxSide);
                FreeDecodedImage(&image);
            }
            std::free(heap);
        }
    }
}

}  // namespace
