// PNG output of the presented screen.
#include <cstdio>
#include <png.h>
#include <vector>

#include "tools/sim/png_writer.h"

void Rgb565ToRgb888(uint16_t p, int format, uint8_t rgb[3]) {
    unsigned r, g, b;
    if (format == 1) {  // X1R5G5B5
        r = (p >> 10) & 31;
        g = (p >> 5) & 31;
        b = p & 31;
        rgb[1] = (uint8_t)((g << 3) | (g >> 2));
    } else {  // R5G6B5
        r = (p >> 11) & 31;
        g = (p >> 5) & 63;
        b = p & 31;
        rgb[1] = (uint8_t)((g << 2) | (g >> 4));
    }
    rgb[0] = (uint8_t)((r << 3) | (r >> 2));
    rgb[2] = (uint8_t)((b << 3) | (b >> 2));
}

int WriteScreenPng(const char* path, const uint16_t* pixels, int width, int height, int pitch, int format) {
    if (!path || !pixels || width <= 0 || height <= 0 || pitch < width) return -1;
    FILE* f = std::fopen(path, "wb");
    if (!f) return -1;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return -1;
    }
    std::vector<uint8_t> row((size_t)width * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return -1;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint16_t* src = pixels + (size_t)y * (size_t)pitch;
        for (int x = 0; x < width; ++x) Rgb565ToRgb888(src[x], format, &row[(size_t)x * 3]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 ? 0 : -1;
}
