// Every built effect and tune, decoded the way the engine decodes it, held
// to the limits a player hears: no DC offset, effects that start and end in
// silence, tunes whose last sample meets their first (the engine loops a
// memory sound from its start), even loudness, and no aliasing from the
// oscillators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "engine/sound/sound.h"

namespace fs = std::filesystem;

namespace {

const std::string kData = QUELLBORE_DATA_DIR;

const char* const kEffects[] = {"bom24", "burst00", "chari02", "crash18_d", "hit17",     "cursor08", "door02",
                                "fm000", "fm008",   "fm014",   "mizu08",    "pi31",      "pi73",     "don05",
                                "puu79_a", "fall06", "crash22_a", "chari05", "pi52", "wood07"};
const char* const kTunes[] = {"BGM016", "BGM007", "BGM022", "BGM057", "BGM041", "BGM059", "BGM091", "BGM004"};

constexpr double kFull = 32768.0;

// Decoded PCM as the engine's loader holds it: the decoder's total size,
// filled by reads until full or the decoder ends.
struct Pcm {
    int channels = 0, rate = 0;
    std::vector<int16_t> samples;  // interleaved
    size_t Frames() const { return channels ? samples.size() / size_t(channels) : 0; }
    double At(size_t frame, int ch) const { return samples[frame * size_t(channels) + size_t(ch)] / kFull; }
};

bool DecodeFile(const std::string& path, Pcm& out, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (image.empty()) return why = "missing or empty", false;
    MemoryStream ms;
    MemoryStreamOpen(&ms, image.data(), image.size());
    SoundDecoder d;
    if (SoundDecoderSetup(&d, &ms) != 0) return why = "no decoder takes it", false;
    bool ok = d.format.bitsPerSample == 16 && d.format.channels >= 1;
    const uint64_t total = SoundDecoderTotalBytes(&d);
    if (ok && total > 0 && total < (uint64_t(1) << 31)) {
        out.channels = d.format.channels;
        out.rate = int(d.format.samplesPerSec);
        std::vector<uint8_t> block(static_cast<size_t>(total));
        SoundDecoderSeek(&d, 0);
        size_t filled = 0;
        while (filled < block.size()) {
            size_t got = SoundDecoderRead(&d, block.data() + filled, block.size() - filled);
            if (got == 0) break;
            filled += got;
        }
        block.resize(filled - filled % (2 * size_t(out.channels)));
        out.samples.resize(block.size() / 2);
        for (size_t i = 0; i < out.samples.size(); ++i)
            out.samples[i] = int16_t(block[2 * i] | (block[2 * i + 1] << 8));
    } else {
        why = "not 16-bit PCM or no length";
        ok = false;
    }
    SoundDecoderEnd(&d);
    MemoryStreamClose(&ms);
    return ok && out.Frames() > 0;
}

struct Figures {
    double mean[2] = {0, 0};
    double first[2] = {0, 0}, last[2] = {0, 0};
    double peak = 0;
    double loudness = 0;  // the loudest 50 ms, RMS over the channels
};

Figures Measure(const Pcm& p) {
    Figures f;
    const size_t n = p.Frames();
    for (int c = 0; c < p.channels; ++c) {
        double sum = 0;
        for (size_t i = 0; i < n; ++i) {
            sum += p.At(i, c);
            f.peak = std::max(f.peak, std::fabs(p.At(i, c)));
        }
        f.mean[c] = sum / double(n);
        f.first[c] = p.At(0, c);
        f.last[c] = p.At(n - 1, c);
    }
    const size_t window = size_t(p.rate) / 20;
    for (size_t at = 0; at + window <= n; at += window / 2) {
        double s = 0;
        for (size_t i = at; i < at + window; ++i)
            for (int c = 0; c < p.channels; ++c) s += p.At(i, c) * p.At(i, c);
        f.loudness = std::max(f.loudness, std::sqrt(s / double(window * size_t(p.channels))));
    }
    return f;
}

// Amplitude of one frequency in a mono signal (a single DFT bin, Hann window).
double Tone(const std::vector<double>& x, double freq, int rate) {
    double re = 0, im = 0, wsum = 0;
    const double n = double(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / n);
        double ph = 2 * M_PI * freq * double(i) / rate;
        re += x[i] * w * std::cos(ph);
        im += x[i] * w * std::sin(ph);
        wsum += w;
    }
    return 2 * std::hypot(re, im) / wsum;
}

}  // namespace

