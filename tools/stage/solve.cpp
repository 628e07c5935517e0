// quellbore-stage solve: searches an input script that clears a stage.
//
//   quellbore-stage solve NAME --data DIR --offset F [--extra] [--index N]
//                         [--beam B] [--frames MAX] [--rand STATE] --out FILE
//
// Runs the gameplay scene's own per-frame steps (player, actors, row
// spawning, stage timer) on the headless engine without drawing, from the
// stage's entry, and beam-searches sequences of short macro actions (runs,
// jumps of several heights, waits, drill throws), keeping the furthest
// living states. Snapshots of the game's static state make branching cheap.
// The found inputs are written as an input script whose first play frame is
// the runner's frame F (the frame after the gameplay scene was entered).
// --rand gives the random generator's state at that moment when earlier
// play has drawn from it (default: its state at program start).
// SOLVE_TRACE=1 prints the best state of every search step, SOLVE_DUMP=1
// the player's position in every frame of the found play.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
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
#include "game/actors/player.h"
#include "game/world/stage_file.h"
#include "stage_commands.h"
#include "stage_sim.h"

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

// keys held through the macro, jump held for its first jumpFrames frames
Macro Hold(int keys, int jumpFrames) {
    Macro mc;
    mc.keys.assign(MacroFrames, keys);
    for (int i = 0; i < jumpFrames && i < MacroFrames; ++i) mc.keys[i] |= KJump;
    return mc;
}

