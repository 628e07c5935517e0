// The recorded draw list through SDL_BlitSurface (colour-keyed RGB565).
#include <SDL2/SDL.h>

#include <map>

#include "bench/draw_list.h"
#include "engine/image/image.h"

struct SdlDrawList {
    std::vector<DrawCall> list;
    std::map<long long, SDL_Surface*> surfaces;  // (handle, mirror) -> surface
    SDL_Surface* screen = nullptr;
};

namespace {

// An RGB565 copy of an engine image, keyed pixels as 0xF81F (magenta).
SDL_Surface* MakeSurface(const ImageRecord* r, bool mirror) {
    constexpr uint16_t Key = 0xF81F;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, r->width, r->height, 16, SDL_PIXELFORMAT_RGB565);
    if (!s) return nullptr;
    for (int y = 0; y < r->height; ++y) {
        uint16_t* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < r->width; ++x) {
            uint16_t p = r->pixels[size_t(y) * size_t(r->pitch) + size_t(mirror ? r->width - 1 - x : x)];
            bool opaque = r->format == ImageStorageA1R5G5B5 ? (p & 0x8000) != 0 : (p >> 12) >= 8;
            uint16_t rgb;
            if (r->format == ImageStorageA1R5G5B5)
                rgb = uint16_t(((p & 0x7C00) << 1) | ((p & 0x03E0) << 1) | ((p & 0x0200) >> 4) | (p & 0x1F));
            else
                rgb = uint16_t(((p & 0x0F00) << 4) | ((p & 0x00F0) << 3) | ((p & 0x000F) << 1));
            if (rgb == Key) rgb ^= 1;
            row[x] = opaque ? rgb : Key;
        }
    }
    SDL_SetColorKey(s, SDL_TRUE, Key);
    return s;
}

}  // namespace

SdlDrawList* SdlPrepare(const std::vector<DrawCall>& list) {
    SdlDrawList* s = new SdlDrawList;
    s->list = list;
    for (const DrawCall& c : list) {
        long long key = (long long)c.image * 2 + (c.mirror ? 1 : 0);
        if (s->surfaces.count(key)) continue;
        const ImageRecord* r = GetImage(c.image);
        s->surfaces[key] = r && r->pixels ? MakeSurface(r, c.mirror != 0) : nullptr;
    }
    s->screen = SDL_CreateRGBSurfaceWithFormat(0, 256, 256, 16, SDL_PIXELFORMAT_RGB565);
    return s;
}

void* SdlBlit(SdlDrawList* s) {
    SDL_FillRect(s->screen, nullptr, 0);
    for (const DrawCall& c : s->list) {
        SDL_Surface* src = s->surfaces[(long long)c.image * 2 + (c.mirror ? 1 : 0)];
        if (!src) continue;
        int sx = c.mirror ? src->w - c.srcX - c.width : c.srcX;
        SDL_Rect from = {sx, c.srcY, c.width, c.height};
        SDL_Rect to = {c.x, c.y, c.width, c.height};
        SDL_BlitSurface(src, &from, s->screen, &to);
    }
    return s->screen->pixels;
}

void SdlFinish(SdlDrawList* s) {
    for (auto& p : s->surfaces) SDL_FreeSurface(p.second);
    SDL_FreeSurface(s->screen);
    delete s;
}
