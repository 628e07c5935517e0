// Every fuzz harness over its seed corpus and a few thousand deterministic
// mutations of it, in the normal build (a short fuzz run without libFuzzer).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/files/files.h"
#include "engine/image/image.h"
#include "engine/sound/sound.h"
#include "fuzz/harness.h"

namespace {

struct Rng {
    uint64_t s;
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 11);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

// One mutation in the manner of libFuzzer's simple ones.
FuzzBytes Mutate(const FuzzBytes& seed, Rng& r) {
    FuzzBytes b = seed;
    int steps = 1 + int(r.Below(4));
    static const uint32_t interesting[] = {0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF,
                                           0x80000000u, 0xFFFFFFFFu};
    for (int i = 0; i < steps; ++i) {
        switch (r.Below(6)) {
        case 0:  // flip a bit
            if (!b.empty()) b[r.Below(uint32_t(b.size()))] ^= uint8_t(1u << r.Below(8));
            break;
        case 1:  // random byte
            if (!b.empty()) b[r.Below(uint32_t(b.size()))] = uint8_t(r.Next());
            break;
        case 2: {  // interesting 32-bit value, little-endian
            if (b.size() < 4) break;
            uint32_t v = interesting[r.Below(sizeof interesting / sizeof interesting[0])];
            std::memcpy(&b[r.Below(uint32_t(b.size() - 3))], &v, 4);
            break;
        }
        case 3:  // cut short
            b.resize(r.Below(uint32_t(b.size() + 1)));
            break;
        case 4: {  // repeat a span
            if (b.empty()) break;
            size_t at = r.Below(uint32_t(b.size()));
            size_t n = 1 + r.Below(uint32_t(b.size() - at < 64 ? b.size() - at : 64));
            FuzzBytes span(b.begin() + long(at), b.begin() + long(at + n));
            b.insert(b.begin() + long(r.Below(uint32_t(b.size() + 1))), span.begin(), span.end());
            break;
        }
        default:  // interesting 16-bit value
            if (b.size() < 2) break;
            uint16_t v = uint16_t(interesting[r.Below(8)]);
            std::memcpy(&b[r.Below(uint32_t(b.size() - 1))], &v, 2);
            break;
        }
    }
    return b;
}

TEST(FuzzReplay, EveryHarnessHasSeedsThatItsParserTakes) {
    int count = 0;
    const FuzzTarget* targets = FuzzTargets(&count);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        for (int j = 0; j < i; ++j) EXPECT_STRNE(targets[i].name, targets[j].name);
        std::vector<FuzzBytes> seeds;
        FuzzSeeds(targets[i].name, &seeds);
        EXPECT_GE(seeds.size(), 2u) << targets[i].name;
    }
    // Seeds that the parser refuses would start the fuzzer from nothing.
    std::vector<FuzzBytes> pictures, sounds, packed;
    FuzzSeeds("image", &pictures);
    FuzzSeeds("sound", &sounds);
    FuzzSeeds("decompress", &packed);
    for (size_t k = 0; k < pictures.size(); ++k) {
        DecodedImage image{};
        const char* name = nullptr;
        EXPECT_EQ(DecodeImageMemory(pictures[k].data(), pictures[k].size(), &image, &name), 0) << "picture " << k;
        FreeDecodedImage(&image);
    }
    size_t vorbis = 0;
    for (size_t k = 0; k < sounds.size(); ++k) {
        MemoryStream ms;
        MemoryStreamOpen(&ms, sounds[k].data(), sounds[k].size());
        SoundDecoder d{};
        ASSERT_EQ(SoundDecoderSetup(&d, &ms), 0) << "sound " << k;
        vorbis += d.kind == SoundDecoderVorbis;
        SoundDecoderEnd(&d);
    }
    EXPECT_EQ(vorbis, 2u);
    for (const FuzzBytes& b : packed) {
        std::vector<uint8_t> out(size_t(b[1]) | (size_t(b[2]) << 8));
        EXPECT_EQ(ArchiveDecompress(b.data() + 3, b.size() - 3, b[0], out.data(), out.size()), 0);
    }
    // Every seed archive serves the names the archive harness opens.
    std::vector<FuzzBytes> archives;
    FuzzSeeds("archive", &archives);
    std::string dir = testing::TempDir() + "fuzzreplay-archive";
    std::filesystem::create_directories(dir);
    for (size_t k = 0; k < archives.size(); ++k) {
        FILE* f = std::fopen((dir + "/pak.ARC").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(archives[k].data(), 1, archives[k].size(), f);
        std::fclose(f);
        FileLayerEnd();
        FileLayerInit();
        FileSetArchiveKey(k == 2 ? "quellbore" : nullptr);
        int h = FileOpen((dir + "/pak/sub/c.dat").c_str());
        EXPECT_NE(h, 0) << "archive " << k;
        if (h) {
            EXPECT_EQ(FileSize(h), 40);
            FileClose(h);
        }
        FileSetArchiveKey(nullptr);
        FileLayerEnd();
    }
    std::filesystem::remove_all(dir);
}

TEST(FuzzReplay, SeedsAndMutationsNeverCrash) {
    int count = 0;
    const FuzzTarget* targets = FuzzTargets(&count);
    for (int i = 0; i < count; ++i) {
        const FuzzTarget& t = targets[i];
        SCOPED_TRACE(t.name);
        std::vector<FuzzBytes> seeds;
        FuzzSeeds(t.name, &seeds);
        // The file-backed harnesses write a file per input: fewer rounds.
        bool files = !std::strcmp(t.name, "archive") || !std::strcmp(t.name, "stage") ||
                     !std::strcmp(t.name, "save") || !std::strcmp(t.name, "soundload");
        int rounds = files ? 600 : 3000;
        Rng r{0x9E3779B97F4A7C15ull + uint64_t(i)};
        for (const FuzzBytes& s : seeds) t.run(s.data(), s.size());
        t.run(nullptr, 0);
        for (int k = 0; k < rounds && !seeds.empty(); ++k) {
            FuzzBytes m = Mutate(seeds[r.Below(uint32_t(seeds.size()))], r);
            // A heap copy of exactly the input's size, so reads past it show under ASan.
            uint8_t* heap = new uint8_t[m.size() ? m.size() : 1];
            if (!m.empty()) std::memcpy(heap, m.data(), m.size());
            t.run(heap, m.size());
            delete[] heap;
        }
    }
}

// The seeds cut from the built game data reach every harness that reads
// such files, and run through it.
TEST(FuzzReplay, RealAssetSeedsRunThroughTheirHarnesses) {
    int count = 0;
    const FuzzTarget* targets = FuzzTargets(&count);
    const char* readers[] = {"image", "png", "bmp", "tga", "wave", "sound", "soundload", "stage", "stagestream",
                             "archive", "packreader"};
    for (int i = 0; i < count; ++i) {
        std::vector<FuzzBytes> seeds;
        FuzzAssetSeeds(targets[i].name, QUELLBORE_DATA_DIR, &seeds);
        bool reader = false;
        for (const char* r : readers) reader = reader || !std::strcmp(r, targets[i].name);
        if (reader) EXPECT_FALSE(seeds.empty()) << targets[i].name;
        for (const FuzzBytes& s : seeds) targets[i].run(s.data(), s.size());
    }
}

}  // namespace
