// The installed game: `cmake --install` into a temporary prefix, the
// desktop files checked by their validators, --help without a display, and
// the installed binary started from another folder under Xvfb: it draws
// its title and keeps its files under the player's (temporary) home.
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const char AppId[] = "io.github.quellbore.Quellbore";

// Runs a shell command; its exit status, its output in *output.
int Shell(const std::string& command, std::string* output) {
    std::string full = "(" + command + ") 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Installed : ::testing::Test {
    static inline std::optional<TempFolder> folder;
    static fs::path root, prefix;
    static std::string installLog;
    static int installStatus;

    static void SetUpTestSuite() {
        // For the programs started from here, in a sanitized build: the
        // system libraries (SDL, X) keep memory until exit; the engine's own
        // leaks are checked by the other suites.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        folder.emplace("quellbore-install-");
        if (folder->path.empty()) return;
        root = folder->path;
        prefix = root / "prefix";
        installStatus = Shell("cmake --install '" + std::string(QUELLBORE_BUILD_DIR) + "' --prefix '" +
                                prefix.string() + "'",
                            &installLog);
    }
    static void TearDownTestSuite() { folder.reset(); }
    void SetUp() override {
        if (!fs::exists(fs::path(QUELLBORE_BUILD_DIR) / "quellbore")) GTEST_SKIP() << "quellbore is not built";
        ASSERT_EQ(installStatus, 0) << installLog;
    }
};
fs::path Installed::root, Installed::prefix;
std::string Installed::installLog;
int Installed::installStatus = -1;

// Width and height from a PNG's header.
bool PngSize(const fs::path& path, int* width, int* height) {
    std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return false;
    auto be = [&](int at) {
        return (int)((unsigned char)bytes[at] << 24 | (unsigned char)bytes[at + 1] << 16 |
                     (unsigned char)bytes[at + 2] << 8 | (unsigned char)bytes[at + 3]);
    };
    *width = be(16);
    *height = be(20);
    return true;
}

TEST_F(Installed, PutsEveryFileInItsPlaceAndTheValidatorsAcceptThem) {
    for (const char* file : {"bin/quellbore", "share/quellbore/jumper.dat", "share/quellbore/sound/bom24.wav",
                             "share/quellbore/bgm/BGM016.ogg", "share/quellbore/stageexboss.dat",
                             "share/man/man6/quellbore.6"})
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
    EXPECT_FALSE(fs::exists(prefix / "share/quellbore/state0.dat")) << "no save is shipped";
    EXPECT_FALSE(fs::exists(prefix / "share/quellbore/Log.txt"));
    for (int size : {16, 32, 48, 64, 128, 256}) {
        fs::path icon = prefix / "share/icons/hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
                        "apps" / (std::string(AppId) + ".png");
        int w = 0, h = 0;
        ASSERT_TRUE(PngSize(icon, &w, &h)) << icon;
        EXPECT_EQ(w, size);
        EXPECT_EQ(h, size);
    }
    fs::path desktop = prefix / "share/applications" / (std::string(AppId) + ".desktop");
    fs::path metainfo = prefix / "share/metainfo" / (std::string(AppId) + ".metainfo.xml");
    ASSERT_TRUE(fs::exists(desktop));
    ASSERT_TRUE(fs::exists(metainfo));
    EXPECT_NE(ReadFile(desktop).find(std::string("Icon=") + AppId), std::string::npos);
    EXPECT_NE(ReadFile(metainfo).find(std::string(AppId) + ".desktop"), std::string::npos);

    std::string out;
    if (OnPath("desktop-file-validate")) {
        EXPECT_EQ(Shell("desktop-file-validate '" + desktop.string() + "'", &out), 0) << out;
    } else {
        ADD_FAILURE() << "desktop-file-validate is missing (scripts/install-deps.sh installs it)";
    }
    out.clear();
    if (OnPath("appstreamcli")) {
        EXPECT_EQ(Shell("appstreamcli validate --no-net '" + metainfo.string() + "'", &out), 0) << out;
    } else {
        ADD_FAILURE() << "appstreamcli is missing (scripts/install-deps.sh installs it)";
    }
    out.clear();
    if (OnPath("groff")) {
        EXPECT_EQ(Shell("groff -man -ww -z '" + (prefix / "share/man/man6/quellbore.6").string() + "'", &out), 0);
        EXPECT_EQ(out, "") << "the man page has no warnings";
    }
}

