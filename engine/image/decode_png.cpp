// PNG through libpng read callbacks over the engine's stream.
// 16-bit channels are cut to 8 bits and low depths unpacked; expansion is
// asked only for grey of at most 8 bits and for pictures with a
// transparency chunk (these become RGBA with alpha). A palette picture
// without one is mapped through its palette; grey with alpha keeps only
// its grey.
#include <csetjmp>

#include <png.h>

#include "engine/core/core.h"
#include "engine/image/image_internal.h"

namespace {

struct PngJob {
    png_structp png;
    png_infop info;
    EngineStream* stream;
    DecodedImage* out;
    uint8_t* rows;        // the whole picture after the transformations
    png_bytep* rowPointers;
};

void ReadCallback(png_structp png, png_bytep data, png_size_t length) {
    PngJob* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (EngineStreamReadExact(job->stream, data, length) != 0) png_error(png, "truncated");
}

// libpng's own texts are not kept: the reason must outlive the decode.
void ErrorCallback(png_structp png, png_const_charp) {
    DecodeRefuse("PNG: the data is damaged or cut short");
    png_longjmp(png, 1);
}
void WarningCallback(png_structp, png_const_charp) {}

int Decode(PngJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    png_set_read_fn(png, job, ReadCallback);
    png_set_user_limits(png, ImageMaxSide, ImageMaxSide);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    int colourType = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    bool grey = (colourType & PNG_COLOR_MASK_COLOR) == 0 && colourType != PNG_COLOR_TYPE_PALETTE;

    png_set_strip_16(png);
    png_set_packing(png);
    if ((grey && depth <= 8) || transparency) png_set_expand(png);
    if (transparency && grey) png_set_gray_to_rgb(png);  // four channels with alpha
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    if (AllocDecoded(job->out, width, height) != 0) return -1;
    size_t rowBytes = png_get_rowbytes(png, info);
    int channels = png_get_channels(png, info);
    if (rowBytes < size_t(width) * size_t(channels) || rowBytes > size_t(width) * 8)
        return DecodeRefuse("PNG: unexpected row size");
    job->rows = static_cast<uint8_t*>(EngineAlloc(rowBytes * height));
    job->rowPointers = static_cast<png_bytep*>(EngineAlloc(sizeof(png_bytep) * height));
    if (!job->rows || !job->rowPointers) return DecodeRefuse("PNG: out of memory for the rows");
    for (png_uint_32 y = 0; y < height; ++y) job->rowPointers[y] = job->rows + size_t(y) * rowBytes;
    png_read_image(png, job->rowPointers);

    int outType = png_get_color_type(png, info);
    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (outType == PNG_COLOR_TYPE_PALETTE && !png_get_PLTE(png, info, &palette, &paletteCount))
        return DecodeRefuse("PNG: a palette picture without a palette");
    bool alpha = outType == PNG_COLOR_TYPE_RGB_ALPHA;
    job->out->hasAlpha = alpha ? 1 : 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        const uint8_t* p = job->rowPointers[y];
        for (png_uint_32 x = 0; x < width; ++x) {
            uint8_t r, g, b, a = 255;
            switch (outType) {
            case PNG_COLOR_TYPE_PALETTE: {
                int index = p[x];
                if (index < paletteCount) {
                    r = palette[index].red;
                    g = palette[index].green;
                    b = palette[index].blue;
                } else {
                    r = g = b = 0;
                }
                break;
            }
            case PNG_COLOR_TYPE_GRAY: r = g = b = p[x]; break;
            case PNG_COLOR_TYPE_GRAY_ALPHA: r = g = b = p[x * 2]; break;
            case PNG_COLOR_TYPE_RGB:
                r = p[x * 3];
                g = p[x * 3 + 1];
                b = p[x * 3 + 2];
                break;
            default:
                r = p[x * 4];
                g = p[x * 4 + 1];
                b = p[x * 4 + 2];
                a = p[x * 4 + 3];
                break;
            }
            PutPixel(job->out, int(x), int(y), r, g, b, a);
        }
    }
    return 0;
}

}  // namespace

int DecodePng(EngineStream* s, DecodedImage* out) {
    uint8_t signature[8];
    if (EngineStreamReadExact(s, signature, 8) != 0 || png_sig_cmp(signature, 0, 8) != 0) return -1;
    if (EngineStreamSeek(s, 0, 0) != 0) return DecodeRefuse("PNG: the stream cannot be rewound");
    PngJob* job = static_cast<PngJob*>(EngineAllocZeroed(sizeof(PngJob)));
    if (!job) return DecodeRefuse("PNG: out of memory");
    job->stream = s;
    job->out = out;
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, ErrorCallback, WarningCallback);
    int result = -1;
    if (job->png) job->info = png_create_info_struct(job->png);
    if (job->png && job->info) {
        if (setjmp(png_jmpbuf(job->png)) == 0) result = Decode(job);
    }
    if (job->png) png_destroy_read_struct(&job->png, job->info ? &job->info : nullptr, nullptr);
    if (job->rows) EngineFree(job->rows);
    if (job->rowPointers) EngineFree(job->rowPointers);
    if (result != 0) FreeDecodedImage(out);
    EngineFree(job);
    return result;
}