std::vector<Macro> MakeMacros() {
    std::vector<Macro> m;
    auto make = [](int keys, int jumpFrames, int drillFrame, int drillKeys) {
        Macro mc = Hold(keys, jumpFrames);
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
    // running take-offs later in the step: the widest gaps leave a
    // window of a few frames at the edge
    for (int from : {4, 8, 12}) {
        Macro mc = Hold(KRight, 0);
        for (int i = from; i < MacroFrames; ++i) mc.keys[i] |= KJump;
        m.push_back(mc);
    }
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
    return s;
}

// ---- the last stage of the normal series --------------------------------
// The boss is beaten by stages of its script, not by distance: ten drill
// hits on the flying form, then outliving the third form until the stage
// timer brings the chaser, then the drill on the floating remnant (kind 99)
// that the chaser leaves. The score ranks states of one moment by the stage
// of the fight reached and, within it, by how well placed they are.

bool IsLastStage() { return GameState.StageIndex == LastNormalStage && !GameState.ExtraMode; }

constexpr int RemnantKind = 99;
constexpr int ShotKind = 30;

// Throws upward need the up key held before the drill key is pressed, so
// the throwing macros hold it from their first frame. Throws come at two
// moments of a macro for a finer aim.
std::vector<Macro> MakeBossMacros() {
    std::vector<Macro> m;
    auto make = [](int keys, int jumpFrames, int drillFrame, int aim) {
        Macro mc = Hold(keys, jumpFrames);
        if (drillFrame >= 0) {
            for (int i = 0; i <= drillFrame; ++i) mc.keys[i] |= aim;
            mc.keys[drillFrame] |= KDrill;
            mc.drill = true;
        }
        return mc;
    };
    for (int walk : {0, static_cast<int>(KRight), static_cast<int>(KLeft)}) {
        m.push_back(make(walk, 0, -1, 0));
        m.push_back(make(walk, MacroFrames, -1, 0));
        m.push_back(make(walk, 0, 1, KUp));
        m.push_back(make(walk, 0, 9, KUp));
    }
    m.push_back(make(KRight, 3, -1, 0));
    m.push_back(make(KLeft, 3, -1, 0));
    // sideways throws at a low pass, facing first (a turn needs a held key)
    m.push_back(make(KRight, 0, 2, 0));
    m.push_back(make(KLeft, 0, 2, 0));
    m.push_back(make(0, MacroFrames, 10, KUp));
    return m;
}

// How far apart two boxes are: the larger of the gaps on the two axes,
// negative when they overlap.
double Gap(double ax, double ay, int aw, int ah, double bx, double by, int bw, int bh) {
    const double gx = std::max(bx - (ax + aw), ax - (bx + bw));
    const double gy = std::max(by - (ay + ah), ay - (by + bh));
    return std::max(gx, gy);
}

// How soon and how surely the shots in flight will pass where the player
// stands: each shot is played forward on its own (straight, accelerating,
// the fall cap on its vertical speed); one that would meet the player's box
// adds more the sooner it would.
double ShotThreat() {
    constexpr int Horizon = 90;
    double threat = 0;
    for (const Enemy& e : EnemyPool) {
        if (!e.active || e.state != 1 || e.kind != ShotKind) continue;
        const double a = e.param / 180.0 * 3.14159265358979323846;
        const double ax = static_cast<float>(std::cos(a) * 0.02), ay = static_cast<float>(std::sin(a) * 0.02);
        double x = e.x, y = e.y, vx = e.vx, vy = e.vy;
        for (int k = 1; k <= Horizon; ++k) {
            vx += ax;
            vy = std::min(vy + ay, 2.5);
            x += vx;
            y += vy;
            if (y > 256) break;
            if (Gap(x, y, 16, 16, Player.x, Player.y, 16, 16) < 6) {
                threat += 1.0 - static_cast<double>(k) / (Horizon + 30);
                break;
            }
        }
    }
    return threat;
}

// Danger of the boss's own body over the next frames; the flying form's
// path depends on its timer alone.
double BossThreat() {
    const LastBoss& b = TheLastBoss;
    if (!b.active) return 0;
    double x = b.x, y = b.y;
    int t = b.timer;
    double threat = 0;
    const bool flying = b.phase == 1 || b.phase == 2;
    // long enough to walk out from under a low pass
    for (int k = 0; k <= 96; k += 4) {
        if (Gap(x, y, b.width, b.height, Player.x, Player.y, 16, 16) < 12) threat = std::max(threat, 1.0 - k / 128.0);
        if (!flying) break;
        for (int i = 0; i < 4; ++i) {
            ++t;
            x += -1.5 * std::sin(0.01 * t);
            y += 1.5 * std::cos(0.02 * t);
        }
    }
    return threat;
}

// Where the flying form's centre will be in k frames.
double FlightCentreX(int k) {
    const LastBoss& b = TheLastBoss;
    double x = b.x;
    for (int i = 1; i <= k; ++i) x += -1.5 * std::sin(0.01 * (b.timer + i));
    return x + b.width / 2.0;
}

const Enemy* Remnant() {
    for (const Enemy& e : EnemyPool)
        if (e.active && e.state == 1 && e.kind == RemnantKind) return &e;
    return nullptr;
}

// Frames until the drill can be thrown again.
double DrillWait() {
    if (TheDrill.active) return 180;
    if (GameState.DrillCharges > 0) return 0;
    const double ms = 3000.0 - (static_cast<double>(TickAt(Frame)) - GameState.DrillRechargeTick);
    return std::max(0.0, ms * 3 / 50);
}

Snapshot Scratch;

// A drill in flight is judged by what it will hit: the game plays on
// without keys until the drill is gone. Returns the boss's hp then and
// whether the chaser was driven off.
void Rollout(int* hp, bool* drivenOff) {
    Save(Scratch);
    for (int k = 0; k < 120 && TheDrill.active && Player.state == 1 && !GameState.StageCleared; ++k) Step(0);
    *hp = TheLastBoss.hp;
    *drivenOff = TheDeathChaser.active && TheDeathChaser.state == 5;
    Load(Scratch);
}

double LastStageScore() {
    if (GameState.StageCleared) return 1e9;
    const LastBoss& b = TheLastBoss;
    const DeathChaser& c = TheDeathChaser;
    const double pc = Player.x + 8;
    int hp = b.hp;
    bool drivenOff = c.active && c.state == 5;
    if (TheDrill.active && !drivenOff) Rollout(&hp, &drivenOff);
    const double shots = ShotThreat();
    if (drivenOff) return 9e6 - 2000 * shots - (c.active ? c.y : 0);

    double s;
    if (b.code != LastBossCode) {
        // walk in until the boss comes into view
        s = std::min(Player.x, 260.0);
    } else if (b.active && b.phase == 0) {
        // the intro: wait left of where the flying form sets off
        s = 1e5 - std::fabs(pc - (b.x - 40)) * 2;
    } else if (b.active && (b.phase == 1 || b.phase == 2)) {
        s = 1e6 + 1e5 * (10 - hp) - DrillWait() * 5;
        if (hp > 0) s -= std::fabs(pc - FlightCentreX(30)) * 3;
    } else if (b.active && b.phase < 12) {
        // beaten and flashing: the third form appears at the top, where
        // this one stopped; stand off to its right
        s = 2e6 - std::fabs(pc - (b.x + b.width / 2.0 + 200)) * 2;
    } else if (b.active && b.phase == 12 && !c.active) {
        // outlive the third form: stay a good way to its right, moving
        // with it, never cornered at the end of the world; close in as the
        // timer runs out, so the remnant will float near
        const double d = pc - (b.x + b.width / 2.0);
        const bool late = GameState.StageTimer < 240;
        const double near = late ? 0 : 160, far = late ? 160 : 320;
        s = 3e6 - std::max(0.0, near - d) * 8 - std::max(0.0, d - far) * 4 - std::max(0.0, Player.x - 4800) * 10;
    } else if (b.active && b.phase == 12) {
        // the chaser hunts the boss: stand under it, where the remnant
        // will appear; the chaser holds its catch a while before it turns
        s = 4e6 - std::fabs(pc - (b.x + b.width / 2.0)) * 4;
    } else {
        // the remnant floats where the boss was seized: under it with the
        // drill ready, away from the chaser
        const Enemy* r = Remnant();
        const double target = r ? r->x + 8 : (b.active ? b.x + b.width / 2.0 : pc);
        s = 5e6 - std::fabs(pc - target) * 4 - DrillWait() * 5;
        if (c.active && c.state != 5) {
            const double g = Gap(c.x, c.y, c.width, c.height, Player.x, Player.y, 16, 16);
            if (g < 48) s -= (48 - g) * 300;
        }
    }
    return s - 2000 * shots - 3000 * BossThreat();
}

// States of one step that differ in these are kept apart in the beam.
std::tuple<int, int, int, int, int> LastStageKey(const Snapshot& s) {
    const int drill = s.drill.active ? 2 : s.gs.DrillCharges > 0 ? 1 : 0;
    return std::make_tuple(static_cast<int>(s.player.x / 6), static_cast<int>(s.player.y / 8), static_cast<int>(s.player.vx * 2),
                           s.lastBoss.hp, drill);
}

}  // namespace

