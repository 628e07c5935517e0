// The keyboard state table and the pad state word, through the engine on
// the headless backend.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "engine/core/core.h"
#include "engine/core/modules.h"
#include "engine/engine.h"
#include "engine/input/input.h"
#include "engine/platform/headless/headless.h"
#include "engine/platform/sdl/sdl_keymap.h"
#include "tests/support/temp_folder.h"
#include "tests/support/engine_start.h"

namespace {

// Windows virtual keys the headless keyboard is scripted in.
enum {
    VkReturn = 0x0D, VkEscape = 0x1B, VkSpace = 0x20, VkLeft = 0x25, VkUp = 0x26, VkRight = 0x27,
    VkDown = 0x28, VkNumpad2 = 0x62, VkNumpad4 = 0x64, VkNumLock = 0x90, VkLWin = 0x5B,
    VkCaret = 0xDE, VkShift = 0x10,
};
// Scan codes the game asks for.
enum { DikEscape = 1, DikEnter = 28, DikZ = 44, DikX = 45, DikLeft = 203, DikKeypadEnter = 156 };

// One engine for the whole program, started in a directory of its own.
class InputTest : public ::testing::Test {
protected:
    static inline std::optional<TempFolder> folder;
    static std::filesystem::path dir, previous;
    static bool started;

    static void SetUpTestSuite() {
        previous = std::filesystem::current_path();
        folder.emplace("quellbore-input-");
        ASSERT_FALSE(folder->path.empty());
        dir = folder->path;
        std::filesystem::current_path(dir);
        HeadlessReset();
        started = StartEngineLikeTheGame();
    }
    static void TearDownTestSuite() {
        if (started) EngineEnd();
        std::filesystem::current_path(previous);
        folder.reset();
        HeadlessReset();
    }
    void SetUp() override {
        if (!started) GTEST_SKIP() << "engine did not start";
        HeadlessClearKeys();
        // No pads unless a test asks for some.
        SetPads(0);
        Frame();
    }
    void TearDown() override { EngineSetInactivePassHook(nullptr); }

