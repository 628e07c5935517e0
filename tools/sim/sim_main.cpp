// quellbore-sim: the game's own entry and main loop over the headless
// backend, with a frame limit, scripted input, a per-frame trace and
// screenshots.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/platform/headless/headless.h"
#include "game/shell/entry.h"
#include "game/shell/movie.h"
#include "tools/sim/input_script.h"
#include "tools/sim/png_writer.h"
#include "tools/sim/random_input.h"
#include "tools/sim/sim_audio.h"
#include "tools/sim/trace.h"
#include "game/shell/game_state.h"

namespace {

struct Shot {
    int frame;
    std::string path;
    bool taken;
};

struct SimRun {
    long long frameLimit = -1;  // -1: until the game ends
    InputScript script;
    std::vector<char> held;
    FILE* trace = nullptr;
    JsonWriter json;
    std::vector<Shot> shots;
    int presentsBefore = 0;
    bool failed = false;
    bool random = false;
    int randomFrom = 0;  // with a script, random input takes over after its last frame
    FILE* memoryLog = nullptr;
    bool limitReached = false;
};
SimRun g_Run;

const char* const Usage =
    "usage: quellbore-sim [--dir DIR] [--frames N] [--input FILE] [--arg TEXT]\n"
    "                     [--trace FILE] [--shot F:FILE.png ...] [--audio FILE.wav]\n"
    "                     [--random-input SEED] [--memory-log FILE] [--refresh HZ]\n"
    "                     [--record MOVIE | --replay MOVIE]\n";

bool BeforePass(int frame) {
    if (g_Run.frameLimit >= 0 && frame >= g_Run.frameLimit) {
        g_Run.limitReached = true;
        return false;
    }
    ApplyInputScript(g_Run.script, frame, &g_Run.held);
    if (g_Run.random && frame >= g_Run.randomFrom) RandomInputFrame(frame);
    g_Run.presentsBefore = HeadlessPresentCount();
    return true;
}

bool AfterScene(int frame) {
    if (g_Run.trace) {
        JsonWriter& w = g_Run.json;
        JsonReset(w);
        JsonBeginObject(w, nullptr);
        TraceShell(w, frame);
        TraceWorld(w);
        TraceActors(w);
        TraceScenes(w);
        JsonEndObject(w);
        w.out += '\n';
        std::fwrite(w.out.data(), 1, w.out.size(), g_Run.trace);
    }
    return true;
}

// Resident memory in KiB from /proc: anonymous (heap, stacks) and
// file-backed (mapped files such as the font; the kernel may drop those
// pages and read them again). 0 when unknown.
struct Resident {
    long anonKb = 0, fileKb = 0;
};
Resident ResidentNow() {
    Resident r;
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return r;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        if (!std::strncmp(line, "RssAnon:", 8)) r.anonKb = std::strtol(line + 8, nullptr, 10);
        else if (!std::strncmp(line, "RssFile:", 8)) r.fileKb = std::strtol(line + 8, nullptr, 10);
    }
    std::fclose(f);
    return r;
}

bool AfterPresent(int frame) {
    SimAudioFrame(frame);
    // Every second, and at every change of scene.
    static int lastScene = -1;
    if (g_Run.memoryLog && (frame % 60 == 0 || GameState.SceneId != lastScene)) {
        Resident r = ResidentNow();
        std::fprintf(g_Run.memoryLog, "%d %d %d %ld %ld\n", frame, GameState.SceneId, GameState.StageIndex, r.anonKb,
                     r.fileKb);
    }
    lastScene = GameState.SceneId;
    for (Shot& shot : g_Run.shots) {
        if (shot.frame != frame || shot.taken) continue;
        int w = 0, h = 0, pitch = 0, format = 0;
        const uint16_t* pixels = HeadlessLastFrame(&w, &h, &pitch, &format);
        if (!pixels || HeadlessPresentCount() == g_Run.presentsBefore) {
            std::fprintf(stderr, "quellbore-sim: frame %d presented nothing for %s\n", frame, shot.path.c_str());
            g_Run.failed = true;
            shot.taken = true;
            continue;
        }
        if (WriteScreenPng(shot.path.c_str(), pixels, w, h, pitch, format) != 0) {
            std::fprintf(stderr, "quellbore-sim: cannot write %s\n", shot.path.c_str());
            g_Run.failed = true;
        }
        shot.taken = true;
    }
    return true;
}

