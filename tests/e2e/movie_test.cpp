// Input movies end to end: recorded by quellbore-sim (and by the real game
// under Xvfb where it is installed), replayed by quellbore-sim.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "game/shell/movie.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string Build = QUELLBORE_BUILD_DIR;

class MovieTest : public ::testing::Test {
protected:
    TempFolder folder{"quellbore-movie-"};
    fs::path dir;
    std::string out, err;

    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
        // The built data, linked; the save file of the run its own.
        fs::create_directories(dir / "data");
        for (const auto& e : fs::directory_iterator(QUELLBORE_DATA_DIR))
            if (e.path().filename() != "state0.dat") fs::create_symlink(e.path(), dir / "data" / e.path().filename());
    }
    int Sim(const std::string& args) {
        std::string cmd = "cd '" + dir.string() + "' && '" + Build + "/quellbore-sim' --dir '" + dir.string() + "' " +
                          args + " >out.txt 2>err.txt";
        int status = std::system(cmd.c_str());
        out = ReadFile(dir / "out.txt");
        err = ReadFile(dir / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
    }
    fs::path Script(const std::string& name, const std::string& text) {
        WriteFile(dir / name, text);
        return dir / name;
    }
};

// The title's menu, a stage entered and played with keys and the pad.
const char* const PlayScript =
    "60 down\n70 enter\n# into the first stage\n230-500 right\n260-275 z\n300-320 padright\n330 x\n"
    "400-440 pad0\n520-600 left\n";

TEST_F(MovieTest, ARecordedRunReplaysInSyncWithTheSameTrace) {
    WriteFile(dir / "data/state0.dat", std::string("03 \0", 4));
    fs::path script = Script("play.txt", PlayScript);
    ASSERT_EQ(Sim("--frames 900 --input '" + script.string() + "' --trace a.jsonl --record run.qbm"), 0) << err;
    // A replay with another save in place still starts from the recorded one
    // and leaves the file alone.
    WriteFile(dir / "data/state0.dat", std::string("00 \0", 4));
    ASSERT_EQ(Sim("--replay run.qbm --trace b.jsonl --shot 600:shot.png"), 0) << out << err;
    EXPECT_NE(out.find("replay: in sync (900 frames)"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(dir / "a.jsonl"), ReadFile(dir / "b.jsonl"));
    EXPECT_TRUE(fs::exists(dir / "shot.png"));
    EXPECT_EQ(ReadFile(dir / "data/state0.dat"), std::string("00 \0", 4));
    // 15 seconds of play in a few kilobytes.
    EXPECT_LT(fs::file_size(dir / "run.qbm"), 8000u);
}

TEST_F(MovieTest, ARunEndedByEscapeOrTheMenuEndsItsReplayThere) {
    struct Case {
        const char* what;
        const char* script;
        int frames;  // of the run, with the pass that ended it
    } cases[] = {
        {"escape", "100 esc\n", 100},
        // down four times to "exit", then confirm
        {"exit in the menu", "40 down\n50 down\n60 down\n70 down\n80 enter\n", 81},
    };
    for (const Case& c : cases) {
        fs::path script = Script("end.txt", c.script);
        ASSERT_EQ(Sim("--input '" + script.string() + "' --record end.qbm"), 0) << c.what << err;
        ASSERT_EQ(Sim("--replay end.qbm"), 0) << c.what << out << err;
        EXPECT_NE(out.find("in sync (" + std::to_string(c.frames) + " frames)"), std::string::npos)
            << c.what << ": " << out;
    }
}

TEST_F(MovieTest, AnInputChangedInOneFrameIsReportedAtThatFrame) {
    fs::path script = Script("menu.txt", "60 down\n70 enter\n");
    ASSERT_EQ(Sim("--frames 300 --input '" + script.string() + "' --record menu.qbm"), 0) << err;
    std::string bytes = ReadFile(dir / "menu.qbm");
    MovieHeader header;
    std::vector<MoviePassData> passes;
    std::string error;
    ASSERT_EQ(MovieDecodeAll((const uint8_t*)bytes.data(), bytes.size(), &header, &passes, &error),
              MovieStepClosed)
        << error;
    // In frame 65 the pad now says "down": the menu cursor moves once more.
    bool changed = false;
    std::vector<MovieRead>& reads = passes.at(65).reads;
    for (size_t i = 0; i + 1 < reads.size(); ++i)
        if (reads[i].kind == MovieReadKey && reads[i].arg == 208 && reads[i + 1].kind == MovieReadPad) {
            reads[i + 1].value = 0x1;
            changed = true;
        }
    ASSERT_TRUE(changed);
    WriteFile(dir / "edited.qbm", MovieEncode(header, passes));
    EXPECT_EQ(Sim("--replay edited.qbm"), 3) << out << err;
    EXPECT_NE(out.find("out of sync at frame 65"), std::string::npos) << out;
    EXPECT_NE(out.find("MenuCursor"), std::string::npos) << out;
}

TEST_F(MovieTest, BadMoviesAreRefusedAndACutRecordingPlaysToItsLastFrame) {
    fs::path script = Script("play.txt", PlayScript);
    ASSERT_EQ(Sim("--frames 400 --input '" + script.string() + "' --record good.qbm"), 0) << err;
    const std::string good = ReadFile(dir / "good.qbm");
    ASSERT_GT(good.size(), 200u);
    // Where the passes end: cutting there is a recording that stopped
    // (a crash); cutting inside a pass is damage.
    static MovieReader reader;
    std::string error;
    ASSERT_EQ(MovieOpen(&reader, (const uint8_t*)good.data(), good.size(), &error), MovieStepPass);
    const size_t headerEnd = reader.pos;
    size_t after150 = 0;
    while (MovieNextPass(&reader, &error) == MovieStepPass)
        if (reader.passes == 150) after150 = reader.pos;
    ASSERT_GT(after150, headerEnd);

    std::string flippedHeader = good, flippedBody = good;
    flippedHeader[12] ^= 0x20;
    flippedBody[headerEnd + 40] ^= 0x01;
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"empty", "", "not a Quellbore movie"},
        {"foreign", "\x89PNG\r\n\x1a\n....", "not a Quellbore movie"},
        {"header cut", good.substr(0, 20), "cut off"},
        {"header damaged", flippedHeader, "header is damaged"},
        {"body damaged", flippedBody, "damaged in frame"},
        {"cut inside a pass", good.substr(0, after150 + 1), "damaged in frame 150"},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "bad.qbm", c.bytes);
        EXPECT_EQ(Sim("--replay bad.qbm"), 2) << c.what << out;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
    }
    EXPECT_EQ(Sim("--replay missing.qbm"), 2);

    WriteFile(dir / "cut.qbm", good.substr(0, after150));
    EXPECT_EQ(Sim("--replay cut.qbm"), 0) << out << err;
    EXPECT_NE(out.find("in sync (150 frames)"), std::string::npos) << out;
    EXPECT_NE(err.find("stopped without its last frame"), std::string::npos) << err;
}

