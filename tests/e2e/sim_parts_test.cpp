// The runner's own parts: the JSON writer and the screen conversion.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "tools/sim/json_writer.cpp"  // the runner's writer, built in here
#include "tools/sim/png_writer.h"

TEST(SimJson, DoublesRoundTripAndObjectsNest) {
    JsonWriter w;
    JsonReset(w);
    JsonBeginObject(w, nullptr);
    JsonDouble(w, "a", 0.1);
    JsonDouble(w, "b", 1.0 / 3.0);
    JsonDouble(w, "c", -0.0);
    JsonDouble(w, "d", 2.5);
    JsonDouble(w, "e", 1e300);
    JsonDouble(w, "nan", std::nan(""));
    JsonDouble(w, "inf", std::numeric_limits<double>::infinity());
    JsonBeginArray(w, "list");
    JsonInt(w, nullptr, 1);
    JsonBeginObject(w, nullptr);
    JsonBool(w, "t", true);
    JsonNull(w, "n");
    JsonEndObject(w);
    JsonInt(w, nullptr, -2);
    JsonEndArray(w);
    JsonEndObject(w);
    EXPECT_EQ(w.out,
              "{\"a\":0.1,\"b\":0.3333333333333333,\"c\":-0,\"d\":2.5,\"e\":1e+300,\"nan\":null,\"inf\":null,"
              "\"list\":[1,{\"t\":true,\"n\":null},-2]}");
}

TEST(SimJson, StringsAreEscapedAndBadBytesKeptVisible) {
    JsonWriter w;
    JsonReset(w);
    JsonString(w, nullptr, "a\"b\\c\n\x01 字 \x83\x65 \xE5\xAD");
    EXPECT_EQ(w.out, "\"a\\\"b\\\\c\\u000a\\u0001 字 \\u0083e \\u00e5\\u00ad\"");
}

TEST(SimShot, SixteenBitPixelsWidenByBitReplication) {
    struct Case { uint16_t pixel; int format; uint8_t r, g, b; } cases[] = {
        {0xFFFF, 0, 255, 255, 255}, {0x0000, 0, 0, 0, 0}, {0xF800, 0, 255, 0, 0}, {0x07E0, 0, 0, 255, 0},
        {0x0821, 0, 8, 4, 8},       {0x7FFF, 1, 255, 255, 255}, {0x8000, 1, 0, 0, 0}, {0x4210, 1, 132, 132, 132},
    };
    for (const Case& c : cases) {
        uint8_t rgb[3];
        Rgb565ToRgb888(c.pixel, c.format, rgb);
        EXPECT_EQ(rgb[0], c.r) << std::hex << c.pixel;
        EXPECT_EQ(rgb[1], c.g) << std::hex << c.pixel;
        EXPECT_EQ(rgb[2], c.b) << std::hex << c.pixel;
    }
}