    // The top of a frame of the game's loop: time passes, then the pump.
    static void Frame() {
        HeadlessAdvanceMicroseconds(16000);
        ProcessWindowMessages();
    }
    // Pads are fixed when the input layer starts: set up again to see new ones.
    static void SetPads(int count) {
        HeadlessSetJoystickCount(0);
        HeadlessSetJoystickCount(count);
        EndInput();
        InitInput();
    }
    static std::string Log() {
        std::ifstream in(dir / "Log.txt", std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
};
std::filesystem::path InputTest::dir, InputTest::previous;
bool InputTest::started = false;

// --------------------------------------------------------------- keyboard

TEST_F(InputTest, ConversionTableSetsScanCodesAndLeavesOtherKeysUp) {
    const InputConversion* table = InputConversionTable();
    std::set<int> scanCodes;
    for (int i = 0; i < InputConversionCount; ++i) scanCodes.insert(table[i].scanCode);
    EXPECT_EQ(scanCodes.size(), 99u) << "every entry sets a scan code of its own";

    // Every virtual key held: exactly the table's scan codes are down, as 1.
    for (int vk = 0; vk < 256; ++vk) HeadlessSetKey(vk, 1);
    Frame();
    char keys[256];
    std::memset(keys, 0x55, sizeof keys);
    ASSERT_EQ(ReadKeyboard(keys), 0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(keys[i], scanCodes.count(i) ? 1 : 0) << "scan code " << i;
        EXPECT_EQ(IsKeyDown(i), scanCodes.count(i) ? 1 : 0) << "scan code " << i;
    }

    // Keys outside the table (Num Lock, Windows, caret, side-neutral Shift) stay up.
    HeadlessClearKeys();
    for (int vk : {VkNumLock, VkLWin, VkCaret, VkShift}) HeadlessSetKey(vk, 1);
    Frame();
    ReadKeyboard(keys);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(keys[i], 0) << "scan code " << i;

    // Enter is both Enter and keypad Enter.
    HeadlessClearKeys();
    HeadlessSetKey(VkReturn, 1);
    Frame();
    EXPECT_EQ(IsKeyDown(DikEnter), 1);
    EXPECT_EQ(IsKeyDown(DikKeypadEnter), 1);
    EXPECT_EQ(IsKeyDown(-1), 0);
    EXPECT_EQ(IsKeyDown(256), 0);
}

TEST_F(InputTest, QuestionsReadTheSampleOfTheLastPump) {
    // Pressed and released between two pumps: never seen.
    HeadlessSetKey('Z', 1);
    HeadlessAdvanceMicroseconds(5000);
    EXPECT_EQ(IsKeyDown(DikZ), 0);
    HeadlessSetKey('Z', 0);
    Frame();
    EXPECT_EQ(IsKeyDown(DikZ), 0);

    // Held across one pump: down for the whole next frame, from every
    // question, even once released.
    HeadlessSetKey('Z', 1);
    Frame();
    HeadlessSetKey('Z', 0);
    for (int step = 0; step < 3; ++step) {
        HeadlessAdvanceMicroseconds(5000);
        EXPECT_EQ(IsKeyDown(DikZ), 1);
        char keys[256];
        ReadKeyboard(keys);
        EXPECT_EQ(keys[DikZ], 1);
        EXPECT_EQ(ReadPadState(0x1001), 0x10);
    }
    Frame();
    EXPECT_EQ(IsKeyDown(DikZ), 0);
}

TEST_F(InputTest, AtMostOneSamplePerMillisecond) {
    Frame();
    int reads = HeadlessKeyboardReadCount();
    // A second pump in the same millisecond takes no new sample...
    ProcessWindowMessages();
    EXPECT_EQ(RefreshKeyboardState(), 0);
    EXPECT_EQ(HeadlessKeyboardReadCount(), reads);
    // ...one a millisecond later does.
    HeadlessAdvanceMicroseconds(1000);
    ProcessWindowMessages();
    EXPECT_EQ(HeadlessKeyboardReadCount(), reads + 1);
    // The questions themselves never sample.
    HeadlessAdvanceMicroseconds(1000);
    IsKeyDown(DikZ);
    ReadPadState(0x1001);
    EXPECT_EQ(HeadlessKeyboardReadCount(), reads + 1);
}

TEST_F(InputTest, FirstQuestionAfterReleaseSetsTheLayerUpAgain) {
    EndInput();
    EXPECT_FALSE(InputIsSetUp());
    char keys[256];
    std::memset(keys, 0x55, sizeof keys);
    EXPECT_EQ(ReadKeyboard(keys), 0);
    EXPECT_TRUE(InputIsSetUp());
    for (int i = 0; i < 256; ++i) ASSERT_EQ(keys[i], 0x55) << "buffer untouched at " << i;
    EXPECT_EQ(ReadKeyboard(keys), 0);
    EXPECT_EQ(keys[0], 0);

    EndInput();
    EXPECT_EQ(ReadPadState(0x1001), 0) << "set-up result, not a word";
    EXPECT_TRUE(InputIsSetUp());

    // With the window asked to close, IsKeyDown does not set it up: 0.
    HeadlessSetKey(VkEscape, 1);
    Frame();
    EndInput();
    g_Window.closeRequested = 1;
    EXPECT_EQ(IsKeyDown(DikEscape), 0);
    EXPECT_FALSE(InputIsSetUp());
    // ReadKeyboard goes on and reads what the table holds.
    EXPECT_EQ(ReadKeyboard(keys), 0);
    EXPECT_EQ(keys[DikEscape], 1);
    EXPECT_FALSE(InputIsSetUp());
    g_Window.closeRequested = 0;
    InitInput();
}

TEST_F(InputTest, QuestionsWaitWhileTheWindowIsInactive) {
    static int passes;
    passes = 0;
    EngineSetInactivePassHook([] {
        if (++passes == 3) HeadlessSetActive(1);
    });
    HeadlessSetActive(0);
    Frame();  // the pump sees the window go inactive and waits itself
    EXPECT_GE(passes, 3);
    EXPECT_TRUE(g_Window.active);

    // Inactive again when a question is asked: it waits too.
    passes = 0;
    HeadlessSetActive(0);
    g_Window.active = 0;
    HeadlessSetKey('X', 1);
    EXPECT_EQ(IsKeyDown(DikX), 1) << "sampled by the pump it waited in";
    EXPECT_GE(passes, 3);
    EXPECT_TRUE(g_Window.active);
}

TEST_F(InputTest, PhysicalGameKeysReachTheirScanCodes) {
    // SDL scancode -> virtual key (Japanese layout) -> scan code.
    struct Case {
        int scancode;
        int dik;
    } cases[] = {
        {29, DikZ}, {27, DikX}, {40, DikEnter}, {88, DikEnter}, {41, DikEscape}, {44, 57},
        {82, 200}, {80, DikLeft}, {79, 205}, {81, 208}, {90, 80}, {92, 75}, {94, 77}, {96, 72},
        {20, 16}, {26, 17}, {4, 30}, {22, 31}, {7, 32}, {6, 46}, {137, 125}, {52, 146},
        {47, 145}, {51, 39}, {135, 43},
    };
    const InputConversion* table = InputConversionTable();
    for (const Case& c : cases) {
        int vk = SdlScancodeToVirtualKey(c.scancode);
        bool found = false;
        for (int i = 0; i < InputConversionCount; ++i)
            if (table[i].virtualKey == vk && table[i].scanCode == c.dik) found = true;
        EXPECT_TRUE(found) << "scancode " << c.scancode << " vk " << vk << " dik " << c.dik;
    }
}

// --------------------------------------------------------------- pad word

TEST_F(InputTest, DefaultKeyMap) {
    const int directions[4][2] = {{80, 208}, {75, 203}, {77, 205}, {72, 200}};
    const int buttons[10] = {44, 45, 46, 30, 31, 32, 16, 17, 1, 57};
    for (int bit = 0; bit < 32; ++bit) {
        int slot0 = bit < 4 ? directions[bit][0] : bit < 14 ? buttons[bit - 4] : -1;
        int slot1 = bit < 4 ? directions[bit][1] : -1;
        EXPECT_EQ(InputKeyMapSlot(0, bit, 0), slot0) << bit;
        EXPECT_EQ(InputKeyMapSlot(0, bit, 1), slot1) << bit;
        EXPECT_EQ(InputKeyMapSlot(0, bit, 2), 0) << bit;
        EXPECT_EQ(InputKeyMapSlot(0, bit, 3), 0) << bit;
        for (int map = 1; map < InputKeyMapCount; ++map) {
            EXPECT_EQ(InputKeyMapSlot(map, bit, 0), -1);
            EXPECT_EQ(InputKeyMapSlot(map, bit, 1), -1);
        }
    }
}

TEST_F(InputTest, KeyboardThroughTheKeyMap) {
    struct Case {
        std::initializer_list<int> keys;
        int inputType;
        int word;
    } cases[] = {
        {{'Z'}, 0x1001, 0x10},
        {{VkLeft, VkNumpad4}, 0x1001, 0x2},
        {{VkNumpad2}, 0x1000, 0x1},
        {{VkDown, VkUp, VkRight}, 0x1000, 0x1 | 0x8 | 0x4},
        {{'Z', 'X', 'C', 'A', 'S', 'D', 'Q', 'W', VkEscape, VkSpace}, 0x1000, 0x3FF0},
        {{VkReturn}, 0x1000, 0},  // Enter is in no slot of map 0
        {{'Z'}, 1, 0},            // pad 1 alone never reports keys
        {{'Z'}, 0, 0},
        {{'Z'}, 0x1002, 0},       // map 1 names no keys
    };
    for (const Case& c : cases) {
        HeadlessClearKeys();
        for (int vk : c.keys) HeadlessSetKey(vk, 1);
        Frame();
        EXPECT_EQ(ReadPadState(c.inputType), c.word) << "input type 0x" << std::hex << c.inputType;
    }
}

TEST_F(InputTest, PadsGiveDirectionsAndButtons) {
    SetPads(2);
    ASSERT_EQ(InputPadCount(), 2);
    Frame();
    EXPECT_EQ(ReadPadState(1), 0);
    EXPECT_EQ(ReadPadState(5), 0) << "no fifth pad";
    EXPECT_EQ(ReadPadState(-7), 0);

    HeadlessSetJoystickAxis(0, 0, -32768);
    HeadlessSetJoystickAxis(0, 1, 32767);
    HeadlessSetJoystickButton(0, 0, 1);
    HeadlessSetJoystickButton(0, 3, 1);
    HeadlessSetJoystickHat(0, 18000);  // the d-pad down adds to the stick's down
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(1), 0x2 | 0x1 | 0x10 | 0x80);
    EXPECT_EQ(ReadPadState(2), 0);
    HeadlessSetKey('X', 1);
    Frame();
    EXPECT_EQ(ReadPadState(0x1001), 0x2 | 0x1 | 0x10 | 0x80 | 0x20) << "pad 1 and map 0 merged";
    EXPECT_EQ(ReadPadState(0x1002), 0) << "pad 2 with map 1: the keyboard adds nothing";
    HeadlessSetJoystickButton(1, 1, 1);
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(0x1002), 0x20);

