// Seeds for the archive, the decompressor, stage files, the save file and
// input movies.
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/harness.h"
#include "game/shell/movie.h"
#include "tools/pack/pack.h"

namespace {

FuzzBytes Text(const std::string& s) { return FuzzBytes(s.begin(), s.end()); }

void WriteText(const std::string& path, const std::string& s) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(s.data(), 1, s.size(), f);
        std::fclose(f);
    }
}

FuzzBytes ReadAll(const std::string& path) {
    FuzzBytes b;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) b.push_back(uint8_t(c));
        std::fclose(f);
    }
    return b;
}

std::string Repeating(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += char("abcabcabd\n"[i % 10]);
    return s;
}

// Archives of a small tree (the names FuzzArchive opens), compressed and
// stored, under the default key, a key string and the plain key.
void Archives(std::vector<FuzzBytes>* out) {
    std::string base = std::string("/tmp/quellbore-seeds-") + std::to_string(getpid());
    std::string tree = base + "/pak";
    mkdir(base.c_str(), 0755);
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "/sub").c_str(), 0755);
    mkdir((tree + "/sub/deeper").c_str(), 0755);
    WriteText(tree + "/a.txt", Repeating(300));
    WriteText(tree + "/B.BIN", std::string("\x01\x02\x03\x00\xff", 5));
    WriteText(tree + "/sub/c.dat", Repeating(40));
    WriteText(tree + "/sub/deeper/d.txt", "");
    struct Variant {
        bool compress;
        const char* key;
        bool plain;
    } variants[] = {{true, nullptr, false}, {false, nullptr, false}, {true, "quellbore", false}, {true, nullptr, true}};
    for (const Variant& v : variants) {
        PackOptions o;
        o.compress = v.compress;
        o.keyString = v.key;
        o.plainKey = v.plain;
        std::string arc = base + "/out.ARC";
        if (PackWriteArchive(tree, arc, o) == 0) out->push_back(ReadAll(arc));
        unlink(arc.c_str());
    }
    for (const char* f : {"/sub/deeper/d.txt", "/sub/c.dat", "/B.BIN", "/a.txt"}) unlink((tree + f).c_str());
    for (const char* d : {"/sub/deeper", "/sub", ""}) rmdir((tree + d).c_str());
    rmdir(base.c_str());
}

void Compressed(std::vector<FuzzBytes>* out) {
    for (size_t n : {size_t(1), size_t(64), size_t(700), size_t(5000)}) {
        std::string s = Repeating(n);
        uint8_t marker = 0;
        std::vector<uint8_t> packed = PackCompress(reinterpret_cast<const uint8_t*>(s.data()), s.size(), &marker);
        FuzzBytes b(3 + packed.size());
        b[0] = marker;
        b[1] = uint8_t(n);
        b[2] = uint8_t(n >> 8);
        std::copy(packed.begin(), packed.end(), b.begin() + 3);
        out->push_back(b);
    }
}

void Stages(std::vector<FuzzBytes>* out) {
    std::string body = "1 12\n";
    for (int r = 0; r < 24; ++r) {
        for (int c = 0; c < 16; ++c) body += std::to_string((r * 7 + c * 3) % 60) + (c == 15 ? "\n" : " ");
    }
    out->push_back(Text(body));
    out->push_back(Text("3 10\n-1 51 52 99 123 7\n"));
    out->push_back(Text("0"));
}

void Saves(std::vector<FuzzBytes>* out) {
    out->push_back(FuzzBytes{'0', '7', ' ', 0});
    out->push_back(FuzzBytes{'2', '9', ' ', 0});
    out->push_back(Text("31 "));
    out->push_back(Text("-5"));
}

// Small movies: a few passes of each kind of read, a checkpoint, the end.
void Movies(std::vector<FuzzBytes>* out) {
    MovieHeader h;
    h.gameVersion = MovieGameVersion();
    h.startArgument = "3";
    h.saveValue = 7;
    h.dataFingerprint = 0x0123456789ABCDEFull;
    std::vector<MoviePassData> passes;
    for (int f = 0; f < 70; ++f) {
        MoviePassData p;
        MovieRead tick{MovieReadTick, 0, 1000 + 16 * f, {}};
        MovieRead escape{MovieReadKey, 1, 0, {}};
        MovieRead right{MovieReadKey, 205, f >= 20 && f < 30, {}};
        MovieRead pad{MovieReadPad, 1, f == 40 ? 0x10 : 0, {}};
        MovieRead keys{MovieReadKeyboard, 0, 0, {}};
        keys.keys[25] = (uint8_t)(f & 1);
        p.reads = {tick, escape, tick, right};
        if (!right.value) p.reads.push_back(pad);
        if (f % 10 == 0) p.reads.push_back(keys);
        p.check = (uint8_t)f;
        p.hasCheckpoint = f == 59;
        passes.push_back(p);
    }
    std::string full = MovieEncode(h, passes);
    out->push_back(FuzzBytes(full.begin(), full.end()));
    MoviePassData end;
    end.isEnd = true;
    end.reads = {MovieRead{MovieReadKey, 1, 1, {}}};
    passes.resize(5);
    passes.push_back(end);
    std::string closed = MovieEncode(h, passes);
    out->push_back(FuzzBytes(closed.begin(), closed.end()));
}

}  // namespace

void FuzzOtherSeeds(const char* target, std::vector<FuzzBytes>* out) {
    std::string t = target;
    if (t == "archive" || t == "packreader") Archives(out);
    if (t == "decompress") Compressed(out);
    if (t == "stage" || t == "stagestream") Stages(out);
    if (t == "save") Saves(out);
    if (t == "movie") Movies(out);
}
