// The harness functions. Each takes any bytes, runs one parser over them
// and releases whatever it made, so leaks show under the sanitizers.
#include "fuzz/harness.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/files/files.h"
#include "engine/platform/audio.h"
#include "engine/image/image.h"
#include "engine/sound/sound.h"
#include "game/shell/movie.h"
#include "game/world/save.h"
#include "game/world/stage_file.h"
#include "tools/pack/pack.h"

namespace {

// Inputs above this size only slow the fuzzer down; nothing new lies there.
constexpr size_t MaxInput = size_t(1) << 20;

// A private scratch folder for the parsers that read real files.
const std::string& ScratchDir() {
    static std::string dir = [] {
        // Harnesses that go through real files write one per input: a
        // memory-backed folder keeps them off the disk (six times faster).
        const char* base = std::getenv("TMPDIR");
        struct stat shm;
        const bool haveShm = stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) && access("/dev/shm", W_OK) == 0;
        const std::string root = base && *base ? base : haveShm ? "/dev/shm" : "/tmp";
        // libFuzzer ends without running exit handlers: the folders of
        // runs that are gone are cleared here.
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("quellbore-fuzz-", 0) != 0) continue;
            const long pid = std::atol(name.c_str() + 15);
            if (pid > 0 && kill((pid_t)pid, 0) != 0 && errno == ESRCH) std::filesystem::remove_all(entry.path(), ec);
        }
        std::string d = root + "/quellbore-fuzz-" + std::to_string(getpid());
        mkdir(d.c_str(), 0755);
        mkdir((d + "/data").c_str(), 0755);
        // Removed at exit from a copy of its own: the string itself is gone
        // by the time exit handlers registered this early run.
        static char made[4096];
        std::snprintf(made, sizeof made, "%s", d.c_str());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(made, ec);
        });
        return d;
    }();
    return dir;
}

bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

using Decoder = int (*)(EngineStream*, DecodedImage*);

// The largest block a picture decoder may take per input: 4 MiB, a
// 1024 x 1024 picture of four bytes a pixel, sixteen times the largest the
// game ships. A header that claims more fails at once instead of making
// the fuzzer fill memory.
constexpr size_t ImageBlockLimit = size_t(4) << 20;

struct BlockLimit {
    BlockLimit() { TrackedSetBlockLimit(ImageBlockLimit); }
    ~BlockLimit() { TrackedSetBlockLimit(0); }
};

int RunDecoder(Decoder decode, const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    BlockLimit limit;
    EngineStream stream;
    EngineStreamFromMemory(&stream, data, size);
    DecodedImage image{};
    if (decode(&stream, &image) == 0) {
        // Touch every pixel so a short buffer shows.
        volatile uint8_t sum = 0;
        size_t bytes = size_t(image.width) * size_t(image.height) * 4;
        for (size_t i = 0; i < bytes; i += 61) sum = uint8_t(sum + image.pixels[i]);
        if (bytes) sum = uint8_t(sum + image.pixels[bytes - 1]);
        FreeDecodedImage(&image);
    }
    return 0;
}

int ChainDecoder(EngineStream* stream, DecodedImage* out) {
    const char* name = nullptr;
    return DecodeImageStream(stream, out, &name);
}

// Reads a decoder to its end (bounded), seeks into the middle and reads on.
void Drain(SoundDecoder* d) {
    uint8_t buffer[4096];
    uint64_t total = SoundDecoderTotalBytes(d);
    uint64_t limit = (total < (uint64_t(8) << 20) ? total : (uint64_t(8) << 20)) + 65536;
    uint64_t got = 0;
    for (size_t n; (n = SoundDecoderRead(d, buffer, sizeof buffer)) != 0 && got < limit;) got += n;
    SoundDecoderSeek(d, 1);
    if (d->format.blockAlign) SoundDecoderSeek(d, total / d->format.blockAlign / 2);
    for (int i = 0; i < 4 && SoundDecoderRead(d, buffer, sizeof buffer) != 0; ++i) {
    }
}

}  // namespace

int FuzzBmp(const uint8_t* d, size_t n) { return RunDecoder(DecodeBmp, d, n); }
int FuzzJpeg(const uint8_t* d, size_t n) { return RunDecoder(DecodeJpeg, d, n); }
int FuzzPng(const uint8_t* d, size_t n) { return RunDecoder(DecodePng, d, n); }
int FuzzRawBgra(const uint8_t* d, size_t n) { return RunDecoder(DecodeRawBgra, d, n); }
int FuzzTga(const uint8_t* d, size_t n) { return RunDecoder(DecodeTga, d, n); }
int FuzzDds(const uint8_t* d, size_t n) { return RunDecoder(DecodeDds, d, n); }
int FuzzImageChain(const uint8_t* d, size_t n) { return RunDecoder(ChainDecoder, d, n); }