// ---- the careless player ---------------------------------------------------
// Picks each 16-frame step at random: a pause, a plain run to the right, a
// tap or a held jump starting at one of four moments, or a throw ahead. After a death it goes back four steps
// and tries again with fresh choices, as a player would from a checkpoint.
// The stage timer is held, so only the stage's own hazards count.

CarelessRun RunCarelessPlayer(int extra, int index, uint32_t seed, int frameCap) {
    GameState.ExtraMode = extra;
    GameState.StageIndex = index;
    GameState.Lives = 3;
    GameState.Coins = 0;
    SetGameRandState(1);
    Frame = 0;
    RechargeFrame = -1000;
    Enter();
    CarelessRun run;
    if (!TheDoor.active) return run;
    const double goal = TheDoor.x + 8;
    constexpr int Ring = 8, Back = 4;
    std::vector<Snapshot> ring(Ring);
    uint32_t r = seed * 2654435761u + 12345u;
    auto next = [&r]() {
        r = r * 1103515245u + 12345u;
        return (r >> 16) % 100;
    };
    // ring[s % Ring] holds step s for every s from `oldest` to `step`
    int step = 0, oldest = 0, simulated = 0;
    Save(ring[0]);
    while (simulated < frameCap) {
        if (Player.x >= goal) {
            run.reached = true;
            break;
        }
        const unsigned pick = next(), from = next() % 4 * 4;
        Macro mc = Hold(pick < 10 ? 0 : KRight, 0);
        if (pick >= 45 && pick < 90)
            for (unsigned i = from; i < (pick < 60 ? from + 3 : MacroFrames); ++i) mc.keys[i] |= KJump;
        if (pick >= 90 && GameState.DrillCharges > 0 && !TheDrill.active) mc.keys[0] |= KDrill;
        bool dead = false;
        for (int k : mc.keys) {
            // the figure is about the stage's hazards: the chaser stays away
            GameState.StageTimer = 9999;
            Step(k);
            ++simulated;
            run.furthest = std::max(run.furthest, std::min(Player.x, goal));
            if (Player.state == 2) {
                dead = true;
                break;
            }
        }
        if (dead) {
            ++run.deaths;
            step = std::max(oldest, step - Back);
            Load(ring[step % Ring]);
            continue;
        }
        ++step;
        Save(ring[step % Ring]);
        oldest = std::max(oldest, step - (Ring - 1));
    }
    run.frames = simulated;
    return run;
}

