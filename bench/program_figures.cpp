// The programs a player runs, measured from outside: the real game in a
// window under Xvfb (processor use on the title and walking in a stage,
// exec to the first presented title frame, resident memory) and
// quellbore-sim's start-up and memory over a stage.
#include "bench/program_figures.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string Build = QUELLBORE_BUILD_DIR;
const char* const FirstFrameLine = "最初の画面を表示しました";

double NowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Processor ticks (user + system) from /proc/PID/stat, of the whole
// process or (mainOnly) of its main thread.
long long CpuTicks(pid_t pid, bool mainOnly = false) {
    std::string p = std::to_string(pid);
    std::string stat = ReadFile(mainOnly ? "/proc/" + p + "/task/" + p + "/stat" : "/proc/" + p + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14) utime = std::atoll(field.c_str());
        if (i == 15) stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

// Resident memory in MB from /proc/PID/status: anonymous and in all.
void Resident(pid_t pid, double* anonMb, double* totalMb) {
    std::istringstream in(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(in, line);) {
        if (!line.compare(0, 8, "RssAnon:")) *anonMb = std::max(*anonMb, std::atof(line.c_str() + 8) / 1024.0);
        if (!line.compare(0, 6, "VmRSS:")) *totalMb = std::max(*totalMb, std::atof(line.c_str() + 6) / 1024.0);
    }
}

// A folder with the built data linked in and the first stage's save.
std::string MakeRunFolder() {
    char dir[] = "/tmp/quellbore-bench-XXXXXX";
    if (!mkdtemp(dir)) return "";
    std::string d = dir;
    std::system(("mkdir -p '" + d + "/data' '" + d + "/runtime' && chmod 700 '" + d + "/runtime' && for e in '" +
                 std::string(QUELLBORE_DATA_DIR) + "'/*; do ln -s \"$e\" '" + d + "/data/'; done && rm -f '" + d +
                 "/data/state0.dat' && printf '00 \\000' > '" + d + "/data/state0.dat'")
                    .c_str());
    return d;
}

// Waits (polling each millisecond) until the run's log holds the first
// frame's line; the milliseconds since 'start', or -1.
double WaitForFirstFrame(const std::string& dir, double start, double timeoutMs) {
    const std::string logs[] = {dir + "/Log.txt", dir + "/state/quellbore/Log.txt"};
    while (NowMs() - start < timeoutMs) {
        for (const std::string& log : logs)
            if (ReadFile(log).find(FirstFrameLine) != std::string::npos) return NowMs() - start;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return -1;
}

pid_t Launch(const std::string& dir, const std::string& display, const std::string& program,
             const std::vector<std::string>& args) {
    pid_t child = fork();
    if (child != 0) return child;
    if (chdir(dir.c_str()) != 0) _exit(127);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("XDG_RUNTIME_DIR", (dir + "/runtime").c_str(), 1);
    setenv("HOME", dir.c_str(), 1);
    setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

// Processor use over seconds of wall time, in percent of one core: the
// whole process, and its main thread alone (the game's loop and its waits,
// without the threads of the sound and of the display driver).
double CpuPercent(pid_t pid, double seconds, double* mainThread) {
    long long a = CpuTicks(pid), am = CpuTicks(pid, true);
    double t0 = NowMs();
    std::this_thread::sleep_for(std::chrono::milliseconds((long)(seconds * 1000)));
    long long b = CpuTicks(pid), bm = CpuTicks(pid, true);
    double wall = (NowMs() - t0) / 1000.0;
    if (a < 0 || b < 0 || wall <= 0) return -1;
    double tick = (double)sysconf(_SC_CLK_TCK);
    *mainThread = am < 0 || bm < 0 ? -1 : 100.0 * (double)(bm - am) / tick / wall;
    return 100.0 * (double)(b - a) / tick / wall;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 30; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

ProgramFigures MeasurePrograms() {
    ProgramFigures f;
    const std::string sim = Build + "/quellbore-sim", game = Build + "/quellbore";
    std::string dir = MakeRunFolder();
    if (dir.empty()) return f;

    // quellbore-sim: exec to the first frame's log line, best of five; its
    // memory over the first stage as --memory-log reports it.
    for (int i = 0; i < 5; ++i) {
        std::remove((dir + "/Log.txt").c_str());
        double start = NowMs();
        pid_t p = Launch(dir, "", sim, {"--dir", dir, "--frames", "2"});
        double ms = WaitForFirstFrame(dir, start, 10000);
        waitpid(p, nullptr, 0);
        if (ms >= 0 && (f.simFirstFrameMs < 0 || ms < f.simFirstFrameMs)) f.simFirstFrameMs = ms;
    }
    std::string script = std::string(QUELLBORE_SOURCE_DIR) + "/assets/stages/stage01.input";
    pid_t p = Launch(dir, "", sim,
                     {"--dir", dir, "--frames", "2000", "--input", script, "--memory-log", dir + "/memory.txt",
                      "--record", dir + "/walk.qbm"});
    waitpid(p, nullptr, 0);
    std::istringstream memory(ReadFile(dir + "/memory.txt"));
    for (std::string line; std::getline(memory, line);) {
        int frame, scene, stage;
        long anon, file;
        if (std::sscanf(line.c_str(), "%d %d %d %ld %ld", &frame, &scene, &stage, &anon, &file) == 5)
            f.simAnonMb = std::max(f.simAnonMb, anon / 1024.0);
    }

    // The real game in a window.
    if (!Have("Xvfb")) {
        f.windowSkipped = "skipped: no Xvfb";
    } else if (access(game.c_str(), X_OK) != 0) {
        f.windowSkipped = "skipped: quellbore is not built";
    } else {
        std::system(("Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>'" + dir +
                     "/display' >/dev/null 2>&1 & echo $! >'" + dir + "/xvfb.pid'")
                        .c_str());
        std::string display;
        for (int i = 0; i < 200 && display.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            std::istringstream(ReadFile(dir + "/display")) >> display;
        }
        if (display.empty()) {
            f.windowSkipped = "skipped: Xvfb did not start";
        } else {
            display = ":" + display;
            // The title, left alone.
            std::remove((dir + "/Log.txt").c_str());
            double start = NowMs();
            pid_t g = Launch(dir, display, game, {});
            f.windowFirstFrameMs = WaitForFirstFrame(dir, start, 20000);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            f.titleCpu = CpuPercent(g, 8.0, &f.titleMainCpu);
            Resident(g, &f.windowAnonMb, &f.windowTotalMb);
            Stop(g);
            // Walking through the first stage: the recorded clear of it,
            // played in the window; the stage begins some 4 s after the
            // first frame.
            g = Launch(dir, display, game, {"--replay", dir + "/walk.qbm"});
            std::this_thread::sleep_for(std::chrono::seconds(7));
            f.stageCpu = CpuPercent(g, 8.0, &f.stageMainCpu);
            Resident(g, &f.windowAnonMb, &f.windowTotalMb);
            Stop(g);
        }
        std::string pid = ReadFile(dir + "/xvfb.pid");
        if (!pid.empty()) std::system(("kill " + pid + " 2>/dev/null").c_str());
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    return f;
}
