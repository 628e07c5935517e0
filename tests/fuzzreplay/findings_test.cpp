// Inputs the fuzzers found, kept as regression tests. They matter most in
// the sanitizer build (make test-sanitize), where undefined behaviour aborts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/sound/sound.h"
#include "fuzz/harness.h"
#include "tests/sound/sound_fixtures.h"

using namespace fixtures;

namespace {

// MS ADPCM whose nibbles keep the step growing (adaptation 768/256 on every
// sample): the step must saturate rather than overflow int.
TEST(FuzzFindings, MsAdpcmWithAnEverGrowingStepDecodes) {
    Bytes ms;
    Put16(ms, 500);
    Put16(ms, 7);
    const int coefs[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (const auto& c : coefs) {
        Put16(ms, uint16_t(int16_t(c[0])));
        Put16(ms, uint16_t(int16_t(c[1])));
    }
    Bytes data(256, 0x77);  // nibble 7: the largest adaptation, block after block
    data[0] = 0;            // predictor 0
    data[1] = 0xFF;         // initial step 0x7FFF
    data[2] = 0x7F;
    Bytes wave = Wave(FmtBody(WaveTagMsAdpcm, 1, 22050, 4, 256, 11155, &ms), data);
    MemoryStream stream;
    MemoryStreamOpen(&stream, wave.data(), wave.size());
    SoundDecoder d{};
    ASSERT_EQ(SoundDecoderSetup(&d, &stream), 0);
    EXPECT_EQ(d.kind, SoundDecoderConverted);
    int16_t pcm[1024];
    size_t total = 0;
    for (size_t n; (n = SoundDecoderRead(&d, pcm, sizeof pcm)) != 0;) total += n;
    EXPECT_EQ(total, 500u * 2);
    SoundDecoderEnd(&d);
}

// A damaged Ogg stream on which libvorbisfile's open loses a small block of
// its own (suppressed in tests/lsan.supp): the decoder set-up must refuse
// or decode it without anything of ours left behind, and the whole load
// must leave no sound.
TEST(FuzzFindings, AnOggStreamThatLeaksInsideTheLibraryLoadsCleanly) {
    std::string path = std::string(QUELLBORE_SOURCE_DIR) + "/tests/fuzzreplay/data/vorbis-open-leak.ogg";
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    Bytes input;
    for (int c; (c = std::fgetc(f)) != EOF;) input.push_back(uint8_t(c));
    std::fclose(f);
    ASSERT_GT(input.size(), 1000u);
    EXPECT_EQ(FuzzSoundDecoder(input.data(), input.size()), 0);
    EXPECT_EQ(FuzzSoundLoad(input.data(), input.size()), 0);
    EXPECT_EQ(SoundCount(), 0);
}

}  // namespace
