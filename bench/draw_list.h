// The draw calls of one frame, recorded at DrawImageRect, and their replay
// through SDL2's software blitter.
#pragma once

#include <vector>

struct DrawCall {
    int x, y, srcX, srcY, width, height, image, transparent, mirror;
};

// The engine's own DrawImageRect (the bench links with --wrap).
extern "C" int __real__Z13DrawImageRectiiiiiiiii(int, int, int, int, int, int, int, int, int);

struct SdlDrawList;
// RGB565 colour-keyed surfaces of every image the list uses (a mirrored copy
// where it draws mirrored) and a 256 x 256 RGB565 screen.
SdlDrawList* SdlPrepare(const std::vector<DrawCall>& list);
// Clears the screen and blits the list; returns the screen's pixels.
void* SdlBlit(SdlDrawList* s);
void SdlFinish(SdlDrawList* s);
