// Helpers of the core tests: a temporary working directory, the log's
// text, and time stamps taken off.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/platform/headless/headless.h"
#include "engine/platform/platform.h"
#include "tests/support/temp_folder.h"

// Runs each test in a fresh directory over a freshly reset headless backend.
class CoreTest : public ::testing::Test {
protected:
    std::filesystem::path dir;
    TempFolder folder{"quellbore-core-"};
    std::filesystem::path previous;

    void SetUp() override {
        previous = std::filesystem::current_path();
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
        std::filesystem::current_path(dir);
        HeadlessReset();
        g_Window.scaleX = g_Window.scaleY = 0;
    }
    void TearDown() override {
        EngineEnd();
        EngineSetInactivePassHook(nullptr);
        std::filesystem::current_path(previous);
        HeadlessReset();
    }
    std::string Log() const { return ReadFile(dir / "Log.txt"); }

public:
    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // The log without the "<ms>:" at the start of each stamped line.
    static std::string Unstamped(const std::string& log) {
        std::string out;
        size_t i = 0;
        bool lineStart = true;
        while (i < log.size()) {
            if (lineStart) {
                size_t j = i;
                while (j < log.size() && log[j] >= '0' && log[j] <= '9') ++j;
                if (j > i && j < log.size() && log[j] == ':') i = j + 1;
            }
            char c = log[i++];
            out += c;
            lineStart = c == '\n';
        }
        return out;
    }
    // True when every needle occurs in the text, in the given order.
    static ::testing::AssertionResult InOrder(const std::string& text, std::initializer_list<const char*> needles) {
        size_t at = 0;
        for (const char* n : needles) {
            size_t found = text.find(n, at);
            if (found == std::string::npos)
                return ::testing::AssertionFailure() << "missing (in order): \"" << n << "\" in\n" << text;
            at = found + std::string(n).size();
        }
        return ::testing::AssertionSuccess();
    }
};

// Sets up the engine as the game does before EngineInit.
inline void GameSettings() {
    SetWindowCaption("Quellbore Ver 1.01");
    SetScreenMode(256, 256, 16, 60);
    SetWindowIconId(101);
    ChangeWindowMode(1);
    SetWindowScale(2.0, -1.0);
}
