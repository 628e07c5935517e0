// Starts the engine once per test program on the headless backend, in a
// scratch directory of its own (the log goes there).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/engine.h"
#include "engine/graphics/graphics.h"
#include "engine/image/image.h"
#include "engine/platform/headless/headless.h"
#include "tests/support/temp_folder.h"

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        folder_.emplace("quellbore-graphics-");
        ASSERT_FALSE(folder_->path.empty());
        ASSERT_EQ(chdir(folder_->path.c_str()), 0);
        HeadlessReset();
        SetWindowCaption("graphics test");
        ChangeWindowMode(1);
        SetWindowScale(2.0, 2.0);
        ASSERT_EQ(SetScreenMode(256, 256, 16, 60), 0);
        ASSERT_EQ(EngineInit(), 0);
    }
    void TearDown() override {
        EngineEnd();
        std::string path = folder_->path;
        folder_.reset();
        if (std::filesystem::exists(path)) std::fprintf(stderr, "could not remove %s\n", path.c_str());
    }

private:
    // Made in SetUp, removed in TearDown once the engine has ended.
    std::optional<TempFolder> folder_;
};

// The screen pixel at (x, y) of the back screen.
inline uint16_t ScreenAt(int x, int y) { return g_Screen.pixels[y * g_Screen.width + x]; }

// Fills the whole back screen with one value, so that untouched pixels show.
inline void FillScreen(uint16_t value) {
    for (int i = 0; i < g_Screen.width * g_Screen.height; i++) g_Screen.pixels[i] = value;
}

// A picture made from 8-bit RGBA (row-major), stored as LoadImageFile would.
inline int MakeImage(int width, int height, const uint8_t* rgba, int hasAlpha) {
    DecodedImage image;
    image.width = width;
    image.height = height;
    image.hasAlpha = hasAlpha;
    image.pixels = const_cast<uint8_t*>(rgba);
    return CreateImageFromDecoded(&image, nullptr, nullptr);
}
