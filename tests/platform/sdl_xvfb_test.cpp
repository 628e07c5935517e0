// The real game in a real X window (under Xvfb) always ends cleanly: on
// SIGTERM and SIGINT with 0 and its log finished, on a lost X connection
// (the window killed as xkill does, or the X server gone) with 1 and never
// a signal or a core dump; the save is left as it was either way.
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// An X server on a free display of its own.
struct Xvfb {
    pid_t pid = -1;
    std::string display;

    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        char buffer[32] = {};
        size_t got = 0;
        pollfd p = {fds[0], POLLIN, 0};
        while (got < sizeof buffer - 1 && poll(&p, 1, 10000) > 0) {
            ssize_t n = read(fds[0], buffer + got, sizeof buffer - 1 - got);
            if (n <= 0) break;
            got += (size_t)n;
            if (buffer[got - 1] == '\n') break;
        }
        close(fds[0]);
        if (got == 0) return false;
        display = ":" + std::string(buffer, buffer[got - 1] == '\n' ? got - 1 : got);
        return true;
    }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
    ~Xvfb() { Stop(); }
};

// Status as the shell sees it: the exit code, or 1000 + the signal.
int WaitFor(pid_t child, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() > until) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

class SdlXvfb : public ::testing::Test {
protected:
    TempFolder folder{"quellbore-xvfb-"};
    fs::path root, work, log, save, dataSave;
    Xvfb x;
    const std::string saved = std::string("\x07\x00\x00\x00", 4);

    void SetUp() override {
        fs::path program = fs::path(QUELLBORE_BUILD_DIR) / "quellbore";
        if (!fs::exists(program)) GTEST_SKIP() << "quellbore is not built";
        if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps.sh)";
        ASSERT_TRUE(x.Start()) << "Xvfb did not start";
        ASSERT_FALSE(folder.path.empty());
        root = folder.path;
        work = root / "work";
        // The data, with a save of its own beside it.
        fs::create_directories(work / "data");
        for (const auto& entry : fs::directory_iterator(QUELLBORE_DATA_DIR))
            if (entry.path().filename() != "state0.dat")
                fs::create_symlink(entry.path(), work / "data" / entry.path().filename());
        dataSave = work / "data" / "state0.dat";
        save = root / "share" / "quellbore" / "state0.dat";
        fs::create_directories(save.parent_path());
        for (const fs::path& p : {dataSave, save}) std::ofstream(p, std::ios::binary) << saved;
    }
    void TearDown() override {
        x.Stop();
    }

    pid_t Start() {
        fs::path program = fs::path(QUELLBORE_BUILD_DIR) / "quellbore";
        std::error_code ec;
        for (const fs::path& p : {work / "Log.txt", root / "state" / "quellbore" / "Log.txt"}) fs::remove(p, ec);
        pid_t child = fork();
        if (child != 0) return child;
        if (chdir(work.c_str()) != 0) _exit(120);
        setenv("DISPLAY", x.display.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_VIDEODRIVER");
        // In a sanitized build: the system libraries (SDL, D-Bus, X) keep
        // memory until exit; the engine's own leaks are checked elsewhere.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        setenv("HOME", root.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root / "share").c_str(), 1);
        setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
        int out = open((root / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        execl(program.c_str(), program.c_str(), (char*)nullptr);
        _exit(121);
    }

    // The log, wherever this build keeps it.
    std::string Log() {
        for (const fs::path& p : {work / "Log.txt", root / "state" / "quellbore" / "Log.txt"})
            if (fs::exists(p)) return ReadFile(p);
        return "";
    }
    bool WaitForLog(const char* text, int seconds) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (Log().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    bool Running() { return WaitForLog("文字コードバッファの初期化を行います... 完了しました", 30); }
    void ExpectSaveKept() {
        EXPECT_EQ(ReadFile(save), saved);
        EXPECT_EQ(ReadFile(dataSave), saved);
    }
    std::string Xdotool(const std::string& args) {
        std::string command = "DISPLAY=" + x.display + " xdotool " + args + " 2>/dev/null";
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, p)) out += line;
            pclose(p);
        }
        return out;
    }
};

