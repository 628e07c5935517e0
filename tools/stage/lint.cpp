// quellbore-stage lint STAGE...: checks stage files or sources.
//
// Header values in range; exactly one door on a normal stage (a boss code
// instead of it on a final one); a key left of the door that is not walled
// in; the player's start, the door and the bosses not inside solid cells;
// no pit wider than the longest running jump (a roof over it does not help).
#include <cstdio>
#include <string>

#include "stage_commands.h"
#include "stage_source.h"

namespace {

constexpr int StageKindCount = 5;
constexpr int GroundStyleCount = 5;
constexpr int DoorValue = 49;

bool Solid(const StageSource& s, int r, int c) {
    if (r < 0 || r >= GridRows || c < 0 || c >= GridCells) return false;
    return s.values[r][c] >= 1 && s.values[r][c] <= 5;
}

// Horizontal distance of a jump at top speed with the button held, from
// take-off to landing at the same height, by the player's own rules.
double LongestJump() {
    double y = 0.0, vy = -4.9, x = 0.0;
    bool rising = true;
    for (int f = 0; f < 200; ++f) {
        const double g = (rising && vy < 0) ? 0.2 : 0.55;
        if (vy >= 0) rising = false;
        vy += g;
        if (vy > 2.5) vy = 2.5;
        y += vy;
        x += 1.3;
        if (y >= 0) break;
    }
    return x;
}

}  // namespace

// Returns the number of faults found, printing each.
int LintStage(const std::string& name, const StageSource& s) {
    int faults = 0;
    auto fault = [&](const std::string& what) {
        std::printf("%s: %s\n", name.c_str(), what.c_str());
        ++faults;
    };
    if (s.stageKind < 0 || s.stageKind >= StageKindCount) fault("StageKind " + std::to_string(s.stageKind) + " is outside 0..4");
    if (s.groundRow < 0 || s.groundRow >= GroundStyleCount) fault("GroundRow " + std::to_string(s.groundRow) + " is outside 0..4");

    int doors = 0, doorRow = -1, doorCell = -1, bosses = 0;
    for (int r = 0; r < GridRows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            const int v = s.values[r][c];
            if (v == DoorValue) {
                ++doors;
                doorRow = r;
                doorCell = c;
            }
            if (v == 98 || v == 99) {
                ++bosses;
                // the boss box: 48 x 48 (last) or 64 x 64 (extra) above its cell
                if (v == 99 && r < 1) fault("last-stage boss too close to the left end");
            }
        }
    }
    if (bosses == 0 && doors != 1) fault("a normal stage needs exactly one door, found " + std::to_string(doors));
    if (bosses > 0 && doors > 1) fault("more than one door");
    if (bosses > 1) fault("more than one boss code");
    if (Solid(s, 1, 1) || Solid(s, 1, 2)) fault("the player's start (row 1, cell 1) is inside a solid cell");
    if (doors == 1) {
        if (Solid(s, doorRow, doorCell) || Solid(s, doorRow, doorCell - 1)) fault("the door is inside a solid cell");
        if (!Solid(s, doorRow, doorCell + 1) && doorCell + 1 < GridCells) fault("the door stands on nothing");
        bool key = false;
        for (int r = 0; r < doorRow && !key; ++r) {
            for (int c = 0; c < GridCells && !key; ++c) {
                const int v = s.values[r][c];
                if (v != 11 && v != 4) continue;
                // a key in a block is reached through the block; a loose key
                // must not be walled in on all four sides
                if (v == 11 && Solid(s, r - 1, c) && Solid(s, r + 1, c) && Solid(s, r, c - 1) && Solid(s, r, c + 1)) continue;
                key = true;
            }
        }
        if (!key) fault("no reachable key before the door");
    }
    // pits: runs of strips with nothing to stand on
    const double jump = LongestJump();
    int run = 0;
    for (int r = 0; r <= GridRows; ++r) {
        if (r < GridRows && PitStrip(s, r)) {
            ++run;
            continue;
        }
        // from the left edge (left foot over ground) to the right foot landing
        if (run > 0 && r < GridRows && 16.0 * run - 10.0 > jump)
            fault("pit of " + std::to_string(run) + " strips at row " + std::to_string(r - run) + " is wider than the longest jump");
        run = 0;
    }
    return faults;
}

int StageLintMain(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quellbore-stage lint STAGE.dat|SOURCE.txt ...\n");
        return 2;
    }
    int faults = 0, unreadable = 0;
    for (int i = 1; i < argc; ++i) {
        static StageSource s;
        std::string error;
        if (!LoadStageAny(argv[i], &s, &error)) {
            std::printf("%s: %s\n", argv[i], error.c_str());
            ++unreadable;
            continue;
        }
        faults += LintStage(argv[i], s);
    }
    if (faults + unreadable == 0) std::printf("%d stage%s clean\n", argc - 1, argc == 2 ? "" : "s");
    return (faults + unreadable) ? 1 : 0;
}
