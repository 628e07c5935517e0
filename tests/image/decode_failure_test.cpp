// Every refusal says why; a picture size the bytes cannot fill is refused
// before its pixels are allocated; nothing is left allocated on failure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/core/core.h"
#include "engine/image/image.h"
#include "picture_fixtures.h"

namespace {

// A header that claims width x height, then a few bytes of pixels, 125
// bytes in all (what the fuzzers kept finding).
Bytes Padded(Bytes b) {
    while (b.size() < 125) b.push_back(0x11);
    return b;
}

Bytes BgraHeader(uint32_t w, uint32_t h) {
    Bytes b = {'B', 'G', 'R', 'A'};
    Put32(b, 0x08080808u);
    Put32(b, w);
    Put32(b, h);
    return b;
}

Bytes TgaHeader(int type, int w, int h, int bits) {
    Bytes b = {0, 0, uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, uint32_t(w));
    Put16(b, uint32_t(h));
    b.push_back(uint8_t(bits));
    b.push_back(0x20);
    return b;
}

Bytes BmpHeader(int w, int h, int bits) {
    Bytes b = {'B', 'M'};
    Put32(b, 0);  // file size: not read
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, uint32_t(w));
    Put32(b, uint32_t(h));
    Put16(b, 1);
    Put16(b, uint32_t(bits));
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    return b;
}

struct Outcome {
    int result;
    std::string reason;  // "" for none
    const char* decoder;
};

Outcome Decode(const Bytes& bytes) {
    DecodedImage image{};
    const char* name = nullptr;
    int blocks = TrackedBlockCount();
    int result = DecodeImageMemory(bytes.data(), bytes.size(), &image, &name);
    const char* reason = ImageDecodeFailure();
    if (result != 0) {
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(TrackedBlockCount(), blocks) << "a failed decode left memory allocated";
    }
    FreeDecodedImage(&image);
    return {result, reason ? reason : "", name};
}

TEST(DecodeFailure, OversizedClaimsAreRefusedBeforeAllocating) {
    const uint32_t noMasks[4] = {0, 0, 0, 0};
    const uint32_t rgbaMasks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
    struct Case {
        const char* name;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"raw BGRA 6000 x 6000", Padded(BgraHeader(6000, 6000)), "BGRA: the file is too short for its pixels"},
        {"TGA raw 8192 x 4640", Padded(TgaHeader(2, 8192, 4640, 32)), "TGA: the file is too short for its pixels"},
        {"TGA run-length 8192 x 8192", Padded(TgaHeader(10, 8192, 8192, 24)),
         "TGA: the file is too short for its run-length pixels"},
        {"BMP 24 bits 6000 x 6000", Padded(BmpHeader(6000, 6000, 24)), "BMP: the file is too short for its pixels"},
        {"BMP 8 bits 16000 x 2", Padded(BmpHeader(16000, 2, 8)), "BMP: the file ends in its palette"},
        {"DDS 32 bits 6000 x 6000", DdsHeader(6000, 6000, 0x41, 0, 32, rgbaMasks),
         "DDS: the file is too short for its pixels"},
        {"DDS DXT1 16384 x 16384", DdsHeader(16384, 16384, 0x4, 0x31545844u, 0, noMasks),
         "DDS: the file is too short for its blocks"},
    };
    for (const Case& c : cases) {
        Outcome o = Decode(c.bytes);
        EXPECT_EQ(o.result, -1) << c.name;
        EXPECT_EQ(o.reason, c.reason) << c.name;
    }
}

TEST(DecodeFailure, EachRefusalNamesItsCause) {
    Picture p = TestPicture();
    Bytes cutTga = MakeTga(p, 10, 24, false, false, false);
    cutTga.resize(cutTga.size() - 2);
    BmpOptions rle;
    rle.bits = 8;
    rle.rle8 = true;
    Bytes cutRle = MakeBmp(p, rle);
    cutRle.resize(cutRle.size() - 4);  // loses the end-of-picture mark
    Bytes badBits = TgaHeader(2, 4, 4, 8);
    Bytes cutPng = MakePng(4, 4, PngOptions{}, std::vector<Bytes>(4, Bytes(12, 0x40)));
    cutPng.resize(cutPng.size() / 2);
    struct Case {
        const char* name;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, "no decoder recognises the picture"},
        {"TGA run-length cut short", cutTga, "TGA: run-length data ends in a raw packet"},
        {"BMP run-length cut short", cutRle, "BMP: run-length data ends before the picture"},
        {"TGA 8 bits", Padded(badBits), "TGA: bits per pixel other than 16, 24 or 32"},
        {"PNG cut short", cutPng, "PNG: the data is damaged or cut short"},
    };
    for (const Case& c : cases) {
        Outcome o = Decode(c.bytes);
        EXPECT_EQ(o.result, -1) << c.name;
        EXPECT_EQ(o.reason, c.reason) << c.name;
    }
}

TEST(DecodeFailure, ASuccessClearsTheReasonAndTheRunLengthBoundKeepsTightFiles) {
    EXPECT_EQ(Decode(Bytes{'x'}).reason, "no decoder recognises the picture");
    // 256 pixels in two runs of 128: the least bytes run-length data can be.
    Bytes tight = TgaHeader(10, 16, 16, 24);
    for (int i = 0; i < 2; ++i) tight.insert(tight.end(), {0xFF, 1, 2, 3});
    Outcome o = Decode(tight);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.reason, "");
    EXPECT_STREQ(o.decoder, "TGA");
}

}  // namespace