TEST_F(SdlXvfb, SigtermAndSigintEndWithZeroTheLogFinishedAndTheWindowRemembered) {
    const bool xdotool = OnPath("xdotool");
    fs::create_directories(root / "config" / "quellbore");
    std::ofstream(root / "config" / "quellbore" / "quellbore.ini") << "# mine\nscale = 3\njump = Space  # easier\n";
    for (int sig : {SIGTERM, SIGINT}) {
        pid_t game = Start();
        ASSERT_GT(game, 0);
        ASSERT_TRUE(Running()) << Log();
        if (xdotool && sig == SIGTERM) {
            // Resized only once the game runs its loop (its first frame is
            // shown), so that the size comes after the game's own.
            for (int i = 0; i < 100 && Log().find("最初の画面を表示しました") == std::string::npos; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::string id = Xdotool("search --sync --name Quellbore");
            ASSERT_FALSE(id.empty());
            id = id.substr(0, id.find('\n'));
            EXPECT_NE(Xdotool("getwindowgeometry " + id).find("768x768"), std::string::npos) << "scale = 3";
            Xdotool("windowsize " + id + " 900 620");
            // The server takes the size first; the game sees it at its next
            // pump, which a loaded machine may delay.
            for (int i = 0; i < 50 && Xdotool("getwindowgeometry " + id).find("900x620") == std::string::npos; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
        kill(game, sig);
        EXPECT_EQ(WaitFor(game, 20), 0) << "signal " << sig << "\n" << ReadFile(root / "stderr.txt");
        std::string log = Log();
        for (const char* line : {"ＣＯＭを終了... 完了", "Alloc memory dump"})
            EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
        ExpectSaveKept();
    }
    // The clean end writes the size the player dragged the window to, and
    // keeps the player's own lines.
    std::string ini = ReadFile(root / "config" / "quellbore" / "quellbore.ini");
    EXPECT_EQ(ini.rfind("# mine\nscale = 3\njump = Space  # easier\nfullscreen = no\n", 0), 0u) << ini;
    if (xdotool) {
        EXPECT_NE(ini.find("window = 900x620"), std::string::npos) << ini;
    }
}

TEST_F(SdlXvfb, ALostXConnectionEndsWithOneAndNoCoreDump) {
    struct Case {
        const char* how;
        bool needsXdotool;
    } cases[] = {{"windowkill", true}, {"X server stopped", false}};
    for (const Case& c : cases) {
        if (c.needsXdotool && !OnPath("xdotool")) {
            std::printf("skipped \"%s\": xdotool is not installed (scripts/install-deps.sh)\n", c.how);
            continue;
        }
        if (x.pid < 0) {
            ASSERT_TRUE(x.Start());
        }
        pid_t game = Start();
        ASSERT_GT(game, 0);
        ASSERT_TRUE(Running()) << Log();
        if (c.needsXdotool) {
            std::string id = Xdotool("search --sync --name Quellbore");
            ASSERT_FALSE(id.empty());
            Xdotool("windowkill " + id.substr(0, id.find('\n')));
        } else {
            x.Stop();
        }
        EXPECT_EQ(WaitFor(game, 20), 1) << c.how << " (1000 + n is signal n)\n" << ReadFile(root / "stderr.txt");
        EXPECT_NE(ReadFile(root / "stderr.txt").find("connection to the display was lost"), std::string::npos)
            << c.how;
        std::string log = Log();
        EXPECT_NE(log.find("ディスプレイとの接続が失われました"), std::string::npos) << c.how << "\n" << log;
        EXPECT_NE(log.find("ＣＯＭを終了... 完了"), std::string::npos) << c.how << "\n" << log;
        ExpectSaveKept();
    }
}

TEST_F(SdlXvfb, F11CoversTheScreenAndComesBackToTheWindow) {
    // Full screen under X needs a window manager to carry it out.
    if (!OnPath("xdotool") || !OnPath("openbox")) GTEST_SKIP() << "xdotool or openbox is not installed";
    pid_t wm = fork();
    if (wm == 0) {
        setenv("DISPLAY", x.display.c_str(), 1);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        execlp("openbox", "openbox", (char*)nullptr);
        _exit(127);
    }
    ASSERT_GT(wm, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    pid_t game = Start();
    ASSERT_GT(game, 0);
    ASSERT_TRUE(Running()) << Log();
    std::string id = Xdotool("search --sync --name Quellbore");
    ASSERT_FALSE(id.empty());
    id = id.substr(0, id.find('\n'));
    auto geometryBecomes = [&](const char* size) {
        for (int i = 0; i < 50; ++i) {
            if (Xdotool("getwindowgeometry " + id).find(size) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    EXPECT_TRUE(geometryBecomes("512x512"));
    Xdotool("windowactivate --sync " + id);
    Xdotool("key --window " + id + " F11");
    EXPECT_TRUE(geometryBecomes("1024x768")) << Xdotool("getwindowgeometry " + id);
    Xdotool("key --window " + id + " F11");
    EXPECT_TRUE(geometryBecomes("512x512")) << Xdotool("getwindowgeometry " + id);
    kill(game, SIGTERM);
    EXPECT_EQ(WaitFor(game, 20), 0);
    kill(wm, SIGTERM);
    waitpid(wm, nullptr, 0);
    EXPECT_NE(ReadFile(root / "config" / "quellbore" / "quellbore.ini").find("fullscreen = no"), std::string::npos);
}

}  // namespace
