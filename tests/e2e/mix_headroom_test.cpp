// The mix leaves headroom: a stage's clear script, recorded by the headless
// runner, never reaches full scale, and the recording is the same every run.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path Sim = fs::path(QUELLBORE_BUILD_DIR) / "quellbore-sim";
const fs::path Data = QUELLBORE_DATA_DIR;
const fs::path Stages = fs::path(QUELLBORE_SOURCE_DIR) / "assets/stages";

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The samples of the data chunk of a 16-bit WAV file.
std::vector<int16_t> WavSamples(const std::vector<uint8_t>& b) {
    std::vector<int16_t> out;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        uint32_t size = b[at + 4] | (b[at + 5] << 8) | (b[at + 6] << 16) | (uint32_t(b[at + 7]) << 24);
        if (size > b.size() - at - 8) size = uint32_t(b.size() - at - 8);
        if (std::memcmp(&b[at], "data", 4) == 0) {
            for (size_t i = 0; i + 1 < size; i += 2) out.push_back(int16_t(b[at + 8 + i] | (b[at + 9 + i] << 8)));
            return out;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

struct Recording {
    std::vector<uint8_t> wav;
    std::vector<int16_t> samples;
};

// Plays a normal stage's clear script from the title, with the save file
// at that stage, and records the sound.
Recording Record(const std::string& stage, int savedIndex, const fs::path& dir) {
    Recording r;
    const std::string script = (Stages / (stage + ".input")).string();
    std::ifstream in(script);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = text.find("# frames ");
    EXPECT_NE(at, std::string::npos) << stage << ": the script names no frame count";
    if (at == std::string::npos) return r;
    const int frames = std::atoi(text.c_str() + at + 9);
    fs::create_directories(dir / "data");
    for (const auto& e : fs::directory_iterator(Data))
        if (!fs::exists(dir / "data" / e.path().filename())) fs::create_symlink(e.path(), dir / "data" / e.path().filename());
    const char save[4] = {char('0' + savedIndex / 10), char('0' + savedIndex % 10), ' ', '\0'};
    std::ofstream(dir / "data/state0.dat", std::ios::binary).write(save, 4);
    const fs::path wav = dir / "mix.wav";
    const std::string cmd = "'" + Sim.string() + "' --dir '" + dir.string() + "' --frames " + std::to_string(frames) +
                            " --input '" + script + "' --audio '" + wav.string() + "' > /dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    r.wav = ReadAll(wav);
    r.samples = WavSamples(r.wav);
    return r;
}

}  // namespace

TEST(MixHeadroom, ClearScriptsNeverReachFullScale) {
    if (!fs::exists(Sim) || !fs::exists(Data / "stage01.dat")) GTEST_SKIP() << "build quellbore-sim and the data first";
    const fs::path tmp = fs::temp_directory_path() / ("qb-headroom-" + std::to_string(getpid()));
    // The first stage (where the clipping was heard) and a late one.
    struct Stage {
        const char* name;
        int saved;
    } stages[] = {{"stage01", 0}, {"stage25", 24}};
    std::vector<uint8_t> first;
    for (const Stage& s : stages) {
        if (!fs::exists(Stages / (std::string(s.name) + ".input"))) continue;
        Recording r = Record(s.name, s.saved, tmp / s.name);
        ASSERT_GT(r.samples.size(), 44100u * 2 * 10) << s.name << ": less than ten seconds recorded";
        size_t full = 0;
        int peak = 0;
        for (int16_t v : r.samples) {
            full += (v >= 32767 || v <= -32768) ? 1 : 0;
            peak = std::max(peak, std::abs(int(v)));
        }
        printf("%s: %zu samples, peak %.3f of full scale\n", s.name, r.samples.size(), peak / 32768.0);
        EXPECT_EQ(full, 0u) << s.name << ": samples at full scale";
        EXPECT_GT(peak, 32768 / 8) << s.name << ": the recording is nearly silent";
        if (first.empty()) first = r.wav;
    }
    // The same run records the same bytes.
    EXPECT_TRUE(Record("stage01", 0, tmp / "again").wav == first);
    fs::remove_all(tmp);
}
