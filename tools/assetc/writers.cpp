// Picture and sound file writers. No time stamps or other varying fields are
// written, so the output bytes depend only on the pixels and samples.
#include <algorithm>
#include <png.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/assetc/assetc.h"

namespace assetc {

Canvas MakeCanvas(int width, int height) {
    Canvas c;
    c.width = width;
    c.height = height;
    c.pixels.assign(size_t(width) * size_t(height), Rgb{});
    return c;
}

bool InCanvas(const Canvas& c, int x, int y) { return x >= 0 && y >= 0 && x < c.width && y < c.height; }

Rgb GetPixel(const Canvas& c, int x, int y) {
    if (!InCanvas(c, x, y)) return Rgb{};
    return c.pixels[size_t(y) * size_t(c.width) + size_t(x)];
}

void SetPixel(Canvas& c, int x, int y, Rgb v) {
    if (!InCanvas(c, x, y)) return;
    c.pixels[size_t(y) * size_t(c.width) + size_t(x)] = v;
}

bool IsClear(Rgb v) { return v.r == 0 && v.g == 0 && v.b == 0; }

namespace {

struct FileCloser {
    FILE* f;
    ~FileCloser() {
        if (f) fclose(f);
    }
};

std::string WriteBytes(const std::vector<uint8_t>& bytes, const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return "cannot write " + path;
    size_t n = fwrite(bytes.data(), 1, bytes.size(), f);
    int closed = fclose(f);
    if (n != bytes.size() || closed != 0) return "write failed: " + path;
    return {};
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

}  // namespace

std::string WritePng(const Canvas& c, const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return "cannot write " + path;
    FileCloser closer{f};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return "png: out of memory";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return "png: out of memory";
    }
    std::vector<uint8_t> row(size_t(c.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "png: write error for " + path;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    // Plain 8-bit RGB: black is the colour key, so no alpha channel is needed.
    png_set_IHDR(png, info, png_uint_32(c.width), png_uint_32(c.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            Rgb p = GetPixel(c, x, y);
            row[size_t(x) * 3 + 0] = p.r;
            row[size_t(x) * 3 + 1] = p.g;
            row[size_t(x) * 3 + 2] = p.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

std::string WriteBmp(const Canvas& c, const std::string& path) {
    // 24-bit, rows bottom-up, each padded to 4 bytes.
    uint32_t stride = (uint32_t(c.width) * 3 + 3) & ~3u;
    uint32_t dataSize = stride * uint32_t(c.height);
    std::vector<uint8_t> b;
    b.reserve(54 + dataSize);
    b.push_back('B');
    b.push_back('M');
    Put32(b, 54 + dataSize);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, uint32_t(c.width));
    Put32(b, uint32_t(c.height));
    Put16(b, 1);
    Put16(b, 24);
    Put32(b, 0);  // no compression
    Put32(b, dataSize);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = c.height - 1; y >= 0; --y) {
        size_t start = b.size();
        for (int x = 0; x < c.width; ++x) {
            Rgb p = GetPixel(c, x, y);
            b.push_back(p.b);
            b.push_back(p.g);
            b.push_back(p.r);
        }
        while (b.size() - start < stride) b.push_back(0);
    }
    return WriteBytes(b, path);
}

std::string WriteTga(const Canvas& c, const std::string& path) {
    // Uncompressed true colour (type 2), 24 bits, rows bottom-up, with the
    // optional version-2 footer.
    std::vector<uint8_t> b;
    b.push_back(0);  // no id
    b.push_back(0);  // no colour map
    b.push_back(2);
    for (int i = 0; i < 5; ++i) b.push_back(0);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, uint32_t(c.width));
    Put16(b, uint32_t(c.height));
    b.push_back(24);
    b.push_back(0);  // origin bottom-left
    for (int y = c.height - 1; y >= 0; --y) {
        for (int x = 0; x < c.width; ++x) {
            Rgb p = GetPixel(c, x, y);
            b.push_back(p.b);
            b.push_back(p.g);
            b.push_back(p.r);
        }
    }
    Put32(b, 0);
    Put32(b, 0);
    const char* sig = "TRUEVISION-XFILE.";
    for (size_t i = 0; i < strlen(sig); ++i) b.push_back(uint8_t(sig[i]));
    b.push_back(0);
    return WriteBytes(b, path);
}

std::string WriteWav(const std::vector<int16_t>& samples, int channels, int rate, const std::string& path) {
    uint32_t dataSize = uint32_t(samples.size() * 2);
    std::vector<uint8_t> b;
    b.reserve(44 + dataSize);
    for (char ch : std::string("RIFF")) b.push_back(uint8_t(ch));
    Put32(b, 36 + dataSize);
    for (char ch : std::string("WAVEfmt ")) b.push_back(uint8_t(ch));
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, uint32_t(channels));
    Put32(b, uint32_t(rate));
    Put32(b, uint32_t(rate * channels * 2));
    Put16(b, uint32_t(channels * 2));
    Put16(b, 16);
    for (char ch : std::string("data")) b.push_back(uint8_t(ch));
    Put32(b, dataSize);
    for (int16_t s : samples) Put16(b, uint16_t(s));
    return WriteBytes(b, path);
}

std::string WriteOgg(const std::vector<float>& left, const std::vector<float>& right, int rate,
                     const std::string& path) {
    if (left.size() != right.size()) return "ogg: channel lengths differ";
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, rate, 0.4f) != 0) {
        vorbis_info_clear(&vi);
        return "ogg: encoder set-up failed";
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "assetc");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x51424F52);  // fixed serial number: repeatable output

    std::vector<uint8_t> out;
    auto emit = [&out](const ogg_page& og) {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&vd, &vc, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &headerComment);
    ogg_stream_packetin(&os, &headerCode);
    ogg_page og;
    while (ogg_stream_flush(&os, &og) != 0) emit(og);

    const size_t chunk = 4096;
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        size_t n = std::min(chunk, left.size() - pos);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i) {
                buffer[0][i] = left[pos + i];
                buffer[1][i] = right[pos + i];
            }
            vorbis_analysis_wrote(&vd, int(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    emit(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            // Flush whatever the stream still holds.
            while (ogg_stream_flush(&os, &og) != 0) {
                emit(og);
                if (ogg_page_eos(&og)) eos = true;
            }
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return WriteBytes(out, path);
}

bool ReadTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string cur;
    for (char ch : line) {
        if (ch == ' ' || ch == '\t' || ch == '\r') {
            if (!cur.empty()) words.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!cur.empty()) words.push_back(cur);
    return words;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
    return s.substr(a, b - a);
}

}  // namespace assetc
