// Seeds from the built game data: the real pictures, effects, music and
// stages, and an archive of stages, each given to the harnesses that read
// its format. Large files are cut to a few tens of KiB, the part a fuzzer
// mutates well (headers, first frames, first rows).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/harness.h"
#include "tools/pack/pack.h"

namespace {

constexpr size_t SeedMax = 48 * 1024;

FuzzBytes ReadFile(const std::string& path, size_t limit) {
    FuzzBytes b;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        b.resize(limit);
        b.resize(std::fread(b.data(), 1, limit, f));
        std::fclose(f);
    }
    return b;
}

std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            struct stat st;
            if (n[0] != '.' && stat((dir + "/" + n).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                names.push_back(dir + "/" + n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool StartsWith(const FuzzBytes& b, const char* magic, size_t n) {
    return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
}

// The harness that takes a picture's own format, by its first bytes.
const char* PictureFormat(const FuzzBytes& b) {
    if (StartsWith(b, "\x89PNG", 4)) return "png";
    if (StartsWith(b, "\xFF\xD8", 2)) return "jpeg";
    if (StartsWith(b, "BM", 2)) return "bmp";
    if (StartsWith(b, "BGRA", 4)) return "bgra";
    if (StartsWith(b, "DDS", 3)) return "dds";
    if (b.size() >= 18 && b[1] == 0 && (b[2] == 2 || b[2] == 10)) return "tga";
    return nullptr;
}

bool IsStageText(const FuzzBytes& b) {
    return !b.empty() && std::all_of(b.begin(), b.end(), [](uint8_t c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '-';
    });
}

}  // namespace

void FuzzAssetSeeds(const char* target, const char* dataDir, std::vector<FuzzBytes>* out) {
    if (!dataDir || !*dataDir) return;
    std::string t = target, data = dataDir;
    std::vector<std::string> top = Files(data);
    if (t == "image" || t == "bmp" || t == "jpeg" || t == "png" || t == "bgra" || t == "tga" || t == "dds") {
        for (const std::string& f : top) {
            FuzzBytes b = ReadFile(f, SeedMax);
            const char* format = PictureFormat(b);
            if (format && (t == "image" || t == format)) out->push_back(b);
        }
    }
    if (t == "wave" || t == "waveconvert" || t == "sound" || t == "soundload") {
        for (const std::string& f : Files(data + "/sound")) out->push_back(ReadFile(f, SeedMax));
    }
    if (t == "sound" || t == "soundload") {
        for (const std::string& f : Files(data + "/bgm")) out->push_back(ReadFile(f, SeedMax));
    }
    if (t == "stage" || t == "stagestream") {
        for (const std::string& f : top) {
            FuzzBytes b = ReadFile(f, SeedMax);
            if (IsStageText(b)) out->push_back(b);
        }
    }
    if (t == "archive" || t == "packreader") {
        // Four real stages in an archive, compressed and stored.
        std::string base = "/tmp/quellbore-asset-seeds-" + std::to_string(getpid());
        std::string tree = base + "/pak";
        mkdir(base.c_str(), 0755);
        mkdir(tree.c_str(), 0755);
        mkdir((tree + "/sub").c_str(), 0755);
        std::vector<std::string> made;
        int count = 0;
        for (const std::string& f : top) {
            FuzzBytes b = ReadFile(f, SeedMax);
            if (!IsStageText(b) || count == 4) continue;
            std::string name = tree + (count % 2 ? "/sub/" : "/") + f.substr(f.rfind('/') + 1);
            if (FILE* o = std::fopen(name.c_str(), "wb")) {
                std::fwrite(b.data(), 1, b.size(), o);
                std::fclose(o);
                made.push_back(name);
                ++count;
            }
        }
        for (bool compress : {true, false}) {
            PackOptions o;
            o.compress = compress;
            std::string arc = base + "/out.ARC";
            if (count && PackWriteArchive(tree, arc, o) == 0) out->push_back(ReadFile(arc, size_t(1) << 20));
            unlink(arc.c_str());
        }
        for (const std::string& m : made) unlink(m.c_str());
        rmdir((tree + "/sub").c_str());
        rmdir(tree.c_str());
        rmdir(base.c_str());
    }
}
