// quellbore-stage stats --data DIR [--scripts DIR] [--runs N] [--markdown] [NAME...]
//
// One line per stage: its world, the door's strip, the clear time of its
// shipped script, the pits and the widest, the enemies by kind, the blocks,
// coins and keys, and a difficulty figure: the deaths of a careless player
// (random pauses, running jumps and throws, back four steps after each
// death) per screen of the way to the door, over N seeded runs, and how
// many of the runs got to the door within 20,000 frames. Names default to the 42
// stages; the stage files come from DIR, the scripts from --scripts
// (default assets/stages).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "stage_commands.h"
#include "stage_sim.h"
#include "stage_source.h"

namespace {

const char* const WorldNames[] = {"meadow", "cave", "harbour", "night", "ice"};
constexpr int EnemyFirst = 50, EnemyLast = 97;
constexpr int DoorValue = 49, CoinValue = 10, KeyValue = 11;
constexpr int FrameCap = 20000;

struct StageFigures {
    std::string name, world, door, clear, enemies, difficulty = "-", reached = "-";
    int pits = 0, widest = 0, enemyCount = 0;
    int blocks = 0, coinBlocks = 0, keyBlocks = 0, hidden = 0;
    int coins = 0, keys = 0;
};

// The gameplay frames of a shipped clear script: from the frame the stage
// starts to the frame it is won (the last such pair: the boss stage's
// script plays stage30 first).
int ClearFrames(const std::string& path) {
    std::string text;
    if (!ReadTextFile(path, &text)) return -1;
    const std::string startTag = "gameplay starts at frame ", wonTag = "# stage won at frame ";
    const size_t s = text.rfind(startTag), w = text.rfind(wonTag);
    if (s == std::string::npos || w == std::string::npos || w < s) return -1;
    const long start = std::strtol(text.c_str() + s + startTag.size(), nullptr, 10);
    const long won = std::strtol(text.c_str() + w + wonTag.size(), nullptr, 10);
    if (won < start) return -1;
    return static_cast<int>(won - start + 1);
}

bool StageOf(const std::string& n, int* extra, int* index) {
    if (n == "stageboss") return *extra = 0, *index = 30, true;
    if (n == "stageexboss") return *extra = 1, *index = 10, true;
    if (n.rfind("stageex", 0) == 0 && n.size() == 9) return *extra = 1, *index = std::atoi(n.c_str() + 7) - 1, *index >= 0;
    if (n.rfind("stage", 0) == 0 && n.size() == 7) return *extra = 0, *index = std::atoi(n.c_str() + 5) - 1, *index >= 0;
    return false;
}

void Count(const StageSource& s, StageFigures* f) {
    int kinds[EnemyLast - EnemyFirst + 1] = {};
    int run = 0;
    for (int r = 0; r < GridRows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            const int v = s.values[r][c];
            if (v == 2) ++f->blocks;
            if (v == 3) ++f->coinBlocks;
            if (v == 4) ++f->keyBlocks;
            if (v == 5) ++f->hidden;
            if (v == CoinValue) ++f->coins;
            if (v == KeyValue) ++f->keys;
            if (v == DoorValue) f->door = std::to_string(r);
            if (v >= EnemyFirst && v <= EnemyLast) ++kinds[v - EnemyFirst];
        }
        // a pit ends where there is footing again; open strips running to
        // the end of the field (past the end wall) are no pit
        if (PitStrip(s, r)) {
            ++run;
        } else {
            if (run > 0) {
                ++f->pits;
                f->widest = std::max(f->widest, run);
            }
            run = 0;
        }
    }
    for (int k = 0; k <= EnemyLast - EnemyFirst; ++k) {
        if (!kinds[k]) continue;
        f->enemyCount += kinds[k];
        // the map's own letters: a ... x for kinds 0 ... 23
        const std::string letter = k < 24 ? std::string(1, static_cast<char>('a' + k)) : "k" + std::to_string(k);
        f->enemies += (f->enemies.empty() ? "" : " ") + letter + std::to_string(kinds[k]);
    }
    if (f->door.empty()) f->door = "boss";
    f->world = s.stageKind >= 0 && s.stageKind < 5 ? WorldNames[s.stageKind] : std::to_string(s.stageKind);
}

std::string Seconds(int frames) {
    char b[32];
    std::snprintf(b, sizeof b, "%d (%.0f s)", frames, frames / 60.0);
    return b;
}

void Usage() {
    std::fprintf(stderr, "usage: quellbore-stage stats --data DIR [--scripts DIR] [--runs N] [--markdown] [NAME...]\n");
}

}  // namespace

