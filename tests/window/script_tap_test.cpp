// "tap" in an input script: pressed and released before that frame's pump.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// The value of "ButtonConfirm" in the trace line of a frame, -1 when missing.
int ConfirmAt(const std::string& trace, int frame) {
    std::istringstream in(trace);
    std::string line, want = "\"frame\":" + std::to_string(frame) + ",";
    while (std::getline(in, line)) {
        if (line.find(want) == std::string::npos) continue;
        size_t at = line.find("\"ButtonConfirm\":");
        if (at == std::string::npos) return -1;
        return std::atoi(line.c_str() + at + 16);
    }
    return -1;
}

TEST(ScriptTap, ATappedKeyIsPressedForOneFrame) {
    fs::path sim = fs::path(QUELLBORE_BUILD_DIR) / "quellbore-sim";
    if (!fs::exists(sim)) GTEST_SKIP() << "quellbore-sim is not built";
    TempFolder folder("quellbore-tap-");
    ASSERT_FALSE(folder.path.empty());
    fs::path dir = folder.path;
    fs::create_directory_symlink(QUELLBORE_DATA_DIR, dir / "data");
    std::ofstream(dir / "run.txt") << "# a tap, then a hold\n5 tap enter\n8-9 enter\n";
    std::string command = sim.string() + " --dir " + dir.string() + " --frames 12 --input " +
                          (dir / "run.txt").string() + " --trace " + (dir / "trace.jsonl").string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(dir / "trace.jsonl");
    std::ostringstream all;
    all << in.rdbuf();
    const int expected[] = {0, 0, 0, 0, 0, 1, 0, 0, 1, 2, 0, 0};
    for (int f = 0; f < 12; ++f) EXPECT_EQ(ConfirmAt(all.str(), f), expected[f]) << "frame " << f;
    std::ofstream(dir / "bad.txt") << "5 tap padleft\n";
    command = sim.string() + " --dir " + dir.string() + " --frames 2 --input " + (dir / "bad.txt").string() +
              " 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2) << "the stick cannot be tapped";
}

}  // namespace
