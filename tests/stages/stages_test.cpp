// The shipped stages: lint, the compile/decompile round trip, and each
// stage's clear script replayed in the headless runner.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path Source = QUELLBORE_SOURCE_DIR;
const fs::path Build = QUELLBORE_BUILD_DIR;
const fs::path StageTool = Build / "tools/stage/quellbore-stage";
const fs::path Sim = Build / "quellbore-sim";
const fs::path Stages = Source / "assets/stages";
const fs::path Data = QUELLBORE_DATA_DIR;

std::vector<std::string> StageNames() {
    std::vector<std::string> names;
    for (int i = 1; i <= 30; ++i) {
        char b[16];
        std::snprintf(b, sizeof b, "stage%02d", i);
        names.push_back(b);
    }
    names.push_back("stageboss");
    for (int i = 1; i <= 10; ++i) {
        char b[16];
        std::snprintf(b, sizeof b, "stageex%02d", i);
        names.push_back(b);
    }
    names.push_back("stageexboss");
    return names;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs a command line; returns its exit code and its output in *out.
int Shell(const std::string& cmd, std::string* out = nullptr) {
    std::string text;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int status = pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Q(const fs::path& p) {
    std::string q = "'";
    q.append(p.string());
    q.push_back('\'');
    return q;
}

class StageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(StageTool) || !fs::exists(Sim) || !fs::exists(Data / "stage01.dat"))
            GTEST_SKIP() << "build quellbore-stage, quellbore-sim and the data target first";
        tmp = fs::temp_directory_path() / ("qb-stages-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(tmp);
    }
    void TearDown() override {
        std::error_code ec;
        if (!tmp.empty()) fs::remove_all(tmp, ec);
    }
    fs::path tmp;
};

TEST_F(StageFiles, EveryStageHasASourceAndBuiltFileAndLintsClean) {
    std::string cmd = Q(StageTool) + " lint";
    for (const std::string& n : StageNames()) {
        ASSERT_TRUE(fs::exists(Stages / (n + ".txt"))) << n;
        ASSERT_TRUE(fs::exists(Data / (n + ".dat"))) << n;
        cmd.append(" ").append(Q(Stages / (n + ".txt"))).append(" ").append(Q(Data / (n + ".dat")));
    }
    std::string out;
    EXPECT_EQ(Shell(cmd, &out), 0) << out;
}

TEST_F(StageFiles, CompileDecompileRoundTrip) {
    for (const std::string& n : StageNames()) {
        const fs::path dat = tmp / (n + ".dat"), txt = tmp / (n + ".txt"), again = tmp / (n + "-2.dat");
        std::string out;
        ASSERT_EQ(Shell(Q(StageTool) + " compile " + Q(Stages / (n + ".txt")) + " " + Q(dat), &out), 0) << out;
        EXPECT_EQ(ReadAll(dat), ReadAll(Data / (n + ".dat"))) << n << ": the build's stage file is stale";
        ASSERT_EQ(Shell(Q(StageTool) + " decompile " + Q(dat) + " " + Q(txt), &out), 0) << out;
        ASSERT_EQ(Shell(Q(StageTool) + " compile " + Q(txt) + " " + Q(again), &out), 0) << out;
        EXPECT_EQ(ReadAll(dat), ReadAll(again)) << n;
    }
}

TEST_F(StageFiles, DecompileKeepsValuesOutsideTheLegend) {
    // 7 and 42 have no default character; -3 is a legal two-character value
    std::string body = "0\n0\n";
    for (int r = 0; r < 320; ++r) body += r == 5 ? "1 7 42 -3 0 0 0 0 0 0 0 0 0 0 0 0\n" : "1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
    std::ofstream(tmp / "odd.dat") << body;
    std::string out;
    ASSERT_EQ(Shell(Q(StageTool) + " decompile " + Q(tmp / "odd.dat") + " " + Q(tmp / "odd.txt"), &out), 0) << out;
    ASSERT_EQ(Shell(Q(StageTool) + " compile " + Q(tmp / "odd.txt") + " " + Q(tmp / "odd2.dat"), &out), 0) << out;
    EXPECT_EQ(ReadAll(tmp / "odd.dat"), ReadAll(tmp / "odd2.dat"));
}

