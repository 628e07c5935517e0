// EngineInit starts the modules the program names, and only those.
#include <string>

#include "tests/core/core_test_util.h"

namespace {

class ModulesTest : public CoreTest {
protected:
    void TearDown() override {
        CoreTest::TearDown();
        SetEngineModules(EngineModulesAll);
    }
};

bool Has(const std::string& log, const char* line) { return log.find(line) != std::string::npos; }

TEST_F(ModulesTest, OnlyTheNamedModulesStart) {
    const char* inputLine = "DirectInput関係初期化処理";
    const char* soundLine = "DirectSound の初期化を行います";
    struct Case {
        int modules;
        bool input, sound, graphics;
    } cases[] = {
        {EngineModulesAll, true, true, true},
        {EngineModuleInput | EngineModuleGraphics, true, false, true},
        {EngineModuleGraphics, false, false, true},
        {EngineModuleSound, false, true, false},
        {0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modules);
        GameSettings();
        ASSERT_EQ(SetEngineModules(c.modules), 0);
        ASSERT_EQ(EngineInit(), 0);
        std::string log = Log();
        EXPECT_EQ(Has(log, inputLine), c.input);
        EXPECT_EQ(Has(log, soundLine), c.sound);
        // Without graphics there is no screen.
        EXPECT_EQ(ClearScreen() == 0, c.graphics);
        EXPECT_EQ(ProcessWindowMessages(), 0);
        ASSERT_EQ(EngineEnd(), 0);
        EXPECT_EQ(Has(Log(), "DirectInput 関連の終了処理"), c.input);
    }
    ASSERT_EQ(SetEngineModules(EngineModulesAll), 0);
    GameSettings();
    ASSERT_EQ(EngineInit(), 0);
    EXPECT_TRUE(Has(Log(), soundLine));
    EXPECT_TRUE(Has(Log(), inputLine));
}

TEST_F(ModulesTest, TheChoiceIsFixedWhileRunningAndUnknownBitsAreRefused) {
    EXPECT_EQ(SetEngineModules(EngineModulesAll + 1), -1);
    EXPECT_EQ(SetEngineModules(8), -1);
    GameSettings();
    ASSERT_EQ(SetEngineModules(EngineModuleGraphics), 0);
    ASSERT_EQ(EngineInit(), 0);
    EXPECT_EQ(SetEngineModules(EngineModulesAll), -1);
    ASSERT_EQ(EngineEnd(), 0);
    EXPECT_EQ(SetEngineModules(EngineModulesAll), 0);
}

}  // namespace