TEST(SoundLimits, EffectsAreCentredAndStartAndEndInSilence) {
    double quietest = 1, loudest = 0;
    for (const char* name : kEffects) {
        Pcm p;
        std::string why;
        ASSERT_TRUE(DecodeFile(kData + "/sound/" + name + ".wav", p, why)) << name << ": " << why;
        Figures f = Measure(p);
        printf("effect %-10s  %5.2f s  mean %+.5f  first %+.5f  last %+.5f  peak %.3f  loudness %.3f\n", name,
               double(p.Frames()) / p.rate, f.mean[0], f.first[0], f.last[0], f.peak, f.loudness);
        for (int c = 0; c < p.channels; ++c) {
            EXPECT_LE(std::fabs(f.mean[c]), 0.002) << name << ": DC offset";
            EXPECT_LE(std::fabs(f.first[c]), 0.01) << name << ": starts with a click";
            EXPECT_LE(std::fabs(f.last[c]), 0.01) << name << ": ends with a click";
        }
        EXPECT_LT(f.peak, 0.999) << name << ": clipped";
        quietest = std::min(quietest, f.loudness);
        loudest = std::max(loudest, f.loudness);
    }
    // About 3 dB between the quietest and the loudest effect.
    EXPECT_LT(loudest / quietest, 1.41) << "effects differ in loudness: " << quietest << " to " << loudest;
}

TEST(SoundLimits, TunesAreCentredAndJoinTheirEndToTheirStart) {
    double quietest = 1, loudest = 0;
    for (const char* name : kTunes) {
        Pcm p;
        std::string why;
        ASSERT_TRUE(DecodeFile(kData + "/bgm/" + name + ".ogg", p, why)) << name << ": " << why;
        ASSERT_EQ(p.channels, 2) << name;
        Figures f = Measure(p);
        printf("tune   %-7s  %6.2f s  mean %+.5f %+.5f  join %.5f %.5f  start %+.4f %+.4f  peak %.3f  loudness %.3f\n",
               name, double(p.Frames()) / p.rate, f.mean[0], f.mean[1], std::fabs(f.last[0] - f.first[0]),
               std::fabs(f.last[1] - f.first[1]), f.first[0], f.first[1], f.peak, f.loudness);
        for (int c = 0; c < 2; ++c) {
            EXPECT_LE(std::fabs(f.mean[c]), 0.002) << name << ": DC offset in channel " << c;
            EXPECT_LE(std::fabs(f.last[c] - f.first[c]), 0.02) << name << ": the loop clicks in channel " << c;
        }
        EXPECT_LT(f.peak, 0.999) << name << ": clipped";
        quietest = std::min(quietest, f.loudness);
        loudest = std::max(loudest, f.loudness);
    }
    EXPECT_LT(loudest / quietest, 1.6) << "tunes differ in loudness: " << quietest << " to " << loudest;
}

// A high pulse and saw made by the asset compiler: the partials above half
// the sample rate must not fold back into the audible band.
TEST(SoundLimits, OscillatorsAreBandLimited) {
    const fs::path assetc = fs::path(QUELLBORE_BUILD_DIR) / "assetc";
    if (!fs::exists(assetc)) GTEST_SKIP() << "build assetc first";
    const fs::path dir = fs::temp_directory_path() / ("qb-alias-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct Case {
        const char* wave;
        double aliasBelow;  // dB against the fundamental
    } cases[] = {{"square duty=0.5", -50}, {"square duty=0.25", -50}, {"saw", -50}, {"triangle", -60}};
    // 2500 Hz: harmonic k folds to |44100 - 2500 k|; the 17th lands at 1600 Hz,
    // the 19th at 3400 Hz, the 15th at 6600 Hz, far from any true harmonic.
    const double aliases[] = {1600, 3400, 6600, 8600};
    for (const Case& c : cases) {
        const fs::path src = dir / "tone.sfx", out = dir / "tone.wav";
        std::ofstream(src) << "voice wave=" << c.wave << " f=2500 len=0.5 a=0.01 d=0.01 s=1 r=0.01 vol=1\n";
        const std::string cmd = "'" + assetc.string() + "' sound '" + src.string() + "' '" + out.string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        Pcm p;
        std::string why;
        ASSERT_TRUE(DecodeFile(out.string(), p, why)) << why;
        std::vector<double> x;
        for (size_t i = p.Frames() / 4; i < p.Frames() * 3 / 4; ++i) x.push_back(p.At(i, 0));
        const double fundamental = Tone(x, 2500, p.rate);
        ASSERT_GT(fundamental, 0.05) << c.wave;
        double worst = -200;
        for (double a : aliases) {
            double db = 20 * std::log10(std::max(Tone(x, a, p.rate), 1e-12) / fundamental);
            EXPECT_LT(db, c.aliasBelow) << c.wave << ": alias at " << a << " Hz";
            worst = std::max(worst, db);
        }
        printf("%-16s  strongest alias %.1f dB\n", c.wave, worst);
    }
    fs::remove_all(dir);
}