// The archive reader through the file layer: the bytes become "pak.ARC",
// and the names the seed archives hold are opened and read through it.
int FuzzArchive(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    const std::string dir = ScratchDir();
    if (!WriteWhole(dir + "/pak.ARC", data, size)) return 0;
    FileLayerEnd();  // forgets the archive read for the previous input
    FileLayerInit();
    FileSetUseArchives(1);
    static const char* const names[] = {"a.txt", "B.BIN", "sub/c.dat", "sub/deeper/d.txt", "missing"};
    for (int key = 0; key < 2; ++key) {
        FileSetArchiveKey(key ? "quellbore" : nullptr);
        for (const char* name : names) {
            int h = FileOpen((dir + "/pak/" + name).c_str(), 0, 1, 0);
            if (!h) continue;
            uint8_t buffer[1024];
            int64_t fileSize = FileSize(h);
            while (FileRead(buffer, 1, sizeof buffer, h) != 0) {
            }
            if (fileSize > 2) {
                FileSeek(h, fileSize / 2, SEEK_SET);
                FileRead(buffer, 1, sizeof buffer, h);
                FileSeek(h, -1, SEEK_END);
                FileRead(buffer, 1, 3, h);
            }
            FileClose(h);
        }
    }
    FileSetArchiveKey(nullptr);
    FileLayerEnd();
    unlink((dir + "/pak.ARC").c_str());
    return 0;
}

// The decompressor alone: byte 0 the marker, bytes 1-2 the output size.
int FuzzDecompress(const uint8_t* data, size_t size) {
    if (size < 3 || size > MaxInput) return 0;
    uint8_t marker = data[0];
    size_t outSize = size_t(data[1]) | (size_t(data[2]) << 8);
    uint8_t* out = static_cast<uint8_t*>(std::malloc(outSize ? outSize : 1));
    if (!out) return 0;
    ArchiveDecompress(data + 3, size - 3, marker, out, outSize);
    std::free(out);
    return 0;
}

int FuzzWave(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    for (int pcmOnly = 0; pcmOnly < 2; ++pcmOnly) {
        MemoryStream ms;
        MemoryStreamOpen(&ms, data, size);
        SoundWaveInfo* info = static_cast<SoundWaveInfo*>(std::calloc(1, sizeof(SoundWaveInfo)));
        if (!info) return 0;
        SoundParseWave(&ms, pcmOnly, info);
        std::free(info);
    }
    return 0;
}

// The converting kinds directly: parse, set up, convert every unit.
int FuzzWaveConvert(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    MemoryStream ms;
    MemoryStreamOpen(&ms, data, size);
    SoundWaveInfo* info = static_cast<SoundWaveInfo*>(std::calloc(1, sizeof(SoundWaveInfo)));
    if (!info) return 0;
    if (SoundParseWave(&ms, 0, info) == 0) {
        SoundConverter c{};
        SoundWaveFormat out{};
        if (SoundConverterSetup(&c, info, &ms, &out) == 0) {
            SoundConverterTotalBytes(&c);
            size_t frames = c.unitFrames ? c.unitFrames : 1;
            size_t channels = out.channels ? out.channels : 1;
            if (frames * channels <= (size_t(1) << 22)) {
                int16_t* pcm = static_cast<int16_t*>(std::malloc(frames * channels * sizeof(int16_t)));
                uint64_t units = c.unitCount < 4096 ? c.unitCount : 4096;
                for (uint64_t u = 0; pcm && u < units; ++u) SoundConverterUnit(&c, u, pcm);
                if (pcm && c.unitCount) SoundConverterUnit(&c, c.unitCount - 1, pcm);
                std::free(pcm);
            }
            SoundConverterEnd(&c);
        }
    }
    std::free(info);
    return 0;
}

// Every decoder kind in the engine's order: PCM wave, converted wave, Ogg.
int FuzzSoundDecoder(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    MemoryStream ms;
    MemoryStreamOpen(&ms, data, size);
    SoundDecoder d{};
    if (SoundDecoderSetup(&d, &ms) == 0) {
        Drain(&d);
        SoundDecoderEnd(&d);
    }
    return 0;
}

int FuzzStageFile(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    std::string path = ScratchDir() + "/data/fuzzstage.dat";
    if (!WriteWhole(path, data, size)) return 0;
    ReadStageFileAt(path.c_str());
    // Every stored value must lie inside its grid's range.
    for (int r = 0; r < GridRows; ++r)
        for (int c = 0; c < GridCells; ++c)
            if (StageGrid[r][c] < -1 || StageGrid[r][c] > 99) std::abort();
    return 0;
}

