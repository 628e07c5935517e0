// quellbore-pack: makes an archive that stands in for a directory, lists
// one, or extracts one.
//
//   quellbore-pack [--stored] [--key STRING | --plain] DIRECTORY [ARCHIVE]
//   quellbore-pack --list [--key STRING] ARCHIVE
//   quellbore-pack --extract OUTDIR [--key STRING] ARCHIVE
//
// The archive defaults to DIRECTORY.ARC beside the directory, where the
// engine looks for it. Without --key the engine's default key is used;
// --plain writes the archive unscrambled (the engine's second key).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/pack/pack.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: quellbore-pack [--stored] [--key STRING | --plain] DIRECTORY [ARCHIVE]\n"
                 "       quellbore-pack --list [--key STRING] ARCHIVE\n"
                 "       quellbore-pack --extract OUTDIR [--key STRING] ARCHIVE\n");
}

bool MakeDirectories(const std::string& path) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) partial += path[i];
    }
    return true;
}

// Archive names come from the file: refuse anything that would leave the
// output directory.
bool SafeRelativePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return false;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(start, i - start);
            if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string::npos) return false;
            start = i + 1;
        }
    }
    return true;
}

int List(const std::string& archive, const char* key) {
    std::vector<PackEntry> entries;
    if (PackReadArchive(archive, key, false, &entries) != 0) return 1;
    for (const PackEntry& e : entries) {
        if (e.isDirectory) {
            std::printf("%s/\n", e.path.c_str());
        } else if (e.packedSize == ArchiveNone) {
            std::printf("%s\t%u\tstored\n", e.path.c_str(), e.size);
        } else {
            std::printf("%s\t%u\tcompressed %u\n", e.path.c_str(), e.size, e.packedSize);
        }
    }
    return 0;
}

int Extract(const std::string& archive, const std::string& outDir, const char* key) {
    std::vector<PackEntry> entries;
    if (PackReadArchive(archive, key, true, &entries) != 0) return 1;
    if (!MakeDirectories(outDir)) {
        std::fprintf(stderr, "quellbore-pack: cannot create %s\n", outDir.c_str());
        return 1;
    }
    for (const PackEntry& e : entries) {
        if (!SafeRelativePath(e.path)) {
            std::fprintf(stderr, "quellbore-pack: refusing the name %s\n", e.path.c_str());
            return 1;
        }
        std::string target = outDir + "/" + e.path;
        if (e.isDirectory) {
            if (!MakeDirectories(target)) {
                std::fprintf(stderr, "quellbore-pack: cannot create %s\n", target.c_str());
                return 1;
            }
            continue;
        }
        FILE* f = std::fopen(target.c_str(), "wb");
        bool ok = f && (e.data.empty() || std::fwrite(e.data.data(), 1, e.data.size(), f) == e.data.size());
        if (f) ok = std::fclose(f) == 0 && ok;
        if (!ok) {
            std::fprintf(stderr, "quellbore-pack: cannot write %s\n", target.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    PackOptions options;
    bool list = false;
    const char* extractDir = nullptr;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--stored") {
            options.compress = false;
        } else if (a == "--plain") {
            options.plainKey = true;
        } else if (a == "--key" && i + 1 < argc) {
            options.keyString = argv[++i];
        } else if (a == "--list") {
            list = true;
        } else if (a == "--extract" && i + 1 < argc) {
            extractDir = argv[++i];
        } else if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            Usage();
            return 2;
        } else {
            positional.push_back(a);
        }
    }
    if (options.plainKey && options.keyString) {
        std::fprintf(stderr, "quellbore-pack: --key and --plain exclude each other\n");
        return 2;
    }
    if (list || extractDir) {
        if (positional.size() != 1 || (list && extractDir)) {
            Usage();
            return 2;
        }
        return list ? List(positional[0], options.keyString) : Extract(positional[0], extractDir, options.keyString);
    }
    if (positional.empty() || positional.size() > 2) {
        Usage();
        return 2;
    }
    std::string directory = positional[0];
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    std::string archive = positional.size() == 2 ? positional[1] : directory + ".ARC";
    return PackWriteArchive(directory, archive, options) == 0 ? 0 : 1;
}
