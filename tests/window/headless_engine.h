// One headless engine per test suite, started in a folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/engine.h"
#include "engine/platform/headless/headless.h"

class HeadlessEngineTest : public ::testing::Test {
protected:
    static inline std::filesystem::path dir, previous;
    static inline bool started = false;

    static void SetUpTestSuite() {
        previous = std::filesystem::current_path();
        char name[] = "/tmp/quellbore-window-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        std::filesystem::current_path(dir);
        HeadlessReset();
        HeadlessSetJoystickCount(1);
        SetWindowCaption("Quellbore Ver 1.01");
        SetScreenMode(256, 256, 16, 60);
        ChangeWindowMode(1);
        SetWindowScale(2.0, -1.0);
        started = EngineInit() == 0;
    }
    static void TearDownTestSuite() {
        if (started) EngineEnd();
        started = false;
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
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