int StageStatsMain(int argc, char** argv) {
    std::string data, scripts = "assets/stages";
    int runs = 20;
    bool markdown = false;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--data" || a == "--scripts" || a == "--runs") && i + 1 >= argc) {
            Usage();
            return 2;
        }
        if (a == "--data") data = argv[++i];
        else if (a == "--scripts") scripts = argv[++i];
        else if (a == "--runs") runs = std::atoi(argv[++i]);
        else if (a == "--markdown") markdown = true;
        else if (!a.empty() && a[0] == '-') {
            Usage();
            return 2;
        } else names.push_back(a);
    }
    if (data.empty() || runs < 0 || runs > 1000) {
        Usage();
        return 2;
    }
    if (names.empty()) {
        char b[16];
        for (int i = 1; i <= 30; ++i) std::snprintf(b, sizeof b, "stage%02d", i), names.push_back(b);
        names.push_back("stageboss");
        for (int i = 1; i <= 10; ++i) std::snprintf(b, sizeof b, "stageex%02d", i), names.push_back(b);
        names.push_back("stageexboss");
    }
    std::error_code ec;
    const std::filesystem::path dataDir = std::filesystem::absolute(data, ec);
    const std::filesystem::path scriptDir = std::filesystem::absolute(scripts, ec);

    std::vector<StageFigures> rows;
    for (const std::string& n : names) {
        int extra = 0, index = 0;
        if (!StageOf(n, &extra, &index)) {
            std::fprintf(stderr, "quellbore-stage stats: '%s' names no stage\n", n.c_str());
            return 2;
        }
        static StageSource s;
        std::string error;
        if (!LoadStageAny((dataDir / (n + ".dat")).string(), &s, &error)) {
            std::fprintf(stderr, "quellbore-stage stats: %s: %s\n", n.c_str(), error.c_str());
            return 1;
        }
        StageFigures f;
        f.name = n;
        Count(s, &f);
        const int frames = ClearFrames((scriptDir / (n + ".input")).string());
        f.clear = frames < 0 ? "-" : Seconds(frames);
        rows.push_back(f);
    }

    // the careless runs play the game itself: the engine, from the data's folder
    if (runs > 0) {
        if (chdir(dataDir.parent_path().c_str()) != 0) {
            std::fprintf(stderr, "quellbore-stage stats: cannot enter %s\n", dataDir.parent_path().c_str());
            return 1;
        }
        SetScreenMode(256, 256, 16, 60);
        ChangeWindowMode(1);
        if (EngineInit() == -1) {
            std::fprintf(stderr, "quellbore-stage stats: the engine did not start\n");
            return 1;
        }
        for (StageFigures& f : rows) {
            int extra = 0, index = 0;
            StageOf(f.name, &extra, &index);
            if (f.door == "boss") continue;
            int deaths = 0, reached = 0;
            double way = 0;
            for (int k = 1; k <= runs; ++k) {
                const CarelessRun r = RunCarelessPlayer(extra, index, static_cast<uint32_t>(k), FrameCap);
                deaths += r.deaths;
                reached += r.reached;
                way += r.furthest;
            }
            // deaths per screen of the way covered: runs that never reach
            // the door still count for the stretch they managed
            char b[48];
            std::snprintf(b, sizeof b, "%.1f", way > 0 ? deaths / (way / 256.0) : 0.0);
            f.difficulty = b;
            f.reached = std::to_string(reached) + "/" + std::to_string(runs);
        }
        EngineEnd();
    }

    const char* header[] = {"stage", "world", "door", "clear", "pits", "widest", "enemies", "kinds", "blocks B/C/K/H", "coins", "keys", "deaths", "reached"};
    if (markdown) {
        std::printf("|");
        for (const char* h : header) std::printf(" %s |", h);
        std::printf("\n|");
        for (size_t i = 0; i < sizeof header / sizeof header[0]; ++i) std::printf("---|");
        std::printf("\n");
    } else {
        std::printf("%-12s %-8s %5s %13s %5s %6s %8s  %-30s %-15s %5s %5s %7s %8s\n", header[0], header[1], header[2], header[3], header[4], header[5], header[6],
                    header[7], header[8], header[9], header[10], header[11], header[12]);
    }
    for (const StageFigures& f : rows) {
        char blocks[48];
        std::snprintf(blocks, sizeof blocks, "%d/%d/%d/%d", f.blocks, f.coinBlocks, f.keyBlocks, f.hidden);
        const std::string& d = f.difficulty;
        // coins and keys: loose ones plus those inside blocks
        if (markdown) {
            std::printf("| %s | %s | %s | %s | %d | %d | %d | %s | %s | %d | %d | %s | %s |\n", f.name.c_str(), f.world.c_str(), f.door.c_str(), f.clear.c_str(),
                        f.pits, f.widest, f.enemyCount, f.enemies.c_str(), blocks, f.coins + f.coinBlocks, f.keys + f.keyBlocks, d.c_str(), f.reached.c_str());
        } else {
            std::printf("%-12s %-8s %5s %13s %5d %6d %8d  %-30s %-15s %5d %5d %7s %8s\n", f.name.c_str(), f.world.c_str(), f.door.c_str(), f.clear.c_str(), f.pits,
                        f.widest, f.enemyCount, f.enemies.c_str(), blocks, f.coins + f.coinBlocks, f.keys + f.keyBlocks, d.c_str(), f.reached.c_str());
        }
    }
    return 0;
}
