// PNG output of the presented screen.
#include <cstdio>
#include <png.h>
#include <vector>

#include "tools/sim/png_writer.h"

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
