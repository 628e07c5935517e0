// Keys bound again in the settings file drive the game's latches; the
// defaults come back for the runner and the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/platform/headless/headless.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"
#include "game/shell/settings.h"
#include "headless_engine.h"

namespace {

class Bindings : public HeadlessEngineTest {
protected:
    // The jump latch after one frame with the key held.
    static int JumpWith(int virtualKey) {
        GameState = GameStateRecord{};
        HeadlessClearKeys();
        HeadlessSetKey(virtualKey, 1);
        Pump();
        LatchButtons();
        HeadlessSetKey(virtualKey, 0);
        return GameState.ButtonJump;
    }
};

TEST_F(Bindings, TheSettingsFileRebindsJumpAndTheDefaultsComeBack) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    std::filesystem::create_directories(dir / "quellbore");
    std::ofstream(dir / "quellbore" / "quellbore.ini") << "jump = Space, C\nbogus line\n";
    ApplySettingsAtStart();
    EXPECT_EQ(JumpWith(' '), LatchPressed);
    EXPECT_EQ(JumpWith('C'), LatchPressed);
    EXPECT_EQ(JumpWith('Z'), LatchUp) << "Z is no longer jump";
    UseDefaultSettings();
    EXPECT_EQ(JumpWith('Z'), LatchPressed);
    EXPECT_EQ(JumpWith(' '), LatchUp);
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