TEST_F(Installed, HelpVersionAndMistakesNeedNoDisplay) {
    std::string bin = (prefix / "bin/quellbore").string();
    std::string env = "cd / && env -u DISPLAY -u WAYLAND_DISPLAY HOME=/nonexistent ";
    std::string out;
    EXPECT_EQ(Shell(env + bin + " --help", &out), 0);
    EXPECT_EQ(out.rfind("Usage: quellbore", 0), 0u) << out;
    EXPECT_NE(out.find("--extra-stage N"), std::string::npos);
    out.clear();
    EXPECT_EQ(Shell(env + bin + " --version", &out), 0);
    EXPECT_EQ(out.rfind("Quellbore ", 0), 0u) << out;
    out.clear();
    EXPECT_EQ(Shell(env + bin + " --frobnicate 2>/dev/null", &out), 2);
    out.clear();
    EXPECT_EQ(Shell(env + bin + " --frobnicate >/dev/null", &out), 2);
    EXPECT_NE(out.find("unknown option '--frobnicate'"), std::string::npos) << out;
    EXPECT_NE(out.find("Usage:"), std::string::npos) << "with the usage";

    // No data where it is pointed: one line saying where and how, exit 1.
    out.clear();
    EXPECT_EQ(Shell(env + bin + " --data /nonexistent/q 2>&1 >/dev/null", &out), 1);
    EXPECT_NE(out.find("no game data in /nonexistent/q"), std::string::npos) << out;
    EXPECT_NE(out.find("--data"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;

    // No display at all: one line saying so, exit 1, no invisible window.
    out.clear();
    fs::path home = root / "nodisplay";
    EXPECT_EQ(Shell("cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy HOME='" +
                        home.string() + "' XDG_RUNTIME_DIR='" + root.string() + "' " + bin + " 2>&1 >/dev/null",
                    &out),
              1);
    EXPECT_NE(out.find("quellbore: no display could be opened"), std::string::npos) << out;

    // A copy of the program with no data anywhere near: where it looked, exit 1.
    fs::path lonely = root / "lonely/bin/quellbore";
    fs::create_directories(lonely.parent_path());
    fs::copy_file(bin, lonely, fs::copy_options::overwrite_existing);
    out.clear();
    EXPECT_EQ(Shell("cd '" + (root / "lonely").string() + "' && env -u DISPLAY HOME=/nonexistent '" +
                        lonely.string() + "' 2>&1 >/dev/null",
                    &out),
              1);
    EXPECT_NE(out.find("the game's data was not found (looked in " + (root / "lonely/data").string()),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("--data DIR"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

TEST_F(Installed, CPackMakesADebOfTheSameFiles) {
    if (!OnPath("cpack") || !OnPath("dpkg-deb")) GTEST_SKIP() << "cpack or dpkg-deb is missing";
    fs::path out = root / "deb";
    std::string log;
    ASSERT_EQ(Shell("cpack -G DEB --config '" + std::string(QUELLBORE_BUILD_DIR) + "/CPackConfig.cmake' -B '" +
                        out.string() + "'",
                    &log),
              0)
        << log;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out))
        if (entry.path().extension() == ".deb") deb = entry.path();
    ASSERT_FALSE(deb.empty()) << log;
    std::string contents, control;
    ASSERT_EQ(Shell("dpkg-deb -c '" + deb.string() + "'", &contents), 0);
    std::vector<std::string> files = {"./usr/bin/quellbore", "./usr/share/quellbore/jumper.dat",
                                      "./usr/share/man/man6/quellbore.6",
                                      std::string("./usr/share/applications/") + AppId + ".desktop",
                                      std::string("./usr/share/metainfo/") + AppId + ".metainfo.xml",
                                      std::string("./usr/share/icons/hicolor/256x256/apps/") + AppId + ".png"};
    for (const std::string& file : files)
        EXPECT_NE(contents.find(file), std::string::npos) << file;
    EXPECT_EQ(contents.find("state0.dat"), std::string::npos);
    ASSERT_EQ(Shell("dpkg-deb -f '" + deb.string() + "' Package Section Depends", &control), 0);
    EXPECT_NE(control.find("Package: quellbore"), std::string::npos) << control;
    EXPECT_NE(control.find("Section: games"), std::string::npos) << control;
    EXPECT_NE(control.find("libsdl2"), std::string::npos) << control;
}

// ---------------------------------------------------------- under Xvfb

struct Screen {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB
};

uint32_t Be32(const std::string& b, size_t at) {
    return (uint32_t)(unsigned char)b[at] << 24 | (uint32_t)(unsigned char)b[at + 1] << 16 |
           (uint32_t)(unsigned char)b[at + 2] << 8 | (uint32_t)(unsigned char)b[at + 3];
}

// Xvfb's screen file (-fbdir) is an XWD image: a big-endian header, a
// colour map, then the pixels (32 bits per pixel at depth 24).
bool ReadXwd(const fs::path& path, Screen* screen) {
    std::string b = ReadFile(path);
    if (b.size() < 100) return false;
    uint32_t headerSize = Be32(b, 0), width = Be32(b, 16), height = Be32(b, 20), byteOrder = Be32(b, 28);
    uint32_t bitsPerPixel = Be32(b, 44), bytesPerLine = Be32(b, 48), colours = Be32(b, 76);
    if (bitsPerPixel != 32 || width > 8192 || height > 8192 || bytesPerLine < width * 4) return false;
    size_t start = (size_t)headerSize + (size_t)colours * 12;
    if (start + (size_t)bytesPerLine * height > b.size()) return false;
    screen->width = (int)width;
    screen->height = (int)height;
    screen->pixels.resize((size_t)width * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = (const unsigned char*)b.data() + start + (size_t)y * bytesPerLine + x * 4;
            uint32_t v = byteOrder == 0 ? (p[0] | p[1] << 8 | p[2] << 16) : (p[3] | p[2] << 8 | p[1] << 16);
            screen->pixels[(size_t)y * width + x] = v & 0xFFFFFF;
        }
    return true;
}

void WritePng(const Screen& s, const fs::path& path) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, s.width, s.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((size_t)s.width * 3);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            uint32_t v = s.pixels[(size_t)y * s.width + x];
            row[x * 3] = v >> 16, row[x * 3 + 1] = (v >> 8) & 255, row[x * 3 + 2] = v & 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(f);
}

// Starts Xvfb on a free display with its screen in fbdir; the display
// number, or -1 (pid in *server).
int StartXvfb(const fs::path& fbdir, pid_t* server) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-fbdir",
               fbdir.c_str(), "-nolisten", "tcp", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    *server = child;
    char text[32] = {};
    ssize_t n = 0, got;
    while (n < (ssize_t)sizeof text - 1 && (got = read(fds[0], text + n, sizeof text - 1 - n)) > 0) {
        n += got;
        if (text[n - 1] == '\n') break;
    }
    close(fds[0]);
    return n > 0 ? std::atoi(text) : -1;
}

int WaitFor(pid_t child, int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -2000;
        if (std::chrono::steady_clock::now() > until) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1000;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Key presses through the X server's test extension, loaded at run time so
// that the tests need no X development files. Empty when it is missing.
struct FakeKeys {
    void* x11 = nullptr;
    void* xtst = nullptr;
    void* display = nullptr;
    int (*flush)(void*) = nullptr;
    unsigned char (*keycode)(void*, unsigned long) = nullptr;
    int (*key)(void*, unsigned, int, unsigned long) = nullptr;

    bool Open(int number) {
        x11 = dlopen("libX11.so.6", RTLD_NOW);
        xtst = dlopen("libXtst.so.6", RTLD_NOW);
        if (!x11 || !xtst) return false;
        auto open = (void* (*)(const char*))dlsym(x11, "XOpenDisplay");
        flush = (int (*)(void*))dlsym(x11, "XFlush");
        keycode = (unsigned char (*)(void*, unsigned long))dlsym(x11, "XKeysymToKeycode");
        key = (int (*)(void*, unsigned, int, unsigned long))dlsym(xtst, "XTestFakeKeyEvent");
        auto motion = (int (*)(void*, int, int, int, unsigned long))dlsym(xtst, "XTestFakeMotionEvent");
        if (!open || !flush || !keycode || !key || !motion) return false;
        display = open((":" + std::to_string(number)).c_str());
        if (!display) return false;
        motion(display, 0, 512, 384, 0);  // keyboard focus follows the pointer
        flush(display);
        return true;
    }
    // Holds the key for a few frames, then lets it go.
    void Press(unsigned long keysym) {
        unsigned code = keycode(display, keysym);
        key(display, code, 1, 0);
        flush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        key(display, code, 0, 0);
        flush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    ~FakeKeys() {
        if (display) ((int (*)(void*))dlsym(x11, "XCloseDisplay"))(display);
        if (xtst) dlclose(xtst);
        if (x11) dlclose(x11);
    }
};

TEST_F(Installed, RunsFromAnotherFolderDrawsItsTitleAndKeepsItsFilesUnderHome) {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed; the windowed run is not checked";
    fs::path fbdir = root / "fb", home = root / "home", elsewhere = root / "elsewhere", run = root / "run";
    for (const fs::path& p : {fbdir, home, elsewhere, run}) fs::create_directories(p);
    // An old save where older versions kept it, beside the data.
    fs::path oldSave = prefix / "share/quellbore/state0.dat";
    std::ofstream(oldSave, std::ios::binary) << std::string("07 \0", 4);

    pid_t server = -1;
    int display = StartXvfb(fbdir, &server);
    if (display < 0) {
        if (server > 0) WaitFor(server, 1);
        GTEST_SKIP() << "Xvfb did not start";
    }
    pid_t game = fork();
    if (game == 0) {
        if (chdir(elsewhere.c_str()) != 0) _exit(120);
        setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "SDL_VIDEODRIVER"})
            unsetenv(name);
        int err = open((root / "game.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 1);
        dup2(err, 2);
        std::string bin = (prefix / "bin/quellbore").string();
        execl(bin.c_str(), bin.c_str(), (char*)nullptr);
        _exit(121);
    }
    // The title is up once the window shows many colours in its middle.
    fs::path log = home / ".local/state/quellbore/Log.txt";
    Screen screen;
    int colours = 0, lit = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until && colours < 16) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (!ReadXwd(fbdir / "Xvfb_screen0", &screen)) continue;
        std::set<uint32_t> seen;
        lit = 0;
        for (int y = screen.height / 2 - 200; y < screen.height / 2 + 200; ++y)
            for (int x = screen.width / 2 - 200; x < screen.width / 2 + 200; ++x) {
                uint32_t v = screen.pixels[(size_t)y * screen.width + x];
                if (v) ++lit;
                seen.insert(v);
            }
        colours = (int)seen.size();
    }
    fs::path shot = fs::path(QUELLBORE_BUILD_DIR) / "test-output" / "installed-title.png";
    fs::create_directories(shot.parent_path());
    if (screen.width) WritePng(screen, shot);
    EXPECT_GE(colours, 16) << "the title is drawn; see " << shot << "\n" << ReadFile(root / "game.err");
    EXPECT_GT(lit, 400 * 400 / 2);

    // "option", "yes": the save is written again, under home.
    fs::path save = home / ".local/share/quellbore/state0.dat";
    EXPECT_EQ(ReadFile(save), std::string("07 \0", 4)) << "the old save is carried over at start-up";
    bool pressed = false;
    {
        FakeKeys keys;
        if (keys.Open(display)) {
            const unsigned long Down = 0xFF54, Return = 0xFF0D;
            for (unsigned long k : {Down, Down, Down, Return, Down, Return}) keys.Press(k);
            pressed = true;
        }
    }
    if (pressed) {
        auto saved = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ReadFile(save) != std::string("00 \0", 4) && std::chrono::steady_clock::now() < saved)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(ReadFile(save), std::string("00 \0", 4)) << "the deleted save is written under home";
    }

    kill(game, SIGTERM);
    EXPECT_EQ(WaitFor(game, 20), 0) << ReadFile(root / "game.err");
    kill(server, SIGTERM);
    WaitFor(server, 10);

    EXPECT_TRUE(fs::is_empty(elsewhere)) << "nothing is written into the working folder";
    EXPECT_NE(ReadFile(log).find("Alloc memory dump"), std::string::npos) << "the log is under home";
    EXPECT_EQ(ReadFile(oldSave), std::string("07 \0", 4)) << "and left where it was";
    std::set<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(prefix / "share/quellbore"))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written.count("Log.txt"), 0u) << "nothing is written into the data folder";
    fs::remove(oldSave);
}

}  // namespace
