// JPEG through libjpeg, with a source manager over the engine's stream.
// Any library error rejects the stream; so does running out of data.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "engine/core/core.h"
#include "engine/image/image_internal.h"

namespace {

enum { SourceBufferSize = 4096 };

struct StreamSource {
    jpeg_source_mgr pub;
    EngineStream* stream;
    JOCTET buffer[SourceBufferSize];
};

struct ErrorHandler {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
    ErrorHandler* handler = reinterpret_cast<ErrorHandler*>(cinfo->err);
    DecodeRefuse("JPEG: the data is damaged or cut short");
    longjmp(handler->jump, 1);
}
void OutputMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    StreamSource* src = reinterpret_cast<StreamSource*>(cinfo->src);
    size_t got = EngineStreamRead(src->stream, src->buffer, 1, SourceBufferSize);
    if (got == 0) ERREXIT(cinfo, JERR_INPUT_EOF);  // a truncated picture is refused
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    StreamSource* src = reinterpret_cast<StreamSource*>(cinfo->src);
    if (count <= 0) return;
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// State that must survive a longjmp lives here, not in locals.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    ErrorHandler error;
    StreamSource source;
    DecodedImage* out;
    JSAMPLE* row;
};

int Decode(JpegJob* job) {
    jpeg_decompress_struct& cinfo = job->cinfo;
    jpeg_read_header(&cinfo, TRUE);
    if (AllocDecoded(job->out, cinfo.image_width, cinfo.image_height) != 0) return -1;
    jpeg_start_decompress(&cinfo);
    int components = cinfo.output_components;
    if (components != 1 && components != 3 && components != 4)
        return DecodeRefuse("JPEG: other than 1, 3 or 4 colour components");
    job->row = static_cast<JSAMPLE*>(EngineAlloc(size_t(cinfo.output_width) * size_t(components)));
    if (!job->row) return DecodeRefuse("JPEG: out of memory for a row");
    bool adobe = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        int y = int(cinfo.output_scanline);
        JSAMPROW rows[1] = {job->row};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return DecodeRefuse("JPEG: a row could not be read");
        const JSAMPLE* p = job->row;
        for (int x = 0; x < int(cinfo.output_width); ++x, p += components) {
            if (components == 1) {
                PutPixel(job->out, x, y, p[0], p[0], p[0], 255);
            } else if (components == 3) {
                PutPixel(job->out, x, y, p[0], p[1], p[2], 255);
            } else {
                // CMYK; Adobe writes it inverted.
                int c = p[0], m = p[1], ye = p[2], k = p[3];
                if (!adobe) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                PutPixel(job->out, x, y, uint8_t(c * k / 255), uint8_t(m * k / 255), uint8_t(ye * k / 255), 255);
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    return 0;
}

}  // namespace

int DecodeJpeg(EngineStream* s, DecodedImage* out) {
    uint8_t magic[3];
    if (EngineStreamReadExact(s, magic, 3) != 0 || magic[0] != 0xFF || magic[1] != 0xD8 || magic[2] != 0xFF)
        return -1;
    if (EngineStreamSeek(s, 0, 0) != 0) return DecodeRefuse("JPEG: the stream cannot be rewound");

    JpegJob* job = static_cast<JpegJob*>(EngineAllocZeroed(sizeof(JpegJob)));
    if (!job) return DecodeRefuse("JPEG: out of memory");
    job->out = out;
    job->cinfo.err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = ErrorExit;
    job->error.pub.output_message = OutputMessage;
    int result = -1;
    if (setjmp(job->error.jump) == 0) {
        jpeg_create_decompress(&job->cinfo);
        // Coefficient buffers of a progressive picture stay bounded.
        job->cinfo.mem->max_memory_to_use = long(ImageMaxPixelBytes * 2);
        job->source.stream = s;
        job->source.pub.init_source = InitSource;
        job->source.pub.fill_input_buffer = FillInputBuffer;
        job->source.pub.skip_input_data = SkipInputData;
        job->source.pub.resync_to_restart = jpeg_resync_to_restart;
        job->source.pub.term_source = TermSource;
        job->cinfo.src = &job->source.pub;
        result = Decode(job);
    }
    jpeg_destroy_decompress(&job->cinfo);
    if (job->row) EngineFree(job->row);
    if (result != 0) FreeDecodedImage(out);
    EngineFree(job);
    return result;
}
