// Seed sounds: wave files of every format the converter takes, and a
// short Ogg Vorbis file, written by the sound test fixtures.
#include <string>

#include "engine/sound/sound.h"
#include "fuzz/harness.h"
#include "tests/sound/sound_fixtures.h"

using namespace fixtures;

namespace {

Bytes Pattern(size_t n, unsigned seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t((i * 73 + seed * 11) ^ (i >> 3));
    return b;
}

void Waves(std::vector<FuzzBytes>* out, bool converted) {
    if (!converted) {
        out->push_back(PcmWave(1, 22050, 8, 64));
        out->push_back(PcmWave(2, 44100, 16, 64));
    }
    out->push_back(Wave(FmtBody(WaveTagPcm, 2, 44100, 24), Pattern(6 * 40, 1)));
    out->push_back(Wave(FmtBody(WaveTagPcm, 1, 8000, 32), Pattern(4 * 40, 2)));
    out->push_back(Wave(FmtBody(WaveTagIeeeFloat, 1, 22050, 32, 0, 0, nullptr, true), Pattern(4 * 40, 3)));
    out->push_back(Wave(FmtBody(WaveTagIeeeFloat, 2, 22050, 64, 0, 0, nullptr, true), Pattern(16 * 20, 4)));
    out->push_back(Wave(FmtBody(WaveTagALaw, 1, 8000, 8, 0, 0, nullptr, true), Pattern(100, 5)));
    out->push_back(Wave(FmtBody(WaveTagMuLaw, 2, 8000, 8, 0, 0, nullptr, true), Pattern(100, 6)));
    // IMA ADPCM: 4 bits, 256-byte blocks of 505 frames (mono).
    Bytes ima;
    Put16(ima, 505);
    out->push_back(Wave(FmtBody(WaveTagImaAdpcm, 1, 22050, 4, 256, 11100, &ima), Pattern(512, 7)));
    // MS ADPCM: the seven standard coefficient pairs.
    Bytes ms;
    Put16(ms, 500);
    Put16(ms, 7);
    const int coefs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (const auto& c : coefs) {
        Put16(ms, uint16_t(int16_t(c[0])));
        Put16(ms, uint16_t(int16_t(c[1])));
    }
    out->push_back(Wave(FmtBody(WaveTagMsAdpcm, 1, 22050, 4, 256, 11155, &ms), Pattern(512, 8)));
    // Extensible around 16-bit PCM: valid bits, channel mask, sub-format GUID.
    Bytes ext;
    Put16(ext, 16);
    Put32(ext, 3);
    const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    ext.insert(ext.end(), guid, guid + 16);
    out->push_back(Wave(FmtBody(WaveTagExtensible, 2, 44100, 16, 4, 0, &ext), Pattern(4 * 40, 9)));
}

}  // namespace

void FuzzSoundSeeds(const char* target, std::vector<FuzzBytes>* out) {
    std::string t = target;
    if (t == "wave") Waves(out, false);
    if (t == "waveconvert") Waves(out, true);
    if (t == "sound" || t == "soundload") {
        Waves(out, false);
        Bytes ogg = Vorbis(1, 22050, Sine(1, 22050, 440, 2000, 0.5));
        if (!ogg.empty()) out->push_back(ogg);
        Bytes ogg2 = Vorbis(2, 44100, Sine(2, 44100, 220, 3000, 0.3));
        if (!ogg2.empty()) out->push_back(ogg2);
    }
}