    // All 32 buttons held: only the first 24 reach bits 4 ... 27.
    HeadlessSetJoystickAxis(0, 0, 0);
    HeadlessSetJoystickAxis(0, 1, 0);
    HeadlessSetJoystickHat(0, -1);
    for (int b = 0; b < 32; ++b) HeadlessSetJoystickButton(0, b, 1);
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(1), 0x0FFFFFF0);
}

TEST_F(InputTest, PadIsReadAtMostOncePerMillisecondAndNeverSticks) {
    SetPads(1);
    HeadlessAdvanceMicroseconds(1000);
    int reads = HeadlessJoystickReadCount(0);
    HeadlessSetJoystickButton(0, 2, 1);
    EXPECT_EQ(ReadPadState(1), 0x40);
    HeadlessSetJoystickButton(0, 2, 0);
    EXPECT_EQ(ReadPadState(1), 0x40) << "same millisecond: the last state";
    EXPECT_EQ(HeadlessJoystickReadCount(0), reads + 1);
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(1), 0);
    EXPECT_EQ(HeadlessJoystickReadCount(0), reads + 2);

    // A pad that stops answering (unplugged) reads as nothing pressed.
    HeadlessSetJoystickButton(0, 2, 1);
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(1), 0x40);
    HeadlessSetJoystickReadFails(0, 1);
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(1), 0);
    HeadlessSetJoystickReadFails(0, 0);
}

