// quellbore-stage solve: searches an input script that clears a stage.
//
//   quellbore-stage solve NAME --data DIR --offset F [--extra] [--index N]
//                         [--beam B] [--frames MAX] --out FILE
//
// Runs the gameplay scene's own per-frame steps (player, actors, row
// spawning, stage timer) on the headless engine without drawing, from the
// stage's entry, and beam-searches sequences of short macro actions (runs,
// jumps of several heights, waits, drill throws), keeping the furthest
// living states. Snapshots of the game's static state make branching cheap.
// The found inputs are written as an input script whose frame 0 is the
// runner's frame F (the frame in which the gameplay scene is entered).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine.h"
#include "engine/platform/headless/headless.h"
#include "game/actors/actors.h"
#include "game/scenes/scenes.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"
#include "game/world/field.h"
#include "game/world/player.h"
#include "game/world/stage_file.h"
#include "stage_commands.h"

namespace {

enum Key { KUp = 1, KDown = 2, KLeft = 4, KRight = 8, KJump = 16, KDrill = 32 };
const char* const KeyNames[] = {"up", "down", "left", "right", "z", "x"};

struct Snapshot {
    GameStateRecord gs;
    PlayerRecord player;
    Enemy enemies[EnemyPoolSize];
    Item items[ItemPoolSize];
    Debris debris[DebrisPoolSize];
    Explosion explosions[ExplosionPoolSize];
    Door door;
    Drill drill;
    DeathChaser chaser;
    LastBoss lastBoss;
    ExtraBoss extraBoss;
    int field[GridRows][GridCells];
    int tiles[GridRows][GridCells];
    int spawns[GridRows][GridCells];
    uint32_t rand;
    int frame;
    int rechargeFrame;
};

int Frame = 0;
int RechargeFrame = -1000;

void Save(Snapshot& s) {
    s.gs = GameState;
    s.player = Player;
    std::copy(EnemyPool, EnemyPool + EnemyPoolSize, s.enemies);
    std::copy(ItemPool, ItemPool + ItemPoolSize, s.items);
    std::copy(DebrisPool, DebrisPool + DebrisPoolSize, s.debris);
    std::copy(ExplosionPool, ExplosionPool + ExplosionPoolSize, s.explosions);
    s.door = TheDoor;
    s.drill = TheDrill;
    s.chaser = TheDeathChaser;
    s.lastBoss = TheLastBoss;
    s.extraBoss = TheExtraBoss;
    std::memcpy(s.field, FieldGrid, sizeof FieldGrid);
    std::memcpy(s.tiles, TileGrid, sizeof TileGrid);
    std::memcpy(s.spawns, StageGrid, sizeof StageGrid);
    s.rand = GameRandState();
    s.frame = Frame;
    s.rechargeFrame = RechargeFrame;
}

void Load(const Snapshot& s) {
    GameState = s.gs;
    Player = s.player;
    std::copy(s.enemies, s.enemies + EnemyPoolSize, EnemyPool);
    std::copy(s.items, s.items + ItemPoolSize, ItemPool);
    std::copy(s.debris, s.debris + DebrisPoolSize, DebrisPool);
    std::copy(s.explosions, s.explosions + ExplosionPoolSize, ExplosionPool);
    TheDoor = s.door;
    TheDrill = s.drill;
    TheDeathChaser = s.chaser;
    TheLastBoss = s.lastBoss;
    TheExtraBoss = s.extraBoss;
    std::memcpy(FieldGrid, s.field, sizeof FieldGrid);
    std::memcpy(TileGrid, s.tiles, sizeof TileGrid);
    std::memcpy(StageGrid, s.spawns, sizeof StageGrid);
    SetGameRandState(s.rand);
    Frame = s.frame;
    RechargeFrame = s.rechargeFrame;
}

uint32_t TickAt(int frame) { return 1000000u + static_cast<uint32_t>(frame * 50 / 3); }

// The gameplay scene's entry, as the scene does it.
void Enter() {
    GameState.StageCleared = 0;
    GameState.ChaserSpawned = 0;
    Player.Reset();
    ResetAllActors();
    StageNameFor(GameState.ExtraMode, GameState.StageIndex, GameState.StageName);
    ReadStageFile(GameState.StageName);
    SetUpField();
    GameState.Keys = 0;
    GameState.DrillCharges = 1;
    GameState.StageTimer = 9999;
    GameState.ClearFrames = 0;
    SpawnStartRows();
}

// One gameplay frame without drawing; the drawing's only effect on the
// game, the flicker of collected items, is drawn from the same generator.
void Step(int keys) {
    HeadlessSetTickMs(TickAt(Frame));
    for (Item& it : ItemPool)
        if (it.active && it.state == 2) GameRand();
    const bool down[LatchCount] = {(keys & KUp) != 0,   (keys & KDown) != 0, (keys & KLeft) != 0, (keys & KRight) != 0,
                                   false,               (keys & KJump) != 0, (keys & KDrill) != 0};
    ApplyLatches(down);
    const int chargesBefore = GameState.DrillCharges;
    if (GameState.StageCleared) {
        GameState.ClearFrames += 1;
    } else {
        Player.Act();
        Player.Move();
    }
    if (chargesBefore == 0 && GameState.DrillCharges == 1) RechargeFrame = Frame;
    if (Player.state == 1 && !GameState.StageCleared) {
        if (GameState.StageTimer > 0) {
            GameState.StageTimer -= 1;
        } else if (!TheDeathChaser.active && !GameState.ChaserSpawned) {
            GameState.ChaserSpawned = 1;
            TheDeathChaser.Spawn(0, static_cast<int>(Player.x / 16 - 10), 7);
        }
        ActAndMoveActors();
        SpawnNextRow();
    }
    ++Frame;
}

struct Macro {
    std::vector<int> keys;
    bool drill = false;
};

std::vector<Macro> MakeMacros() {
    std::vector<Macro> m;
    auto hold = [](int keys, int n) { return std::vector<int>(n, keys); };
    auto jump = [](int dirKey, int held, int total) {
        std::vector<int> k(total, dirKey);
        for (int i = 0; i < held && i < total - 1; ++i) k[i] |= KJump;
        return k;
    };
    m.push_back({hold(KRight, 8)});
    m.push_back({hold(KRight, 16)});
    m.push_back({jump(KRight, 3, 16)});
    m.push_back({jump(KRight, 10, 26)});
    m.push_back({jump(KRight, 30, 40)});
    m.push_back({jump(0, 30, 40)});
    m.push_back({hold(0, 8)});
    m.push_back({hold(KLeft, 8)});
    m.push_back({jump(KLeft, 30, 40)});
    m.push_back({jump(KLeft, 10, 26)});
    std::vector<int> d(8, 0);
    d[0] = KDrill;
    m.push_back({d, true});
    d[0] = KDrill | KUp;
    m.push_back({d, true});
    d[0] = KDrill | KDown;
    m.push_back({d, true});
    // jump and throw forward near the top (a high target)
    std::vector<int> jd = jump(0, 30, 40);
    jd[22] |= KDrill;
    m.push_back({jd, true});
    return m;
}

struct Node {
    int parent;
    int macro;
};

struct Candidate {
    double score;
    int node;
    std::shared_ptr<Snapshot> snap;
};

double Score() {
    if (GameState.StageCleared) return 1e9;
    double s = Player.x;
    if (GameState.Keys > 0) s += 6000;
    if (TheDoor.active && GameState.Keys > 0) {
        const double slot = TheDoor.x + 8;
        const double d = std::fabs(Player.x - slot);
        s = 20000 + TheDoor.state * 3000 - d * 4;
    }
    if (TheExtraBoss.active) s += 2000.0 * (10 - TheExtraBoss.hp) + (TheExtraBoss.state == 4 ? 50000 : 0);
    if (TheLastBoss.active) s += 2000.0 * (10 - TheLastBoss.hp);
    return s;
}

}  // namespace

