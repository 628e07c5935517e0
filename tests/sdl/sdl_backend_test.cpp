// The engine over the real SDL backend with SDL's dummy video driver: key
// taps through SDL's event queue, and a controller through SDL's virtual
// joystick with a user mapping file, plugged in while running.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "engine/engine.h"
#include "game/shell/game_state.h"
#include "game/shell/input_latch.h"
#include "tests/support/temp_folder.h"
#include "tests/support/engine_start.h"

namespace {

namespace fs = std::filesystem;

class SdlBackend : public ::testing::Test {
protected:
    static inline std::optional<TempFolder> folder;
    static inline fs::path dir, previous;
    static inline bool started = false;

    static void SetUpTestSuite() {
        previous = fs::current_path();
        folder.emplace("quellbore-sdl-backend-");
        ASSERT_FALSE(folder->path.empty());
        dir = folder->path;
        fs::current_path(dir);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        // The dummy driver's window never has the keyboard focus, and SDL
        // drops pad input of an application in the background.
        setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
        started = StartEngineLikeTheGame("Quellbore SDL backend test");
    }
    static void TearDownTestSuite() {
        if (started) EngineEnd();
        fs::current_path(previous);
        folder->keep = getenv("KEEP") != nullptr;
        folder.reset();
    }
    void SetUp() override {
        if (!started) GTEST_SKIP() << "the engine did not start over SDL's dummy driver";
        GameState = GameStateRecord{};
        Frame();
    }
    // A frame of the main loop: the pump (keys are sampled once per
    // millisecond), then the latch.
    static void Frame() {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ProcessWindowMessages();
        LatchButtons();
    }
    static void Key(SDL_Scancode code, bool down) {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
};

TEST_F(SdlBackend, AKeyPressedAndReleasedInsideOnePumpJumpsOnce) {
    Key(SDL_SCANCODE_Z, true);
    Key(SDL_SCANCODE_Z, false);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchPressed);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
}

TEST_F(SdlBackend, AKeyHeldOverThreeFramesIsHeldThenReleased) {
    Key(SDL_SCANCODE_Z, true);
    const int expected[] = {LatchPressed, LatchHeld, LatchHeld};
    for (int want : expected) {
        Frame();
        EXPECT_EQ(GameState.ButtonJump, want);
    }
    Key(SDL_SCANCODE_Z, false);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
}

TEST_F(SdlBackend, AltEnterAndF11ToggleFullScreenWithoutConfirming) {
    ASSERT_EQ(GetWindowMode(), 1);
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    e.key.keysym.mod = KMOD_LALT;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    Frame();
    EXPECT_EQ(GetWindowMode(), 0);
    EXPECT_EQ(GameState.ButtonConfirm, LatchUp);
    Key(SDL_SCANCODE_F11, true);
    Key(SDL_SCANCODE_F11, false);
    Frame();
    EXPECT_EQ(GetWindowMode(), 1);
    EXPECT_EQ(PresentFrame(), 0);
}

TEST_F(SdlBackend, AVirtualControllerPluggedInWhileRunning) {
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* joy = SDL_JoystickOpen(index);
    ASSERT_NE(joy, nullptr) << SDL_GetError();
    // A user mapping file names the layout by the device's GUID.
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(joy), guid, sizeof guid);
    fs::path file = dir / "gamecontrollerdb.txt";
    std::ofstream(file) << "# a pad of this test\n"
                        << guid
                        << ",Quellbore Test Pad,a:b0,b:b1,x:b2,y:b3,back:b4,guide:b5,start:b6,"
                           "leftstick:b7,rightstick:b8,leftshoulder:b9,rightshoulder:b10,dpup:b11,"
                           "dpdown:b12,dpleft:b13,dpright:b14,leftx:a0,lefty:a1,rightx:a2,righty:a3,"
                           "lefttrigger:a4,righttrigger:a5,platform:Linux,\n";
    EXPECT_EQ(SetControllerMappingFile(file.c_str()), 0);
    Frame();
    EXPECT_EQ(ReadPadState(1), 0) << "plugged in, nothing pressed";

    struct Case {
        int button;  // SDL controller button (= virtual button by the mapping)
        int bits;    // pad word
        int* latch;  // the game's latch it drives
    } cases[] = {
        {0, 0x10, &GameState.ButtonJump},     // south
        {6, 0x80, &GameState.ButtonConfirm},  // start
        {1, 0x20, &GameState.ButtonDrill},    // east
        {2, 0x100, &GameState.ButtonDrill},   // west
        {11, 0x8, &GameState.ButtonUp},       // d-pad up
        {13, 0x2, &GameState.ButtonLeft},     // d-pad left
    };
    for (const Case& c : cases) {
        SDL_JoystickSetVirtualButton(joy, c.button, 1);
        Frame();
        EXPECT_EQ(ReadPadState(1), c.bits) << "button " << c.button;
        EXPECT_EQ(*c.latch, LatchPressed) << "button " << c.button;
        SDL_JoystickSetVirtualButton(joy, c.button, 0);
        Frame();
        EXPECT_EQ(*c.latch, LatchUp) << "button " << c.button;
    }
    // The stick, past the dead zone.
    SDL_JoystickSetVirtualAxis(joy, 0, 32767);
    Frame();
    EXPECT_EQ(ReadPadState(1), 0x4);
    SDL_JoystickSetVirtualAxis(joy, 0, 0);

    // Down and up again between two of the game's pumps: still one jump.
    SDL_JoystickSetVirtualButton(joy, 0, 1);
    SDL_PumpEvents();
    SDL_JoystickSetVirtualButton(joy, 0, 0);
    SDL_PumpEvents();
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchPressed);
    Frame();
    EXPECT_EQ(GameState.ButtonJump, LatchUp);

    // Pulled out: nothing left pressed.
    SDL_JoystickSetVirtualButton(joy, 0, 1);
    Frame();
    SDL_JoystickClose(joy);
    SDL_JoystickDetachVirtual(index);
    Frame();
    Frame();
    EXPECT_EQ(ReadPadState(1), 0);
    EXPECT_EQ(GameState.ButtonJump, LatchUp);
}

}  // namespace
