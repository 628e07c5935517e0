// Seed pictures for the image harnesses, written by the test fixtures.
#include <cstring>

#include "fuzz/harness.h"
#include "tests/image/picture_fixtures.h"

namespace {

void Add(std::vector<FuzzBytes>* out, const Bytes& b) {
    if (!b.empty()) out->push_back(b);
}

void Bmps(std::vector<FuzzBytes>* out) {
    Picture p = TestPicture();
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        BmpOptions o;
        o.bits = bits;
        Add(out, MakeBmp(p, o));
    }
    BmpOptions top;
    top.topDown = true;
    Add(out, MakeBmp(p, top));
    BmpOptions rle;
    rle.bits = 8;
    rle.rle8 = true;
    Add(out, MakeBmp(p, rle));
    BmpOptions fields;
    fields.bits = 16;
    fields.bitFields = true;
    fields.masks[0] = 0xF800;
    fields.masks[1] = 0x07E0;
    fields.masks[2] = 0x001F;
    Add(out, MakeBmp(p, fields));
}

void Tgas(std::vector<FuzzBytes>* out) {
    Picture p = TestPicture(true);
    Add(out, MakeTga(p, 2, 24, false, false, false));
    Add(out, MakeTga(p, 2, 32, true, false, true));
    Add(out, MakeTga(p, 10, 32, false, true, false));
    Add(out, MakeTga(p, 10, 24, true, true, true));
}

void Dds(std::vector<FuzzBytes>* out) {
    const uint32_t argb[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    Bytes plain = DdsHeader(4, 4, 0x41, 0, 32, argb);
    for (int i = 0; i < 16; ++i) Put32(plain, 0x80402010u * uint32_t(i + 1));
    Add(out, plain);
    const uint32_t none[4] = {0, 0, 0, 0};
    const char* codes[] = {"DXT1", "DXT3", "DXT5"};
    for (int k = 0; k < 3; ++k) {
        uint32_t fourCC;
        std::memcpy(&fourCC, codes[k], 4);
        Bytes b = DdsHeader(8, 4, 0x4, fourCC, 0, none);
        size_t blockBytes = k == 0 ? 8 : 16;
        for (size_t i = 0; i < 2 * blockBytes; ++i) b.push_back(uint8_t(i * 37 + k));
        Add(out, b);
    }
}

void Pngs(std::vector<FuzzBytes>* out) {
    std::vector<Bytes> rgb(3, Bytes(15)), rgba(3, Bytes(20)), grey16(3, Bytes(10)), pal(3, Bytes(5));
    for (int y = 0; y < 3; ++y) {
        for (size_t i = 0; i < 15; ++i) rgb[size_t(y)][i] = uint8_t(i * 17 + y);
        for (size_t i = 0; i < 20; ++i) rgba[size_t(y)][i] = uint8_t(i * 13 + y);
        for (size_t i = 0; i < 10; ++i) grey16[size_t(y)][i] = uint8_t(i * 29 + y);
        for (size_t i = 0; i < 5; ++i) pal[size_t(y)][i] = uint8_t((i + y) % 3);
    }
    PngOptions o;
    Add(out, MakePng(5, 3, o, rgb));
    o.interlace = true;
    Add(out, MakePng(5, 3, o, rgb));
    PngOptions a;
    a.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    Add(out, MakePng(5, 3, a, rgba));
    PngOptions g;
    g.colourType = PNG_COLOR_TYPE_GRAY;
    g.depth = 16;
    g.greyTransparency = true;
    Add(out, MakePng(5, 3, g, grey16));
    PngOptions p;
    p.colourType = PNG_COLOR_TYPE_PALETTE;
    p.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    p.transparency = {255, 128, 0};
    Add(out, MakePng(5, 3, p, pal));
}

void Jpegs(std::vector<FuzzBytes>* out) {
    Add(out, MakeJpeg(TestPicture(), false));
    Add(out, MakeJpeg(TestPicture(), true));
}

void Bgras(std::vector<FuzzBytes>* out) {
    Add(out, MakeRawBgra(TestPicture(true), false));
    Add(out, MakeRawBgra(TestPicture(true), true));
}

}  // namespace

void FuzzImageSeeds(const char* target, std::vector<FuzzBytes>* out) {
    std::string t = target;
    bool all = t == "image";
    if (all || t == "bmp") Bmps(out);
    if (all || t == "jpeg") Jpegs(out);
    if (all || t == "png") Pngs(out);
    if (all || t == "bgra") Bgras(out);
    if (all || t == "tga") Tgas(out);
    if (all || t == "dds") Dds(out);
}