int StageSolveMain(int argc, char** argv) {
    std::string name, data, out;
    int offset = -1, extra = 0, index = -1, beam = 12, maxFrames = 9000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--data") data = next();
        else if (a == "--offset") offset = std::atoi(next());
        else if (a == "--extra") extra = 1;
        else if (a == "--index") index = std::atoi(next());
        else if (a == "--beam") beam = std::max(1, std::atoi(next()));
        else if (a == "--frames") maxFrames = std::atoi(next());
        else if (a == "--out") out = next();
        else if (name.empty()) name = a;
        else {
            std::fprintf(stderr, "quellbore-stage solve: unexpected '%s'\n", a.c_str());
            return 2;
        }
    }
    if (data.empty() || out.empty() || offset < 0 || index < 0) {
        std::fprintf(stderr,
                     "usage: quellbore-stage solve --data DIR --index N [--extra] --offset F --out FILE.input [--beam B] [--frames MAX]\n");
        return 2;
    }
    const std::filesystem::path dataDir = std::filesystem::absolute(data);
    if (chdir(dataDir.parent_path().c_str()) != 0) {
        std::fprintf(stderr, "quellbore-stage solve: cannot enter %s\n", dataDir.parent_path().c_str());
        return 1;
    }
    const uint32_t startRand = GameRandState();
    SetScreenMode(256, 256, 16, 60);
    ChangeWindowMode(1);
    if (EngineInit() == -1) {
        std::fprintf(stderr, "quellbore-stage solve: the engine did not start\n");
        return 1;
    }
    SetGameRandState(startRand);
    GameState.ExtraMode = extra;
    GameState.StageIndex = index;
    GameState.Lives = extra ? 30 : 3;
    GameState.Coins = 0;
    Enter();
    if (name.empty()) name = GameState.StageName;
    if (std::getenv("SOLVE_DEBUG")) {
        for (int f = 0; f < 120; ++f) {
            Step(KRight);
            if (f % 20 == 0) std::printf("f %d x %.2f y %.2f vy %.2f state %d field %d\n", f, Player.x, Player.y, Player.vy, Player.state, FieldGrid[1][15]);
        }
        EngineEnd();
        return 0;
    }

    const std::vector<Macro> macros = MakeMacros();
    std::vector<Node> nodes{{-1, -1}};
    std::vector<Candidate> frontier;
    auto root = std::make_shared<Snapshot>();
    Save(*root);
    frontier.push_back({Score(), 0, root});
    int solved = -1;
    Snapshot work;
    long simulated = 0;
    while (solved < 0 && !frontier.empty() && frontier[0].snap->frame < maxFrames) {
        std::vector<Candidate> next;
        for (const Candidate& c : frontier) {
            for (size_t m = 0; m < macros.size() && solved < 0; ++m) {
                Load(*c.snap);
                if (macros[m].drill && (GameState.DrillCharges == 0 || TheDrill.active || Frame - RechargeFrame < 4)) continue;
                bool dead = false;
                for (int k : macros[m].keys) {
                    Step(k);
                    ++simulated;
                    if (Player.state == 2) {
                        dead = true;
                        break;
                    }
                    if (GameState.StageCleared) break;
                }
                if (dead) continue;
                nodes.push_back({c.node, static_cast<int>(m)});
                auto s = std::make_shared<Snapshot>();
                Save(*s);
                next.push_back({Score(), static_cast<int>(nodes.size()) - 1, s});
                if (GameState.StageCleared) solved = static_cast<int>(nodes.size()) - 1;
            }
        }
        std::sort(next.begin(), next.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
        frontier.clear();
        std::set<std::tuple<int, int, int, int, int>> seen;
        for (Candidate& c : next) {
            const Snapshot& s = *c.snap;
            const auto key = std::make_tuple(static_cast<int>(s.player.x / 3), static_cast<int>(s.player.y / 6),
                                             s.gs.Keys > 0, s.door.state, static_cast<int>(s.player.vx * 2));
            if (!seen.insert(key).second) continue;
            frontier.push_back(std::move(c));
            if (static_cast<int>(frontier.size()) >= beam) break;
        }
    }
    if (solved < 0) {
        double best = frontier.empty() ? 0 : frontier[0].snap->player.x;
        std::printf("%s: not solved (best x %.0f, %ld frames simulated)\n", name.c_str(), best, simulated);
        EngineEnd();
        return 1;
    }
    std::vector<int> order;
    for (int n = solved; n > 0; n = nodes[n].parent) order.push_back(nodes[n].macro);
    std::reverse(order.begin(), order.end());
    // replay to find the clearing frame and the exact key list
    Load(*root);
    std::vector<int> keys;
    for (int m : order) {
        for (int k : macros[m].keys) {
            keys.push_back(k);
            Step(k);
            if (GameState.StageCleared) break;
        }
        if (GameState.StageCleared) break;
    }
    const bool ok = GameState.StageCleared != 0;
    EngineEnd();
    if (!ok) {
        std::printf("%s: the replay did not clear the stage\n", name.c_str());
        return 1;
    }
    std::string text = "# clears " + name + " (found by quellbore-stage solve); gameplay starts at frame " +
                       std::to_string(offset) + "\n";
    for (int b = 0; b < 6; ++b) {
        int start = -1;
        for (size_t f = 0; f <= keys.size(); ++f) {
            const bool on = f < keys.size() && (keys[f] & (1 << b));
            if (on && start < 0) start = static_cast<int>(f);
            if (!on && start >= 0) {
                const int a = offset + start, e = offset + static_cast<int>(f) - 1;
                text += (a == e ? std::to_string(a) : std::to_string(a) + "-" + std::to_string(e)) + " " + KeyNames[b] + "\n";
                start = -1;
            }
        }
    }
    std::FILE* f = std::fopen(out.c_str(), "w");
    if (!f || std::fputs(text.c_str(), f) < 0 || std::fclose(f) != 0) {
        std::fprintf(stderr, "quellbore-stage solve: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: cleared in %zu frames (%ld frames simulated)\n", name.c_str(), keys.size(), simulated);
    return 0;
}
