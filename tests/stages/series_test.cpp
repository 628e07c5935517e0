// The stage series as a whole: what `quellbore-stage stats` counts, and the
// promises the shipped maps keep (varied lengths, a rising curve, the extra
// series harder than the normal one).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path Source = QUELLBORE_SOURCE_DIR;
const fs::path Build = QUELLBORE_BUILD_DIR;
const fs::path StageTool = Build / "tools/stage/quellbore-stage";
const fs::path Stages = Source / "assets/stages";
const fs::path Data = QUELLBORE_DATA_DIR;

int Shell(const std::string& cmd, std::string* out) {
    std::string text;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int status = pclose(p);
    *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }

// The rows of a --markdown table, by stage name, each split into its cells.
std::map<std::string, std::vector<std::string>> TableRows(const std::string& text) {
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| stage", 0) != 0 || line.rfind("| stage |", 0) == 0) continue;
        std::vector<std::string> cells;
        std::string cell;
        std::istringstream l(line.substr(1));
        while (std::getline(l, cell, '|')) {
            const size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
            cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
        }
        rows[cells[0]] = cells;
    }
    return rows;
}

enum Column { Name, World, Door, Clear, Pits, Widest, Enemies, Kinds, Blocks, Coins, Keys, Deaths };

class Series : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(StageTool) || !fs::exists(Data / "stage01.dat")) GTEST_SKIP() << "build quellbore-stage and the data target first";
        tmp = fs::temp_directory_path() / ("qb-series-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(tmp / "data");
    }
    void TearDown() override {
        std::error_code ec;
        if (!tmp.empty()) fs::remove_all(tmp, ec);
    }
    fs::path tmp;
};

// A 16-line map with the given lines from the bottom up (line 0 = cell 15).
std::string Map(const std::vector<std::string>& fromBottom, const std::string& roof = "") {
    std::vector<std::string> lines(16);
    if (!roof.empty()) lines[0] = roof;
    for (size_t i = 0; i < fromBottom.size(); ++i) lines[15 - i] = fromBottom[i];
    std::string t = "StageKind 1\nGroundRow 1\nmap\n";
    for (const std::string& l : lines) t += l + "\n";
    return t;
}

TEST_F(Series, StatsCountsWhatAStageHolds) {
    // a roofed pit of three strips, a deck over the water (footing, no pit),
    // two slow walkers and an unbeatable one, blocks of every sort, loose
    // coins and a key; the clear script names its first and winning frames
    const std::string ground = "##########...#######...#############################";
    const std::string deckRow = "##########...########################################";
    std::ofstream(tmp / "stage03.txt") << Map({ground, ground, ground, deckRow,
                                               "...a...............a...x.....BBCK...*.$$....D........",
                                               ".............................H......................"},
                                              std::string(60, '#'));
    std::ofstream(tmp / "stage03.input") << "# clears stage03 (found by quellbore-stage solve); gameplay starts at frame 100\n"
                                            "# stage won at frame 699\n100-699 right\n";
    std::string out;
    ASSERT_EQ(Shell(Q(StageTool) + " compile " + Q(tmp / "stage03.txt") + " " + Q(tmp / "data/stage03.dat"), &out), 0) << out;
    ASSERT_EQ(Shell(Q(StageTool) + " stats --markdown --runs 0 --data " + Q(tmp / "data") + " --scripts " + Q(tmp) + " stage03", &out), 0) << out;
    const auto rows = TableRows(out);
    ASSERT_EQ(rows.count("stage03"), 1u) << out;
    const std::vector<std::string>& r = rows.at("stage03");
    EXPECT_EQ(r[World], "cave");
    EXPECT_EQ(r[Door], "44");
    EXPECT_EQ(r[Clear], "600 (10 s)");
    // the strips 10 ... 12 have only the roof: one pit of three; the deck row
    // bridges the second gap
    EXPECT_EQ(r[Pits], "1");
    EXPECT_EQ(r[Widest], "3");
    EXPECT_EQ(r[Enemies], "3");
    EXPECT_EQ(r[Kinds], "a2 x1");
    EXPECT_EQ(r[Blocks], "2/1/1/1");
    EXPECT_EQ(r[Coins], "3");  // two loose, one in a block
    EXPECT_EQ(r[Keys], "2");   // one loose, one in a block
}

TEST_F(Series, LintMeasuresPitsUnderARoof) {
    // a roof over a gap gives no footing: five open strips are too wide
    std::string ground(60, '#'), keyDoor(60, '.');
    keyDoor[5] = '*';
    keyDoor[50] = 'D';
    for (int i = 20; i < 25; ++i) ground[i] = '.';
    std::ofstream(tmp / "roofed.txt") << Map({ground, ground, keyDoor}, std::string(60, '#'));
    std::string out;
    EXPECT_EQ(Shell(Q(StageTool) + " lint " + Q(tmp / "roofed.txt"), &out), 1) << out;
    EXPECT_NE(out.find("pit of 5 strips at row 20"), std::string::npos) << out;
}

TEST_F(Series, ShippedSeriesKeepsItsShape) {
    std::string out;
    ASSERT_EQ(Shell(Q(StageTool) + " stats --markdown --runs 4 --data " + Q(Data) + " --scripts " + Q(Stages), &out), 0) << out;
    const auto rows = TableRows(out);
    ASSERT_EQ(rows.size(), 42u) << out;

    std::set<std::string> doors;
    int shortest = 1 << 30, longest = 0, widestLate = 0;
    double early = 0, late = 0, normal = 0, extra = 0;
    for (const auto& [name, r] : rows) {
        if (name == "stageboss" || name == "stageexboss") continue;
        const int frames = std::atoi(r[Clear].c_str());
        ASSERT_GT(frames, 0) << name << " has no clear time";
        // well short of the stage timer (9,999 frames) that brings the chaser
        EXPECT_LT(frames, 7000) << name;
        EXPECT_EQ(r[Deaths].find("stuck"), std::string::npos) << name << ": " << r[Deaths];
        const double deaths = std::atof(r[Deaths].c_str());
        if (name.rfind("stageex", 0) == 0) {
            extra += deaths / 10;
            continue;
        }
        const int n = std::atoi(name.c_str() + 5);
        doors.insert(r[Door]);
        shortest = std::min(shortest, frames);
        longest = std::max(longest, frames);
        normal += deaths / 30;
        if (n <= 10) early += deaths / 10;
        if (n > 20) late += deaths / 10, widestLate = std::max(widestLate, std::atoi(r[Widest].c_str()));
    }
    EXPECT_GE(doors.size(), 10u) << "the doors of the normal series stand at too few places";
    EXPECT_GE(longest, 2 * shortest) << "stage lengths vary too little";
    EXPECT_EQ(widestLate, 4) << "the late stages never ask for the longest running jump";
    EXPECT_GT(late, early) << "the curve does not rise";
    EXPECT_GT(extra, normal) << "the extra series is not harder";
}

}  // namespace
