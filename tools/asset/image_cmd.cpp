// quellbore-asset image [--stored] [--key RRGGBB] FILE OUT.png
//
// Opens FILE through the engine's file layer (archives included) and its
// decoder chain, and writes the picture as an 8-bit RGBA PNG: as decoded,
// or with --stored as the engine stores it (15-bit colour with the
// transparency bit as alpha, or 4 bits a channel for pictures with alpha),
// the transparent key being black unless --key says otherwise.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <png.h>

#include "engine/files/files.h"
#include "engine/image/image.h"
#include "tools/asset/asset.h"

namespace {

int WritePng(const char* path, int width, int height, const uint8_t* rgba) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return -1;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        if (png) png_destroy_write_struct(&png, nullptr);
        std::fclose(f);
        return -1;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[size_t(y)] = const_cast<png_bytep>(rgba + size_t(y) * size_t(width) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return -1;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 ? 0 : -1;
}

void StoredToRgba(const ImageRecord* record, std::vector<uint8_t>* rgba) {
    rgba->resize(size_t(record->width) * size_t(record->height) * 4);
    for (int y = 0; y < record->height; ++y) {
        for (int x = 0; x < record->width; ++x) {
            uint16_t p = record->pixels[size_t(y) * size_t(record->pitch) + size_t(x)];
            uint8_t* o = rgba->data() + (size_t(y) * size_t(record->width) + size_t(x)) * 4;
            if (record->format == ImageStorageA4R4G4B4) {
                o[0] = uint8_t(((p >> 8) & 15) * 17);
                o[1] = uint8_t(((p >> 4) & 15) * 17);
                o[2] = uint8_t((p & 15) * 17);
                o[3] = uint8_t(((p >> 12) & 15) * 17);
            } else {
                int r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
                o[0] = uint8_t((r << 3) | (r >> 2));
                o[1] = uint8_t((g << 3) | (g >> 2));
                o[2] = uint8_t((b << 3) | (b >> 2));
                o[3] = (p & 0x8000) ? 255 : 0;
            }
        }
    }
}

int Usage() {
    std::fprintf(stderr, "usage: quellbore-asset image [--stored] [--key RRGGBB] FILE OUT.png\n");
    return 2;
}

}  // namespace

int AssetImageCommand(int argc, char** argv) {
    bool stored = false;
    int key = 0;
    const char* input = nullptr;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--stored") == 0) {
            stored = true;
        } else if (std::strcmp(argv[i], "--key") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long value = std::strtol(argv[++i], &end, 16);
            if (!end || *end || value < 0 || value > 0xFFFFFF) return Usage();
            key = int(value);
        } else if (!input) {
            input = argv[i];
        } else if (!output) {
            output = argv[i];
        } else {
            return Usage();
        }
    }
    if (!input || !output) return Usage();

    FileLayerInit();
    DecodedImage image;
    const char* decoder = nullptr;
    int result = DecodeImageFile(input, &image, &decoder);
    if (result == -2) {
        std::fprintf(stderr, "グラフィックファイル %s がありません\n", input);
        FileLayerEnd();
        return 1;
    }
    if (result != 0) {
        std::fprintf(stderr, "右記のグラフィックファイルのロードに失敗しました：%s \n", input);
        std::fprintf(stderr, "reason: %s\n", ImageDecodeFailure());
        FileLayerEnd();
        return 1;
    }
    std::printf("decoder: %s\nsize: %dx%d\nalpha: %s\n", decoder, image.width, image.height,
                image.hasAlpha ? "yes" : "no");

    int status = 0;
    if (!stored) {
        if (WritePng(output, image.width, image.height, image.pixels) != 0) status = 1;
    } else {
        // As LoadImageFile stores it, companion alpha picture included.
        DecodedImage companion;
        std::memset(&companion, 0, sizeof companion);
        char companionName[FilePathMax];
        const char* ignored = nullptr;
        if (ImageCompanionName(input, companionName, sizeof companionName) == 0 &&
            DecodeImageFile(companionName, &companion, &ignored) != 0)
            FreeDecodedImage(&companion);
        g_TransparentKey = key;
        int handle = CreateImageFromDecoded(&image, companion.pixels ? &companion : nullptr, input);
        FreeDecodedImage(&companion);
        const ImageRecord* record = GetImage(handle);
        if (!record) {
            status = 1;
        } else {
            std::printf("stored: %s\n", record->format == ImageStorageA4R4G4B4 ? "A4R4G4B4" : "A1R5G5B5");
            std::vector<uint8_t> rgba;
            StoredToRgba(record, &rgba);
            if (WritePng(output, record->width, record->height, rgba.data()) != 0) status = 1;
        }
        EndImages();
    }
    if (status != 0) std::fprintf(stderr, "quellbore-asset image: cannot write %s\n", output);
    FreeDecodedImage(&image);
    FileLayerEnd();
    return status;
}