TEST_F(StageFiles, CompileRejectsBadSources) {
    const std::string map16 = "map\n" + std::string(15, '\n') + std::string(320, '#') + "\n";
    struct Case {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"unknown character", "StageKind 0\nGroundRow 0\nmap\n" + std::string(15, '\n') + "##Q#\n", "has no legend"},
        {"too few map lines", "StageKind 0\nGroundRow 0\nmap\n####\n", "16 lines"},
        {"line too long", "StageKind 0\nGroundRow 0\nmap\n" + std::string(15, '\n') + std::string(321, '#') + "\n", "longer than 320"},
        {"missing header", "StageKind 0\n" + map16, "both needed"},
        {"legend value too big", "StageKind 0\nGroundRow 0\nlegend Q 123\n" + map16, "cannot be stored"},
    };
    for (const Case& c : cases) {
        std::ofstream(tmp / "bad.txt") << c.text;
        std::string out;
        EXPECT_EQ(Shell(Q(StageTool) + " compile " + Q(tmp / "bad.txt") + " " + Q(tmp / "bad.dat"), &out), 1) << c.what;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.what << ": " << out;
    }
}

TEST_F(StageFiles, LintFindsFaults) {
    // a plain stage: ground everywhere, a key, a door
    auto stage = [](int kind, int ground, const std::string& extraRow12, const std::string& row13) {
        std::string t = "StageKind " + std::to_string(kind) + "\nGroundRow " + std::to_string(ground) + "\nmap\n";
        for (int c = 0; c < 12; ++c) t += "\n";
        t += extraRow12 + "\n" + row13 + "\n";
        t += std::string(320, '#') + "\n" + std::string(320, '#') + "\n";
        return t;
    };
    const std::string ground(320, '#');
    std::string keyDoor(320, '.');
    keyDoor[50] = '*';
    keyDoor[300] = 'D';
    std::string doorKey = keyDoor;
    doorKey[50] = 'D';
    doorKey[300] = '*';
    std::string twoDoors = keyDoor;
    twoDoors[200] = 'D';
    std::string pit = ground, gap = ground;
    for (int i = 100; i < 106; ++i) pit[i] = '.';
    struct Case {
        const char* what;
        std::string text;
        const char* message;  // nullptr: clean
    } cases[] = {
        {"clean", stage(0, 0, keyDoor, ground), nullptr},
        {"stage kind", stage(5, 0, keyDoor, ground), "StageKind 5"},
        {"ground row", stage(0, 9, keyDoor, ground), "GroundRow 9"},
        {"no door", stage(0, 0, std::string(320, '.'), ground), "exactly one door, found 0"},
        {"two doors", stage(0, 0, twoDoors, ground), "exactly one door, found 2"},
        {"key after door", stage(0, 0, doorKey, ground), "no reachable key"},
        {"wide pit", "StageKind 0\nGroundRow 0\nmap\n" + std::string(12, '\n') + keyDoor + "\n" + pit + "\n" + pit + "\n" + pit + "\n", "wider than the longest jump"},
    };
    for (const Case& c : cases) {
        std::ofstream(tmp / "l.txt") << c.text;
        std::string out;
        const int rc = Shell(Q(StageTool) + " lint " + Q(tmp / "l.txt"), &out);
        if (!c.message) {
            EXPECT_EQ(rc, 0) << c.what << ": " << out;
        } else {
            EXPECT_EQ(rc, 1) << c.what;
            EXPECT_NE(out.find(c.message), std::string::npos) << c.what << ": " << out;
        }
    }
    // four strips are still jumpable, six are not (above)
    std::string pit4 = ground;
    for (int i = 100; i < 104; ++i) pit4[i] = '.';
    std::ofstream(tmp / "l.txt") << "StageKind 0\nGroundRow 0\nmap\n" + std::string(12, '\n') + keyDoor + "\n" + pit4 + "\n" + pit4 + "\n" + pit4 + "\n";
    std::string out;
    EXPECT_EQ(Shell(Q(StageTool) + " lint " + Q(tmp / "l.txt"), &out), 0) << out;
}

