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
// The found inputs are written as an input script whose first play frame is
// the runner's frame F (the frame after the gameplay scene was entered).
// SOLVE_TRACE=1 prints the best state of every search step, SOLVE_DUMP=1
// the player's position in every frame of the found play.
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

// Every macro lasts the same 16 frames, so the states of one search step
// are all at the same moment and compare fairly. A held jump carries over
// from one jump macro to the next (a higher jump); a jump needs a frame
// with the button up before it.
constexpr int MacroFrames = 16;

std::vector<Macro> MakeMacros() {
    std::vector<Macro> m;
    auto make = [](int keys, int jumpFrames, int drillFrame, int drillKeys) {
        Macro mc;
        mc.keys.assign(MacroFrames, keys);
        for (int i = 0; i < jumpFrames && i < MacroFrames; ++i) mc.keys[i] |= KJump;
        if (drillFrame >= 0) {
            // turning to throw backwards: a direction turns the player
            // only once held (its second frame), so it leads the throw
            if (drillKeys & KLeft) {
                for (int i = std::max(0, drillFrame - 2); i <= drillFrame; ++i) mc.keys[i] = (mc.keys[i] & ~KRight) | KLeft;
            }
            mc.keys[drillFrame] |= KDrill | drillKeys;
            mc.drill = true;
        }
        return mc;
    };
    m.push_back(make(KRight, 0, -1, 0));
    m.push_back(make(KRight, MacroFrames, -1, 0));
    m.push_back(make(KRight, 3, -1, 0));
    m.push_back(make(0, 0, -1, 0));
    m.push_back(make(KLeft, 0, -1, 0));
    m.push_back(make(KLeft, MacroFrames, -1, 0));
    m.push_back(make(0, MacroFrames, -1, 0));
    m.push_back(make(KRight, 0, 0, 0));
    m.push_back(make(0, 0, 0, KUp));
    m.push_back(make(0, 0, 0, KDown));
    m.push_back(make(0, MacroFrames, 12, 0));
    m.push_back(make(KRight, MacroFrames, 8, 0));
    m.push_back(make(KLeft, 0, 0, 0));
    // running on while throwing back over the shoulder (a pursuer behind)
    m.push_back(make(KRight, MacroFrames, 5, KLeft));
    m.push_back(make(KRight, MacroFrames, 13, KLeft));
    m.push_back(make(KRight, 0, 8, KLeft));
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
    if (TheExtraBoss.active) {
        // keep a throw's distance ahead of the runner: too far and the
        // drill leaves the screen before it arrives
        const double gap = Player.x - (TheExtraBoss.x + TheExtraBoss.width);
        s = 5000.0 * (10 - TheExtraBoss.hp) + (TheExtraBoss.state == 4 ? 100000 : 0) - std::fabs(gap - (TheExtraBoss.hp >= 6 ? 70 : 135)) * 3 + 0.2 * Player.x;
    }
    if (GameState.StageIndex == LastNormalStage && !GameState.ExtraMode) {
        // the last stage: wound the flying form, outlive the third one,
        // then drive the chaser off through the floating remnant
        const LastBoss& b = TheLastBoss;
        s = 0.05 * Player.x;
        // never crowd the boss: contact kills in every form
        const double dx = std::fabs(Player.x + 8 - (b.x + b.width / 2));
        const double dy = std::fabs(Player.y + 8 - (b.y + b.height / 2));
        if (b.active && dx < b.width / 2 + 40 && dy < b.height / 2 + 40) s -= (b.width / 2 + 40 - dx) * 50;
        if (b.active && b.phase >= 1 && b.phase <= 2) s += 5000.0 * (10 - b.hp) - std::fabs(Player.x + 8 - (b.x + b.width / 2)) * 0.5;
        if (b.active && b.phase >= 10) s += 60000.0 - std::fabs(Player.x + 8 - (b.x + b.width / 2)) * 0.2;
        if (!b.active && TheDeathChaser.active) s += 100000.0;
        for (const Enemy& e : EnemyPool) {
            if (e.active && e.kind == 99 && e.state == 1) s += 100000.0 - std::fabs(Player.x - e.x) * 2;
        }
        if (TheDeathChaser.active && TheDeathChaser.state == 5) s += 300000.0;
    }
    return s;
}

}  // namespace

int StageSolveMain(int argc, char** argv) {
    std::string name, data, out;
    int offset = -1, extra = 0, index = -1, beam = 24, maxFrames = 9000;
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
            const auto key = std::make_tuple(static_cast<int>(s.player.x / 4), static_cast<int>(s.player.y / 8),
                                             s.gs.Keys > 0, s.door.state, static_cast<int>(s.player.vx * 2));
            if (!seen.insert(key).second) continue;
            frontier.push_back(std::move(c));
            if (static_cast<int>(frontier.size()) >= beam) break;
        }
        if (std::getenv("SOLVE_TRACE") && !frontier.empty())
            std::printf("frame %d: %zu states, best x %.1f y %.1f keys %d score %.0f boss %d x %.0f hp %d\n", frontier[0].snap->frame, frontier.size(),
                        frontier[0].snap->player.x, frontier[0].snap->player.y, frontier[0].snap->gs.Keys, frontier[0].score,
                        frontier[0].snap->extraBoss.active, frontier[0].snap->extraBoss.x, frontier[0].snap->extraBoss.hp);
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
            if (std::getenv("SOLVE_DUMP")) std::printf("%d %.4f %.4f %d\n", Frame - 1 + offset, Player.x, Player.y, GameState.ButtonRight);
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
