// The real program over the SDL backend with SDL's dummy video driver (no
// display needed): it starts, runs its frames, refuses a second copy and
// ends cleanly when the system asks it to.
#include <gtest/gtest.h>

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

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

pid_t Start(const fs::path& program, const fs::path& workDir, const fs::path& runtimeDir) {
    pid_t child = fork();
    if (child != 0) return child;
    if (chdir(workDir.c_str()) != 0) _exit(120);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
    }
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
    char name[] = "/tmp/quellbore-sdl-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    fs::path root = name;
    fs::create_directories(root / "first");
    fs::create_directories(root / "second");
    fs::create_directories(root / "run");

    pid_t first = Start(program, root / "first", root / "run");
    ASSERT_GT(first, 0);
    // Frames are running once start-up has finished.
    bool up = WaitForText(root / "first" / "Log.txt", "文字コードバッファの初期化を行います... 完了しました", 20);
    if (up) {
        pid_t second = Start(program, root / "second", root / "run");
        EXPECT_EQ(WaitFor(second, 20), -1) << "a second copy is refused";
        EXPECT_NE(ReadFile(root / "second" / "Log.txt").find("二重起動されています、ソフトを終了します"),
                  std::string::npos);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    kill(first, SIGTERM);  // SDL turns it into its quit event
    int status = WaitFor(first, 20);
    std::string log = ReadFile(root / "first" / "Log.txt");
    EXPECT_TRUE(up) << log;
    EXPECT_EQ(status, 0) << log;
    for (const char* line : {"二重起動はされていませんでした", "ウインドウの作成に成功しました",
                             "DirectInput 関連の初期化は正常に終了しました", "ＣＯＭを終了... 完了",
                             "Alloc memory dump"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
