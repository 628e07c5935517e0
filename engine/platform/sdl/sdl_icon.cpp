// The program's icon (resource 101): a 32 x 32 drill, drawn in code.
#include <cmath>

#include "engine/platform/sdl/sdl_internal.h"

namespace {

constexpr int IconSize = 32;
constexpr int ProgramIconId = 101;

constexpr Uint32 Clear = 0x00000000;
constexpr Uint32 Outline = 0xFF1A1410;
constexpr Uint32 Gold = 0xFFF2C23A;
constexpr Uint32 Amber = 0xFFC27A1E;
constexpr Uint32 Shine = 0xFFFFF2B0;
constexpr Uint32 Steel = 0xFF8C96A0;
constexpr Uint32 SteelDark = 0xFF56606A;
constexpr Uint32 SteelLight = 0xFFD0D8E0;
constexpr Uint32 Grip = 0xFFB4321E;
constexpr Uint32 GripDark = 0xFF6E1A10;

// Fill colour of the picture at (x, y), before the outline is added.
Uint32 Fill(int x, int y) {
    double cy = 15.5;
    double dy = y - cy;
    // Grip: a short red handle on the left.
    if (x >= 1 && x <= 5 && y >= 12 && y <= 19) return (y <= 13) ? Grip : (x == 1 ? GripDark : Grip);
    // Motor housing: a steel block with a light top edge and dark bottom.
    if (x >= 6 && x <= 12 && y >= 8 && y <= 23) {
        if (y <= 9) return SteelLight;
        if (y >= 21) return SteelDark;
        if (x == 9 && y >= 12 && y <= 19) return SteelDark;  // a seam
        return Steel;
    }
    // Bit: a cone from x = 13 to the tip at x = 30, with spiral flutes.
    if (x >= 13 && x <= 30) {
        double half = 7.0 * (30.5 - x) / 17.5;
        if (std::fabs(dy) <= half) {
            if (dy < -half + 1.2 && x < 26) return Shine;
            int flute = ((x * 2 + (int)std::floor(dy + 16.0)) / 3) % 2;
            return flute ? Gold : Amber;
        }
    }
    return Clear;
}

}  // namespace

SDL_Surface* SdlCreateIconSurface(int iconId) {
    if (iconId != ProgramIconId) return nullptr;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, IconSize, IconSize, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return nullptr;
    Uint32 fill[IconSize][IconSize];
    for (int y = 0; y < IconSize; ++y)
        for (int x = 0; x < IconSize; ++x) fill[y][x] = Fill(x, y);
    for (int y = 0; y < IconSize; ++y) {
        Uint32* row = (Uint32*)((Uint8*)surface->pixels + y * surface->pitch);
        for (int x = 0; x < IconSize; ++x) {
            Uint32 c = fill[y][x];
            if (c == Clear) {
                // A clear pixel next to a filled one becomes the outline.
                bool edge = false;
                for (int dy = -1; dy <= 1 && !edge; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if (nx >= 0 && ny >= 0 && nx < IconSize && ny < IconSize && fill[ny][nx] != Clear) {
                            edge = true;
                            break;
                        }
                    }
                c = edge ? Outline : Clear;
            }
            row[x] = c;
        }
    }
    return surface;
}
