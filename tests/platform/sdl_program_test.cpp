// The real program over the SDL backend with SDL's dummy video driver (no
// display needed): it starts, runs its frames, refuses a second copy and
// ends cleanly when the system asks it to.
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
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The player's folders (save, log) lie under home; stderr goes to errors.
pid_t Start(const fs::path& program, const fs::path& workDir, const fs::path& runtimeDir,
            const fs::path& home, const fs::path& errors = "/dev/null") {
    pid_t child = fork();
    if (child != 0) return child;
    if (chdir(workDir.c_str()) != 0) _exit(120);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"}) unsetenv(name);
    int null = open("/dev/null", O_RDWR);
    int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (null >= 0) dup2(null, 1);
    if (err >= 0) dup2(err, 2);
    execl(program.c_str(), program.c_str(), (char*)nullptr);
    _exit(121);
}

// Exit status, or -1000 when it did not end in time (it is then killed).
int WaitFor(pid_t child, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? (int)(signed char)WEXITSTATUS(status) : -2000;
        if (std::chrono::steady_clock::now() > until) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1000;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool WaitForText(const fs::path& file, const char* text, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (ReadFile(file).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(SdlProgram, RunsUnderTheDummyDriverRefusesASecondCopyAndEndsOnRequest) {
    fs::path program = fs::path(QUELLBORE_BUILD_DIR) / "quellbore";
    if (!fs::exists(program)) GTEST_SKIP() << "quellbore is not built";
    TempFolder folder("quellbore-sdl-");
    ASSERT_FALSE(folder.path.empty());
    fs::path root = folder.path;
    fs::create_directories(root / "first");
    fs::create_directories(root / "second");
    fs::create_directories(root / "run");

    fs::path home = root / "home";
    fs::path logFile = home / ".local/state/quellbore/Log.txt";
    pid_t first = Start(program, root / "first", root / "run", home);
    ASSERT_GT(first, 0);
    // Frames are running once start-up has finished.
    bool up = WaitForText(logFile, "文字コードバッファの初期化を行います... 完了しました", 20);
    if (up) {
        pid_t second = Start(program, root / "second", root / "run", home, root / "second.err");
        EXPECT_EQ(WaitFor(second, 20), 1) << "a second copy is refused";
        EXPECT_NE(ReadFile(root / "second.err").find("already running"), std::string::npos);
        std::string firstLog = ReadFile(logFile);
        EXPECT_NE(firstLog.find("文字コードバッファの初期化を行います"), std::string::npos)
            << "the first copy's log is kept";
        EXPECT_EQ(firstLog.find("二重起動されています"), std::string::npos);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    kill(first, SIGTERM);  // SDL turns it into its quit event
    int status = WaitFor(first, 20);
    std::string log = ReadFile(logFile);
    EXPECT_TRUE(up) << log;
    EXPECT_EQ(status, 0) << log;
    for (const char* line : {"二重起動はされていませんでした", "ウインドウの作成に成功しました",
                             "DirectInput 関連の初期化は正常に終了しました", "ＣＯＭを終了... 完了",
                             "Alloc memory dump"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_TRUE(fs::is_empty(root / "first")) << "nothing is written into the working folder";
}

}  // namespace
