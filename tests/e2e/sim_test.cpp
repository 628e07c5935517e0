// End-to-end runs of quellbore-sim as a subprocess, each in a fresh
// working directory.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The integer value of "key": in a trace line (-999999 when absent).
long long Field(const std::string& line, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -999999;
    return std::stoll(m[1]);
}

class SimTest : public ::testing::Test {
protected:
    TempFolder folder{"quellbore-sim-"};
    std::filesystem::path dir;
    std::string errors;

    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
    }
    void Write(const char* name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    // Runs the sim in dir with the arguments; returns its exit code.
    int Sim(const std::string& args) {
        std::string sim = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-sim";
        std::string command = "cd '" + dir.string() + "' && '" + sim + "' --dir '" + dir.string() + "' " + args +
                              " >stdout.txt 2>stderr.txt";
        int status = std::system(command.c_str());
        errors = ReadFile(dir / "stderr.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
    }
    std::vector<std::string> Trace() { return Lines(ReadFile(dir / "trace.jsonl")); }
};

}  // namespace

TEST_F(SimTest, RunsTheFrameCountAndLeavesTheLog) {
    ASSERT_EQ(Sim("--frames 10 --trace trace.jsonl"), 0) << errors;
    std::vector<std::string> trace = Trace();
    ASSERT_EQ(trace.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Field(trace[i], "frame"), i);
        EXPECT_EQ(Field(trace[i], "scene"), 3);
        EXPECT_EQ(Field(trace[i], "sceneEntered"), i == 0 ? 1 : 0);
        long long sinceStart = Field(trace[i], "tick") - Field(trace[i], "LastFrameTick");
        EXPECT_GE(sinceStart, 0);
        EXPECT_LE(sinceStart, 16);
        EXPECT_NE(trace[i].find("\"StageName\":\"\""), std::string::npos);
        EXPECT_EQ(trace[i].front(), '{');
        EXPECT_EQ(trace[i].back(), '}');
    }
    std::string log = ReadFile(dir / "Log.txt");
    EXPECT_EQ(log.rfind("0:システムの情報を出力します\r\n", 0), 0u);
    EXPECT_NE(log.find("Alloc memory dump\r\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(log, std::regex(":\tTotal size:[0-9]+\\([0-9.]+kb\\)  Alloc num:[0-9]+\r\n[0-9]+:\r\n$")));

    // Deterministic: the same run gives the same trace.
    std::string first = ReadFile(dir / "trace.jsonl");
    ASSERT_EQ(Sim("--frames 10 --trace trace.jsonl"), 0);
    EXPECT_EQ(ReadFile(dir / "trace.jsonl"), first);
    EXPECT_EQ(Sim("--frames 0 --trace trace.jsonl"), 0);
    EXPECT_TRUE(Trace().empty());
}

TEST_F(SimTest, EscapeInTheScriptEndsTheRun) {
    Write("input.txt", "# quit at frame 3\n3-4 esc   # held two frames\n\n");
    ASSERT_EQ(Sim("--frames 50 --input input.txt --trace trace.jsonl"), 0) << errors;
    EXPECT_EQ(Trace().size(), 3u);
}

TEST_F(SimTest, StartArgumentComesOnlyFromArg) {
    struct Case { const char* args; int value; } cases[] = {
        {"", -1}, {"--arg 5", 5}, {"--arg abc", 0}, {"--arg '12 x'", 12},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Sim(std::string("--frames 1 --trace trace.jsonl ") + c.args), 0) << errors;
        std::vector<std::string> trace = Trace();
        ASSERT_EQ(trace.size(), 1u);
        EXPECT_EQ(Field(trace[0], "StartArgument"), c.value) << c.args;
    }
}

TEST_F(SimTest, ScriptedKeysAndPadReachTheButtonLatches) {
    Write("input.txt", "1-3 z\n2 left padright\n5-6 pad0\n");
    ASSERT_EQ(Sim("--frames 9 --input input.txt --trace trace.jsonl"), 0) << errors;
    std::vector<std::string> t = Trace();
    ASSERT_EQ(t.size(), 9u);
    std::vector<long long> jump, left, right;
    for (const std::string& line : t) {
        jump.push_back(Field(line, "ButtonJump"));
        left.push_back(Field(line, "ButtonLeft"));
        right.push_back(Field(line, "ButtonRight"));
    }
    EXPECT_EQ(jump, (std::vector<long long>{0, 1, 2, 2, 0, 1, 2, 0, 0}));
    EXPECT_EQ(left, (std::vector<long long>{0, 0, 1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(right, (std::vector<long long>{0, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SimTest, ShotsAreTheScreenOfTheirFrame) {
    ASSERT_EQ(Sim("--frames 4 --shot 1:a.png --shot 3:shots_b.png"), 0) << errors;
    for (const char* name : {"a.png", "shots_b.png"}) {
        std::string png = ReadFile(dir / name);
        ASSERT_GT(png.size(), 24u) << name;
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        auto be32 = [&](size_t at) {
            return ((unsigned char)png[at] << 24) | ((unsigned char)png[at + 1] << 16) |
                   ((unsigned char)png[at + 2] << 8) | (unsigned char)png[at + 3];
        };
        EXPECT_EQ(be32(16), 256);  // IHDR width
        EXPECT_EQ(be32(20), 256);  // and height
    }
    // A shot of a frame the run never reaches fails the run.
    EXPECT_EQ(Sim("--frames 2 --shot 5:late.png"), 1);
    EXPECT_NE(errors.find("frame 5"), std::string::npos) << errors;
}

TEST_F(SimTest, BadCommandLinesAndScriptsAreRefused) {
    Write("bad.txt", "0 z\n1-x z\n");
    Write("unknown.txt", "\n\n2 jump\n");
    Write("backwards.txt", "5-2 z\n");
    struct Case { const char* args; const char* message; } cases[] = {
        {"--input bad.txt", "line 2"},
        {"--input unknown.txt", "line 3: unknown key \"jump\""},
        {"--input backwards.txt", "line 1"},
        {"--input missing.txt", "missing.txt"},
        {"--frames abc", "--frames"},
        {"--frames -1", "--frames"},
        {"--shot nocolon.png", "--shot"},
        {"--bogus", "unknown option"},
        {"--frames", "needs a value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sim(c.args), 2) << c.args;
        EXPECT_NE(errors.find(c.message), std::string::npos) << c.args << ": " << errors;
    }
}

TEST_F(SimTest, UnenterableDirectoryIsRefused) {
    // A --dir that cannot be entered never starts the game.
    EXPECT_EQ(Sim("--frames 1 --dir /nonexistent/quellbore"), 2);
}