int StageSolveMain(int argc, char** argv) {
    std::string name, data, out;
    int offset = -1, extra = 0, index = -1, beam = 24, maxFrames = 9000;
    long long randArg = -1;
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
        else if (a == "--rand") randArg = std::atoll(next());
        else if (name.empty()) name = a;
        else {
            std::fprintf(stderr, "quellbore-stage solve: unexpected '%s'\n", a.c_str());
            return 2;
        }
    }
    if (data.empty() || out.empty() || offset < 0 || index < 0) {
        std::fprintf(stderr,
                     "usage: quellbore-stage solve --data DIR --index N [--extra] --offset F --out FILE.input [--beam B] [--frames MAX] [--rand STATE]\n");
        return 2;
    }
    const std::filesystem::path dataDir = std::filesystem::absolute(data);
    if (chdir(dataDir.parent_path().c_str()) != 0) {
        std::fprintf(stderr, "quellbore-stage solve: cannot enter %s\n", dataDir.parent_path().c_str());
        return 1;
    }
    const uint32_t startRand = randArg >= 0 ? static_cast<uint32_t>(randArg) : GameRandState();
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

    const bool lastStage = IsLastStage();
    const std::vector<Macro> macros = lastStage ? MakeBossMacros() : MakeMacros();
    auto score = [&]() { return lastStage ? LastStageScore() : Score(); };
    std::vector<Node> nodes{{-1, -1}};
    std::vector<Candidate> frontier;
    auto root = std::make_shared<Snapshot>();
    Save(*root);
    frontier.push_back({score(), 0, root});
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
                next.push_back({score(), static_cast<int>(nodes.size()) - 1, s});
                if (GameState.StageCleared) solved = static_cast<int>(nodes.size()) - 1;
            }
        }
        std::sort(next.begin(), next.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
        frontier.clear();
        std::set<std::tuple<int, int, int, int, int>> seen;
        // on the last stage no stretch of 32 pixels holds more than an
        // eighth of the beam: spread out, some states dodge what others meet
        std::map<int, int> perColumn;
        const int columnCap = std::max(2, beam / 8);
        for (Candidate& c : next) {
            const Snapshot& s = *c.snap;
            if (lastStage && perColumn[static_cast<int>(s.player.x / 32)] >= columnCap) continue;
            const auto key = lastStage ? LastStageKey(s)
                                       : std::make_tuple(static_cast<int>(s.player.x / 4), static_cast<int>(s.player.y / 8),
                                                         static_cast<int>(s.gs.Keys > 0), s.door.state, static_cast<int>(s.player.vx * 2));
            if (!seen.insert(key).second) continue;
            ++perColumn[static_cast<int>(s.player.x / 32)];
            frontier.push_back(std::move(c));
            if (static_cast<int>(frontier.size()) >= beam) break;
        }
        if (std::getenv("SOLVE_TRACE") && !frontier.empty()) {
            const Snapshot& b = *frontier[0].snap;
            std::printf("frame %d: %zu states, best x %.1f y %.1f keys %d score %.0f", b.frame, frontier.size(), b.player.x, b.player.y,
                        b.gs.Keys, frontier[0].score);
            if (b.extraBoss.active) std::printf(" extra boss x %.0f hp %d", b.extraBoss.x, b.extraBoss.hp);
            if (b.lastBoss.active) std::printf(" boss phase %d x %.0f y %.0f hp %d", b.lastBoss.phase, b.lastBoss.x, b.lastBoss.y, b.lastBoss.hp);
            if (b.chaser.active) std::printf(" chaser %d x %.0f y %.0f", b.chaser.state, b.chaser.x, b.chaser.y);
            std::printf(" timer %d\n", b.gs.StageTimer);
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
                       std::to_string(offset) + "\n# stage won at frame " + std::to_string(offset + static_cast<int>(keys.size()) - 1) + "\n";
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
