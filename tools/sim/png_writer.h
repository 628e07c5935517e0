// Screenshots of the headless display.
#pragma once

#include <cstdint>

// Converts a 16-bit frame (R5G6B5 when format is 0, X1R5G5B5 when 1; pitch
// in pixels) to RGB888 by bit replication and writes it as a PNG file.
// 0 on success, -1 on failure.
int WriteScreenPng(const char* path, const uint16_t* pixels, int width, int height, int pitch, int format);
// One pixel to RGB888, each channel widened by repeating its top bits.
inline void Rgb565ToRgb888(uint16_t p, int format, uint8_t rgb[3]) {
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
