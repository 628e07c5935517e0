// Screenshots of the headless display.
#pragma once

#include <cstdint>

// Converts a 16-bit frame (R5G6B5 when format is 0, X1R5G5B5 when 1; pitch
// in pixels) to RGB888 by bit replication and writes it as a PNG file.
// 0 on success, -1 on failure.
int WriteScreenPng(const char* path, const uint16_t* pixels, int width, int height, int pitch, int format);
// One pixel, for tests of the conversion.
void Rgb565ToRgb888(uint16_t pixel, int format, uint8_t rgb[3]);