TEST_F(InputTest, AxisScaleAndDeadZone) {
    // Raw platform value, and the same on the 0 ... 65535 scale.
    struct Case {
        int raw;
        int scaled;
    } cases[] = {
        {-32768, -1000},          // 0
        {-32767, -999},           // 1
        {-8217, -1},              // 24551
        {-8194, 0},               // 24574: -0.08, truncated
        {24575 - 32768, 0},       // 24575: -0.04, truncated
        {-8192, 0},               // 24576: the dead zone starts
        {0, 0},                   // 32768: at rest
        {-1, 0},                  // 32767
        {8192, 0},                // 40960: the dead zone ends
        {8193, 0},                // 40961
        {8218, 1},                // 40986
        {32767, 1000},            // 65535
        {-100000, -1000},         // out of range: clamped
        {100000, 1000},
    };
    for (const Case& c : cases) EXPECT_EQ(InputScaleAxis(c.raw), c.scaled) << c.raw;

    // Inside the dead zone a stick sets no direction bit.
    SetPads(1);
    struct Stick {
        int x, y, word;
    } sticks[] = {
        {-8193, 0, 0}, {8193, -8193, 0}, {-9000, 0, 0x2}, {9000, 0, 0x4}, {0, -9000, 0x8}, {0, 9000, 0x1},
    };
    for (const Stick& s : sticks) {
        HeadlessSetJoystickAxis(0, 0, s.x);
        HeadlessSetJoystickAxis(0, 1, s.y);
        HeadlessAdvanceMicroseconds(1000);
        EXPECT_EQ(ReadPadState(1), s.word) << s.x << "," << s.y;
    }
}

TEST_F(InputTest, EnumerationIsLoggedAndSkipsDevicesWithoutTwoAxes) {
    HeadlessSetJoystickCount(0);
    HeadlessSetJoystickCount(3);
    HeadlessSetJoystickShape(1, "Wheel Only", 1, 4, 0);
    EndInput();
    InitInput();
    EXPECT_EQ(InputPadCount(), 2);
    // Pad 2 is the third device.
    HeadlessSetJoystickButton(2, 0, 1);
    HeadlessAdvanceMicroseconds(1000);
    EXPECT_EQ(ReadPadState(2), 0x10);
    EXPECT_EQ(ReadPadState(3), 0);
    std::string log = Log();
    const char* lines[] = {
        "DirectInput 関連の終了処理... 完了\r\n",
        "DirectInput関係初期化処理\r\n",
        "DirectInput7 の取得中... 成功\r\n",
        "ジョイパッドの初期化... \r\n",
        "入力装置を見つけました\r\n",
        "デバイスの登録名:Headless Pad 1\r\n",
        "デバイスの製品登録名:Headless Pad 1\r\n",
        "ジョイパッドの追加は正常に終了しました\r\n",
        "デバイスの登録名:Wheel Only\r\n",
        "ジョイパッドデバイスのＹ軸関係の設定に失敗しました\r\n",
        "デバイスの登録名:Headless Pad 3\r\n",
        "ジョイパッドの初期化は正常に終了しました\r\n",
        "キーボードデバイスの初期化... 初期化成功\r\n",
        "DirectInput 関連の初期化は正常に終了しました\r\n",
    };
    size_t at = log.rfind("DirectInput 関連の終了処理... 完了");
    ASSERT_NE(at, std::string::npos);
    for (const char* line : lines) {
        size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing in order: " << line << "\n" << log.substr(at);
        at = found;
    }
}

}  // namespace