// The save reader works on "./data/state0.dat" of the working directory.
int FuzzSaveFile(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    const std::string dir = ScratchDir();
    if (!WriteWhole(dir + "/data/state0.dat", data, size)) return 0;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd) || chdir(dir.c_str()) != 0) return 0;
    int loaded = LoadSave();
    int saved = ReadSavedStage();
    if (chdir(cwd) != 0) std::abort();
    if (loaded < 0 || loaded > SaveMaxStage || saved < 0 || saved > SaveMaxStage) std::abort();
    return 0;
}

int FuzzMovie(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    // The movie reader over any bytes, pass by pass, as a replay reads it.
    static MovieReader reader;
    std::string error;
    MovieStep step = MovieOpen(&reader, data, size, &error);
    while (step == MovieStepPass) step = MovieNextPass(&reader, &error);
    return 0;
}

// The packer's reader over an archive image, under both keys: the table
// alone, then every entry's data when the claimed sizes stay modest.
int FuzzPackReader(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    for (const char* key : {static_cast<const char*>(nullptr), "quellbore"}) {
        std::vector<PackEntry> entries;
        std::string problem;
        if (PackReadArchiveBytes(data, size, key, false, &entries, &problem) != 0) {
            if (!entries.empty() || problem.empty()) std::abort();
            continue;
        }
        uint64_t claimed = 0;
        for (const PackEntry& e : entries) {
            if (e.path.size() >= FilePathMax) std::abort();
            claimed += e.size;
        }
        if (claimed > (uint64_t(64) << 20)) continue;
        if (PackReadArchiveBytes(data, size, key, true, &entries, &problem) == 0) {
            for (const PackEntry& e : entries)
                if (!e.isDirectory && e.data.size() != e.size) std::abort();
        }
    }
    return 0;
}

// The whole sound load as the game does it: a file opened through the
// file layer, decoded to the size its header claims (no cap here), kept in
// memory or streamed, then played for a few passes of the sound thread.
int FuzzSoundLoad(const uint8_t* data, size_t size) {
    if (size > MaxInput) return 0;
    // One sound layer for the whole run: starting and ending it per input
    // would cost a thread each time.
    static const std::string path = [] {
        HeadlessAudioSetDeviceAvailable(1);
        SoundSetThreadPaused(1);  // the passes run here, in order
        InitSound();
        std::atexit([] { EndSound(); });  // its thread must not outlive main
        mkdir((ScratchDir() + "/data/sound").c_str(), 0755);
        return ScratchDir() + "/data/sound/fuzz.wav";
    }();
    if (!WriteWhole(path, data, size)) return 0;
    int handle = LoadSoundFile(path.c_str(), 3, -1);
    if (handle != -1) {
        PlaySoundHandle(handle, 1, 1);
        for (int i = 0; i < 4; ++i) SoundThreadPass();
        StopSoundHandle(handle);
        SoundDeleteHandle(handle);
    }
    if (SoundCount() != 0) std::abort();  // a failed load leaves no trace
    return 0;
}

// The stage reader over a C stream of the bytes, as fopen gives it, with
// no file in between.
int FuzzStageStream(const uint8_t* data, size_t size) {
    if (size > MaxInput || size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!f) return 0;
    int k = ReadStageStream(f);
    std::fclose(f);
    if (k < 0 || k > GridValueLimit) std::abort();
    // The rows read, and the one after them, which must be empty.
    int rows = k / GridCells + 1 < GridRows ? k / GridCells + 2 : GridRows;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            bool complete = r < k / GridCells;
            if (StageGrid[r][c] < -1 || StageGrid[r][c] > 49) std::abort();
            if (!complete && (FieldGrid[r][c] != 0 || StageGrid[r][c] != -1)) std::abort();
            if (FileGrid[r][c] < -9 || FileGrid[r][c] > 99) std::abort();
        }
    }
    return 0;
}

const FuzzTarget* FuzzTargets(int* count) {
    static const FuzzTarget targets[] = {
#define FUZZ_TARGET(name, function) {#name, function},
#include "fuzz/targets.def"
#undef FUZZ_TARGET
    };
    *count = int(sizeof targets / sizeof targets[0]);
    return targets;
}

void FuzzSeeds(const char* target, std::vector<FuzzBytes>* out) {
    FuzzImageSeeds(target, out);
    FuzzSoundSeeds(target, out);
    FuzzOtherSeeds(target, out);
}