// A replayed movie's counter values become the virtual clock's, so that
// waits and sound follow the recorded time.
void FollowRecordedTick(int recorded, int) { HeadlessSetTickMs((uint32_t)recorded); }

bool ParseCount(const char* text, long long* value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno || *end || v < 0 || v > INT_MAX) return false;
    *value = v;
    return true;
}

bool ReadFile(const char* path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dir = nullptr;
    const char* inputPath = nullptr;
    const char* tracePath = nullptr;
    const char* audioPath = nullptr;
    const char* recordPath = nullptr;
    const char* replayPath = nullptr;
    bool argumentGiven = false;
    long long refresh = -1;
    std::string startArgument;
    for (int i = 1; i < argc; ++i) {
        std::string opt = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "quellbore-sim: %s needs a value\n%s", opt.c_str(), Usage);
                std::exit(2);
            }
            return argv[++i];
        };
        if (opt == "--dir") {
            dir = value();
        } else if (opt == "--frames") {
            const char* v = value();
            if (!ParseCount(v, &g_Run.frameLimit)) {
                std::fprintf(stderr, "quellbore-sim: --frames needs a count, not \"%s\"\n", v);
                return 2;
            }
        } else if (opt == "--input") {
            inputPath = value();
        } else if (opt == "--arg") {
            startArgument = value();
            argumentGiven = true;
        } else if (opt == "--refresh") {
            const char* v = value();
            if (!ParseCount(v, &refresh) || refresh > 1000) {
                std::fprintf(stderr, "quellbore-sim: --refresh needs a rate in Hz (0 ... 1000), not \"%s\"\n", v);
                return 2;
            }
        } else if (opt == "--record") {
            recordPath = value();
        } else if (opt == "--replay") {
            replayPath = value();
        } else if (opt == "--trace") {
            tracePath = value();
        } else if (opt == "--shot") {
            const char* v = value();
            const char* colon = std::strchr(v, ':');
            long long frame = 0;
            if (!colon || !ParseCount(std::string(v, colon).c_str(), &frame) || !colon[1]) {
                std::fprintf(stderr, "quellbore-sim: --shot needs FRAME:FILE.png, not \"%s\"\n", v);
                return 2;
            }
            g_Run.shots.push_back({(int)frame, colon + 1, false});
        } else if (opt == "--random-input") {
            const char* v = value();
            long long seed = 0;
            if (!ParseCount(v, &seed)) {
                std::fprintf(stderr, "quellbore-sim: --random-input needs a seed, not \"%s\"\n", v);
                return 2;
            }
            RandomInputStart(uint64_t(seed));
            g_Run.random = true;
        } else if (opt == "--memory-log") {
            const char* v = value();
            g_Run.memoryLog = std::fopen(v, "w");
            if (!g_Run.memoryLog) {
                std::fprintf(stderr, "quellbore-sim: cannot write %s\n", v);
                return 2;
            }
        } else if (opt == "--audio") {
            audioPath = value();
        } else if (opt == "--help" || opt == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "quellbore-sim: unknown option %s\n%s", opt.c_str(), Usage);
            return 2;
        }
    }

    if (replayPath && (recordPath || inputPath || argumentGiven || g_Run.random)) {
        std::fprintf(stderr, "quellbore-sim: --replay takes its input and argument from the movie; it goes with "
                             "neither --record, --input, --random-input nor --arg\n");
        return 2;
    }
    if (inputPath) {
        std::string text, error;
        if (!ReadFile(inputPath, &text)) {
            std::fprintf(stderr, "quellbore-sim: cannot read input script %s\n", inputPath);
            return 2;
        }
        if (!ParseInputScript(text, &g_Run.script, &error)) {
            std::fprintf(stderr, "quellbore-sim: %s: %s\n", inputPath, error.c_str());
            return 2;
        }
        for (const ScriptHold& hold : g_Run.script.holds)
            if (hold.last + 1 > g_Run.randomFrom) g_Run.randomFrom = hold.last + 1;
    }
    if (tracePath) {
        g_Run.trace = std::fopen(tracePath, "wb");
        if (!g_Run.trace) {
            std::fprintf(stderr, "quellbore-sim: cannot write trace %s\n", tracePath);
            return 2;
        }
    }
    // Output paths are taken before the change of directory, as given.
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
    for (Shot& shot : g_Run.shots)
        if (shot.path[0] != '/' && cwd[0]) shot.path = std::string(cwd) + "/" + shot.path;
    std::string audio;
    if (audioPath) audio = audioPath[0] == '/' || !cwd[0] ? audioPath : std::string(cwd) + "/" + audioPath;

    if (dir && chdir(dir) != 0) {
        std::fprintf(stderr, "quellbore-sim: cannot enter %s: %s\n", dir, std::strerror(errno));
        return 2;
    }
    if (refresh >= 0) HeadlessSetRefreshRate((int)refresh);
    std::string movieWarning, movieError;
    if (recordPath) {
        std::string path = recordPath[0] == '/' || !cwd[0] ? recordPath : std::string(cwd) + "/" + recordPath;
        if (!MovieStartRecording(path.c_str(), startArgument.c_str(), &movieError)) {
            std::fprintf(stderr, "quellbore-sim: %s\n", movieError.c_str());
            return 2;
        }
    }
    if (replayPath) {
        std::string path = replayPath[0] == '/' || !cwd[0] ? replayPath : std::string(cwd) + "/" + replayPath;
        MovieReplayOptions options;
        options.followTick = FollowRecordedTick;
        if (!MovieStartReplay(path.c_str(), options, &startArgument, &movieWarning, &movieError)) {
            std::fprintf(stderr, "quellbore-sim: %s\n", movieError.c_str());
            return 2;
        }
        if (!movieWarning.empty()) std::fprintf(stderr, "quellbore-sim: warning: %s", movieWarning.c_str());
    }
    if (g_Run.script.usesPad) HeadlessSetJoystickCount(1);
    if (audioPath) SimAudioCapture(audio.c_str());

    GameLoopHooks hooks = {BeforePass, AfterScene, AfterPresent};
    int code = GameMainWithHooks(startArgument.c_str(), &hooks);

    if (g_Run.trace && std::fclose(g_Run.trace) != 0) {
        std::fprintf(stderr, "quellbore-sim: writing the trace failed\n");
        g_Run.failed = true;
    }
    if (audioPath && SimAudioFinish() != 0) g_Run.failed = true;
    if (recordPath && !MovieRecordingProblem().empty()) {
        std::fprintf(stderr, "quellbore-sim: the movie stopped early: %s\n", MovieRecordingProblem().c_str());
        g_Run.failed = true;
    }
    if (replayPath && code == 0) {
        MovieReplayResult r = MovieReplayOutcome();
        if (r.mismatch) {
            std::printf("replay: out of sync at frame %d: %s\n", r.mismatchFrame, r.detail.c_str());
            return 3;
        }
        if (!r.reachedEnd && !g_Run.limitReached) {
            std::printf("replay: out of sync at frame %d: the run ended before the movie's %d frames\n",
                        r.framesReplayed, r.framesInMovie);
            return 3;
        }
        std::printf("replay: in sync (%d frames)\n", r.framesReplayed);
    }
    if (g_Run.memoryLog && std::fclose(g_Run.memoryLog) != 0) g_Run.failed = true;
    for (const Shot& shot : g_Run.shots) {
        if (!shot.taken) {
            std::fprintf(stderr, "quellbore-sim: the run ended before frame %d (%s)\n", shot.frame,
                         shot.path.c_str());
            g_Run.failed = true;
        }
    }
    if (code != 0) return code;
    return g_Run.failed ? 1 : 0;
}