// The stage a name stands for: extra series or not, and its index.
void StageOf(const std::string& n, bool* extra, int* index) {
    if (n == "stageboss") *extra = false, *index = 30;
    else if (n == "stageexboss") *extra = true, *index = 10;
    else if (n.rfind("stageex", 0) == 0) *extra = true, *index = std::atoi(n.c_str() + 7) - 1;
    else *extra = false, *index = std::atoi(n.c_str() + 5) - 1;
}

// Replays one stage's clear script; returns "" when it clears the stage,
// otherwise what went wrong.
std::string ReplayClears(const std::string& n, const fs::path& tmp) {
    const fs::path script = Stages / (n + ".input");
    bool extra;
    int index;
    StageOf(n, &extra, &index);
    const std::string text = ReadAll(script);
    const size_t at = text.find("# frames ");
    if (at == std::string::npos) return "the script names no frame count";
    const int frames = std::atoi(text.c_str() + at + 9);

    const fs::path run = tmp / n;
    fs::create_directories(run / "data");
    for (const auto& e : fs::directory_iterator(Data)) fs::create_symlink(e.path(), run / "data" / e.path().filename());
    if (!extra) {
        // the save file never holds the boss stage's index: its script
        // continues at stage30 and clears that first
        const int saved = std::min(index, 29);
        const char save[4] = {static_cast<char>('0' + saved / 10), static_cast<char>('0' + saved % 10), ' ', '\0'};
        std::ofstream(run / "data/state0.dat", std::ios::binary).write(save, 4);
    }
    std::string cmd = Q(Sim) + " --dir " + Q(run) + " --frames " + std::to_string(frames) + " --input " + Q(script) +
                      " --trace " + Q(run / "t.jsonl");
    if (extra) cmd += " --arg " + std::to_string(index);
    std::string out;
    if (Shell(cmd, &out) != 0) return "quellbore-sim failed: " + out;

    // played the stage, then reached the next intro or the series' ending
    std::ifstream trace(run / "t.jsonl");
    std::string line, verdict = "the stage was never played";
    bool played = false;
    const std::string thisIndex = "\"StageIndex\":" + std::to_string(index) + ",";
    const std::string nextIndex = "\"StageIndex\":" + std::to_string(index + 1) + ",";
    // the last stage of a series ends in its ending, the others in the next intro
    const bool last = n == "stageboss" || n == "stageexboss";
    const std::string ending = extra ? "\"scene\":13," : "\"scene\":11,";
    while (std::getline(trace, line)) {
        if (line.find("\"scene\":5,") != std::string::npos && line.find(thisIndex) != std::string::npos) {
            played = true;
            verdict = "the script does not clear the stage";
        } else if (played && line.find("\"scene\":4,") != std::string::npos) {
            verdict = !last && line.find(nextIndex) != std::string::npos ? "" : "the stage was lost";
            break;
        } else if (played && (line.find("\"scene\":11,") != std::string::npos || line.find("\"scene\":13,") != std::string::npos)) {
            verdict = last && line.find(ending) != std::string::npos ? "" : "the stage ended in the wrong scene";
            break;
        }
    }
    trace.close();
    std::error_code ec;
    fs::remove_all(run, ec);
    return verdict;
}

TEST_F(StageFiles, ClearScriptsClearTheirStages) {
    std::vector<std::string> names;
    for (const std::string& n : StageNames())
        if (fs::exists(Stages / (n + ".input"))) names.push_back(n);
    ASSERT_FALSE(names.empty());
    // the runs are independent: two at a time
    std::vector<std::string> verdicts(names.size());
    std::atomic<size_t> next{0};
    auto worker = [&]() {
        for (size_t i = next++; i < names.size(); i = next++) verdicts[i] = ReplayClears(names[i], tmp);
    };
    std::thread a(worker), b(worker);
    a.join();
    b.join();
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(verdicts[i], "") << names[i];
    RecordProperty("proven", static_cast<int>(names.size()));
}

}  // namespace
