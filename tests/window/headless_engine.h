// One headless engine per test suite, started in a folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "engine/engine.h"
#include "engine/platform/headless/headless.h"
#include "tests/support/temp_folder.h"
#include "tests/support/engine_start.h"

class HeadlessEngineTest : public ::testing::Test {
protected:
    static inline std::optional<TempFolder> folder;
    static inline std::filesystem::path dir, previous;
    static inline bool started = false;

    static void SetUpTestSuite() {
        previous = std::filesystem::current_path();
        folder.emplace("quellbore-window-");
        ASSERT_FALSE(folder->path.empty());
        dir = folder->path;
        std::filesystem::current_path(dir);
        HeadlessReset();
        HeadlessSetJoystickCount(1);
        started = StartEngineLikeTheGame();
    }
    static void TearDownTestSuite() {
        if (started) EngineEnd();
        started = false;
        std::filesystem::current_path(previous);
        folder.reset();
        HeadlessReset();
    }
    void SetUp() override {
        if (!started) GTEST_SKIP() << "the engine did not start";
        HeadlessClearKeys();
        Pump();
    }
    // One pass of the main loop's pump, a millisecond after the last.
    static int Pump() {
        HeadlessAdvanceMicroseconds(1000);
        return ProcessWindowMessages();
    }
};
