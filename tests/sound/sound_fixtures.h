// Sound files made in code for the sound tests: wave images with any
// chunk layout, and small Ogg Vorbis files through libvorbisenc.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/temp_folder.h"

namespace fixtures {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

inline void Chunk(Bytes& out, const char* id, const Bytes& body, uint32_t declared = 0xFFFFFFFF) {
    PutId(out, id);
    Put32(out, declared == 0xFFFFFFFF ? (uint32_t)body.size() : declared);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
}

inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                     uint16_t blockAlign = 0, uint32_t avg = 0, const Bytes* extra = nullptr,
                     bool with18 = false) {
    if (!blockAlign) blockAlign = (uint16_t)(channels * bits / 8);
    if (!avg) avg = rate * blockAlign;
    Bytes b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, avg);
    Put16(b, blockAlign);
    Put16(b, bits);
    if (extra || with18) {
        Put16(b, extra ? (uint32_t)extra->size() : 0);
        if (extra) b.insert(b.end(), extra->begin(), extra->end());
    }
    return b;
}

// RIFF/WAVE around the given chunks (already laid out).
inline Bytes Riff(const Bytes& chunks) {
    Bytes out;
    PutId(out, "RIFF");
    Put32(out, (uint32_t)(4 + chunks.size()));
    PutId(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

inline Bytes Wave(const Bytes& fmt, const Bytes& data) {
    Bytes chunks;
    Chunk(chunks, "fmt ", fmt);
    Chunk(chunks, "data", data);
    return Riff(chunks);
}

// A PCM wave whose frames count up: 16-bit frame i holds (i & 0x7FFF) on
// the left and (i >> 15) on the right; 8-bit frame i holds i & 0xFF.
inline Bytes CountingPcm(uint16_t channels, uint16_t bits, uint64_t frames) {
    Bytes d;
    d.reserve((size_t)(frames * channels * bits / 8));
    for (uint64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            if (bits == 8) d.push_back((uint8_t)(i & 0xFF));
            else Put16(d, c == 0 ? (uint32_t)(i & 0x7FFF) : (uint32_t)((i >> 15) & 0x7FFF));
        }
    }
    return d;
}

inline Bytes PcmWave(uint16_t channels, uint32_t rate, uint16_t bits, uint64_t frames) {
    return Wave(FmtBody(1, channels, rate, bits), CountingPcm(channels, bits, frames));
}

// Sine of `amplitude` (0 ... 1) as 16-bit samples, all channels alike.
inline std::vector<int16_t> Sine(int channels, int rate, double hz, int frames, double amplitude) {
    std::vector<int16_t> s((size_t)frames * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s[(size_t)i * channels + c] =
                (int16_t)std::lrint(amplitude * 32767.0 * std::sin(2 * M_PI * hz * i / rate));
    return s;
}

// A small Ogg Vorbis file of the samples (interleaved 16-bit).
inline Bytes Vorbis(int channels, int rate, const std::vector<int16_t>& pcm) {
    Bytes out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.3f) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    ogg_page og;
    auto putPage = [&](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&os, &og)) putPage(og);
    const int frames = (int)(pcm.size() / channels);
    int pos = 0;
    bool eos = false;
    while (!eos) {
        int n = frames - pos < 1024 ? frames - pos : 1024;
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, n);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buf[c][i] = pcm[(size_t)(pos + i) * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&vd, n);
            pos += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    putPage(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// A temporary directory for the files of one test program.
inline const std::string& TempDir() {
    // Shared by the whole program, removed at its exit.
    static TempFolder folder("quellbore-sound-");
    static const std::string dir = folder.path.empty() ? "/tmp" : folder.path;
    return dir;
}

inline std::string WriteFile(const std::string& name, const Bytes& data) {
    std::string path = TempDir() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    return path;
}

inline std::string ReadText(const std::string& path) {
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

}  // namespace fixtures