TEST_F(MovieTest, OtherDataFilesOnlyWarn) {
    ASSERT_EQ(Sim("--frames 200 --record m.qbm"), 0) << err;
    WriteFile(dir / "data/extra.txt", "not in the recording's data");
    EXPECT_EQ(Sim("--replay m.qbm"), 0) << out << err;
    EXPECT_NE(err.find("other data files"), std::string::npos) << err;
    EXPECT_NE(out.find("in sync (200 frames)"), std::string::npos) << out;
}

TEST_F(MovieTest, ReplayTakesNoInputOfItsOwn) {
    ASSERT_EQ(Sim("--frames 10 --record m.qbm"), 0) << err;
    fs::path script = Script("s.txt", "5 right\n");
    EXPECT_EQ(Sim("--replay m.qbm --input '" + script.string() + "'"), 2);
    EXPECT_EQ(Sim("--replay m.qbm --arg 3"), 2);
    EXPECT_EQ(Sim("--replay"), 2);
}

// ------------------------------------------------------- the real window
bool Have(const char* tool) {
    std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

TEST_F(MovieTest, AMovieRecordedInTheWindowReplaysInSyncHeadless) {
    if (!Have("Xvfb") || !Have("xdotool")) GTEST_SKIP() << "skipped: no Xvfb or xdotool";
    if (!fs::exists(Build + "/quellbore")) GTEST_SKIP() << "skipped: quellbore is not built";
    // An X server of its own on a free display, and the game in it.
    const std::string d = "'" + dir.string() + "'";
    std::system(("Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>" + d + "/display >/dev/null 2>&1 & "
                 "echo $! >" + d + "/xvfb.pid").c_str());
    std::string display;
    for (int i = 0; i < 100 && display.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::istringstream(ReadFile(dir / "display")) >> display;
    }
    const std::string xvfbPid = ReadFile(dir / "xvfb.pid");
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    display = ":" + display;
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
    std::system(("cd " + d + " && (DISPLAY=" + display + " ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR=" + d +
                 "/runtime HOME=" + d + " '" + Build + "/quellbore' --record window.qbm >game.txt 2>&1 & "
                 "echo $! >game.pid; wait $!; echo $? >code) >/dev/null 2>&1 &")
                    .c_str());
    auto x = [&](const std::string& what) { std::system(("DISPLAY=" + display + " xdotool " + what + " >/dev/null 2>&1").c_str()); };
    // Into the first stage, walk and jump there, then Escape. Each key is
    // held over a few frames: the game samples keys once a frame.
    auto press = [&](const char* key) {
        x(std::string("keydown ") + key);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        x(std::string("keyup ") + key);
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    x("mousemove 512 384");
    press("Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    x("keydown Right");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    press("z");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    x("keyup Right");
    press("Escape");
    std::string code;
    for (int i = 0; i < 100 && code.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::istringstream(ReadFile(dir / "code")) >> code;
    }
    if (code.empty()) std::system(("kill $(cat " + d + "/game.pid) 2>/dev/null; sleep 1").c_str());
    std::system(("kill " + xvfbPid + " 2>/dev/null").c_str());
    ASSERT_EQ(code, "0") << "the game did not end by Escape: " << ReadFile(dir / "game.txt");
    ASSERT_TRUE(fs::exists(dir / "window.qbm"));

    ASSERT_EQ(Sim("--replay window.qbm --trace t.jsonl"), 0) << out << err;
    EXPECT_NE(out.find("replay: in sync"), std::string::npos) << out;
    // The replay went where the window's run went: into the first stage.
    std::string trace = ReadFile(dir / "t.jsonl");
    EXPECT_NE(trace.find("\"scene\":4,"), std::string::npos) << "never at the stage intro";
}

}  // namespace
