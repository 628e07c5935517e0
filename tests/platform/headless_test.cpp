// The headless backend: virtual clock, display capture, window events,
// scripted devices, instance lock and system facts.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/platform/common/linux_system.h"
#include "engine/platform/headless/headless.h"
#include "engine/platform/platform.h"
#include "tests/support/temp_folder.h"

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessReset();
        ASSERT_EQ(PlatformInit(), 0);
    }
    void TearDown() override {
        PlatformShutdown();
        HeadlessReset();
    }
};

// ------------------------------------------------------------------ clock

TEST_F(Headless, SleepAdvancesExactlyAndBusyWaitsEndDeterministically) {
    uint64_t t0 = HeadlessMicroseconds();
    PlatformSleepMs(5);
    EXPECT_EQ(HeadlessMicroseconds(), t0 + 5000);
    PlatformSleepMs(0);  // a yield lets only a poll's worth of time pass
    EXPECT_EQ(HeadlessMicroseconds(), t0 + 5001);

    // The game's pacing: poll the millisecond counter until 16 ms passed.
    auto busyWait = [] {
        uint32_t start = PlatformTickMs();
        int polls = 0;
        while (PlatformTickMs() - start < 16) ++polls;
        return polls;
    };
    HeadlessSetTickMs(2000);
    int first = busyWait();
    uint64_t after = HeadlessMicroseconds();
    HeadlessSetTickMs(2000);
    EXPECT_EQ(busyWait(), first);
    EXPECT_EQ(HeadlessMicroseconds(), after);
    EXPECT_GE(after, 2016000u);
    EXPECT_LT(after, 2017000u);

    // The fine counter runs on the same clock.
    EXPECT_EQ(PlatformCounterFrequency(), 1000000u);
    uint64_t c0 = PlatformCounter();
    PlatformSleepMs(3);
    EXPECT_EQ(PlatformCounter() - c0, 3001u);
    uint64_t cycles0 = PlatformCycleCounter();
    PlatformSleepMs(1);
    EXPECT_EQ(PlatformCycleCounter() - cycles0, (1000u + 1u) * HeadlessCyclesPerMicrosecond);
}

TEST_F(Headless, VerticalBlanksLieOnTheRefreshGrid) {
    struct Case {
        uint64_t fromUs;
        int rate;
        uint64_t blankUs;
    } cases[] = {
        {1000000, 60, 1016667},  // exactly on a blank: the next one
        {1000001, 60, 1016667},
        {1016666, 60, 1016667},
        {1016667, 60, 1033334},
        {1033333, 60, 1033334},
        {1000000, 0, 1016667},  // unknown rate: still 60 Hz
        {1000000, 50, 1020000},
        {1019999, 50, 1020000},
    };
    for (const Case& c : cases) {
        HeadlessSetRefreshRate(c.rate);
        HeadlessSetTickMs(0);
        HeadlessAdvanceMicroseconds(c.fromUs);
        PlatformWaitVerticalBlank();
        EXPECT_EQ(HeadlessMicroseconds(), c.blankUs) << c.fromUs << " at " << c.rate << " Hz";
        EXPECT_EQ(PlatformRefreshRate(), c.rate);
    }
    // Sixty blanks are one second.
    HeadlessSetRefreshRate(60);
    HeadlessSetTickMs(5000);
    for (int i = 0; i < 60; ++i) PlatformWaitVerticalBlank();
    EXPECT_EQ(HeadlessMicroseconds(), 6000000u);
}

TEST_F(Headless, MillisecondCounterWrapsAtTwoToThe32) {
    HeadlessSetTickMs(0x7FFFFFFEu);
    PlatformSleepMs(3);
    EXPECT_EQ(PlatformTickMs(), 0x80000001u);  // bit 31 is the engine's to clear
    HeadlessSetTickMs(0xFFFFFFFEu);
    EXPECT_EQ(PlatformTickMs(), 0xFFFFFFFEu);
    PlatformSleepMs(5);
    EXPECT_EQ(PlatformTickMs(), 3u);
}

// ---------------------------------------------------------------- display

TEST_F(Headless, PresentKeepsTheFrameAndCountsPresents) {
    uint16_t frame[4 * 6];
    for (int i = 0; i < 4 * 6; ++i) frame[i] = (uint16_t)(0x1000 + i);
    EXPECT_EQ(PlatformPresent(frame, 4, 3, 6, PlatformPixelR5G6B5), -1) << "no window";
    ASSERT_EQ(PlatformCreateWindow("t", 0, 0, 0, 8, 6, 1), 0);

    // Bad arguments show nothing.
    EXPECT_EQ(PlatformPresent(nullptr, 4, 3, 6, PlatformPixelR5G6B5), -1);
    EXPECT_EQ(PlatformPresent(frame, 0, 3, 6, PlatformPixelR5G6B5), -1);
    EXPECT_EQ(PlatformPresent(frame, 4, 3, 3, PlatformPixelR5G6B5), -1);
    EXPECT_EQ(PlatformPresent(frame, 4, 3, 6, (PlatformPixelFormat)7), -1);
    EXPECT_EQ(HeadlessPresentCount(), 0);
    EXPECT_EQ(HeadlessLastFrame(nullptr, nullptr, nullptr, nullptr), nullptr);

    // A 4 x 3 frame out of rows 6 pixels apart.
    ASSERT_EQ(PlatformPresent(frame, 4, 3, 6, PlatformPixelX1R5G5B5), 0);
    int w = 0, h = 0, pitch = 0, format = -1;
    const uint16_t* shown = HeadlessLastFrame(&w, &h, &pitch, &format);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 3);
    EXPECT_EQ(pitch, 4);
    EXPECT_EQ(format, PlatformPixelX1R5G5B5);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(shown[y * pitch + x], frame[y * 6 + x]) << x << "," << y;
    frame[0] = 0xFFFF;  // the capture is a copy
    EXPECT_EQ(shown[0], 0x1000);
    EXPECT_EQ(PlatformPresent(frame, 4, 3, 6, PlatformPixelR5G6B5), 0);
    EXPECT_EQ(HeadlessPresentCount(), 2);
    EXPECT_EQ(HeadlessLastFrame(nullptr, nullptr, nullptr, &format)[0], 0xFFFF);
    EXPECT_EQ(format, PlatformPixelR5G6B5);
}

// ------------------------------------------------------------------ window

TEST_F(Headless, WindowStateAndEvents) {
    PlatformEvent e;
    HeadlessFailNextWindowCreation(1);
    EXPECT_EQ(PlatformCreateWindow("Quellbore Ver 1.01", 101, 256, 128, 512, 512, 0), -1);
    EXPECT_FALSE(PlatformHasWindow());
    HeadlessSetActive(0);  // an event left from before the window
    ASSERT_EQ(PlatformCreateWindow("Quellbore Ver 1.01", 101, 256, 128, 512, 512, 0), 0);
    EXPECT_EQ(PlatformPollEvent(&e), 0) << "a new window starts with an empty queue";

    HeadlessWindowInfo w;
    HeadlessGetWindow(&w);
    EXPECT_TRUE(w.exists);
    EXPECT_STREQ(w.caption, "Quellbore Ver 1.01");
    EXPECT_EQ(w.iconId, 101);
    EXPECT_EQ(w.x, 256);
    EXPECT_EQ(w.y, 128);
    EXPECT_EQ(w.clientWidth, 512);
    EXPECT_FALSE(w.visible);
    PlatformShowWindow();
    PlatformSetWindowCaption("other");
    PlatformMoveWindow(10, 20, 300, 200);
    PlatformSetScreenSaverEnabled(0);
    HeadlessGetWindow(&w);
    EXPECT_TRUE(w.visible);
    EXPECT_STREQ(w.caption, "other");
    EXPECT_EQ(w.x, 10);
    EXPECT_EQ(w.clientHeight, 200);
    EXPECT_FALSE(w.screenSaverEnabled);

    // Only changes of the active state are events; the close box is one.
    HeadlessSetActive(1);
    HeadlessSetActive(0);
    HeadlessSetActive(0);
    HeadlessSetActive(1);
    HeadlessRequestClose();
    HeadlessRequestQuit();
    // The window started active, so the first HeadlessSetActive(1) says nothing.
    const PlatformEventType expected[] = {PlatformEventDeactivate, PlatformEventActivate,
                                          PlatformEventClose, PlatformEventQuit};
    for (PlatformEventType type : expected) {
        ASSERT_EQ(PlatformPollEvent(&e), 1);
        EXPECT_EQ(e.type, type);
    }
    EXPECT_EQ(PlatformPollEvent(&e), 0);

    // Destroying it on request sends nothing; the close box of no window neither.
    PlatformDestroyWindow();
    EXPECT_FALSE(PlatformHasWindow());
    HeadlessRequestClose();
    EXPECT_EQ(PlatformPollEvent(&e), 0);
}

TEST_F(Headless, DesktopAndFrameControls) {
    int w, h, bits;
    PlatformGetDesktop(&w, &h, &bits);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_EQ(bits, 32);
    HeadlessSetDesktop(800, 600, 24);
    PlatformGetDesktop(&w, &h, &bits);
    EXPECT_EQ(bits, 24);
    PlatformFrame f;
    PlatformGetWindowFrame(&f);
    EXPECT_EQ(f.left + f.top + f.right + f.bottom, 0);
    HeadlessSetWindowFrame(4, 30, 4, 4);
    PlatformGetWindowFrame(&f);
    EXPECT_EQ(f.top, 30);
    EXPECT_EQ(PlatformTimerMinPeriod(), 1);
}

// ---------------------------------------------------------------- devices

TEST_F(Headless, ScriptedKeyboardAndJoysticks) {
    uint8_t state[256];
    HeadlessSetKey('Z', 1);
    HeadlessSetKey(300, 1);  // outside the table: ignored
    HeadlessSetKey(-1, 1);
    PlatformGetKeyboardState(state);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(state[i], i == 'Z' ? 0x80 : 0) << i;
    HeadlessClearKeys();
    PlatformGetKeyboardState(state);
    EXPECT_EQ(state[int('Z')], 0);
    EXPECT_EQ(HeadlessKeyboardReadCount(), 2);

    PlatformJoystickState js;
    PlatformJoystickInfo info;
    EXPECT_EQ(PlatformJoystickCount(), 0);
    EXPECT_EQ(PlatformJoystickRead(0, &js), -1);
    HeadlessSetJoystickCount(99);
    EXPECT_EQ(PlatformJoystickCount(), PlatformMaxJoysticks);
    HeadlessSetJoystickCount(2);
    ASSERT_EQ(PlatformJoystickGetInfo(1, &info), 0);
    EXPECT_STREQ(info.name, "Headless Pad 2");
    EXPECT_EQ(info.axes, 6);
    EXPECT_EQ(info.buttons, PlatformMaxJoyButtons);

    HeadlessSetJoystickAxis(1, 0, -40000);  // clamped to the raw range
    HeadlessSetJoystickAxis(1, 5, 123);
    HeadlessSetJoystickButton(1, 31, 1);
    HeadlessSetJoystickHat(1, 9000);
    ASSERT_EQ(PlatformJoystickRead(1, &js), 0);
    EXPECT_EQ(js.axis[0], -32768);
    EXPECT_EQ(js.axis[5], 123);
    EXPECT_EQ(js.button[31], 1);
    EXPECT_EQ(js.hat, 9000);

    // A pad with fewer axes and buttons reports only those.
    HeadlessSetJoystickShape(1, "Small", 2, 8, 0);
    ASSERT_EQ(PlatformJoystickRead(1, &js), 0);
    EXPECT_EQ(js.axis[5], 0);
    EXPECT_EQ(js.button[31], 0);
    EXPECT_EQ(js.hat, -1);
    EXPECT_EQ(HeadlessJoystickReadCount(1), 2);
    HeadlessSetJoystickReadFails(1, 1);
    EXPECT_EQ(PlatformJoystickRead(1, &js), -1);
    EXPECT_EQ(HeadlessJoystickReadCount(1), 2);
    EXPECT_EQ(PlatformJoystickRead(2, &js), -1);
}

// -------------------------------------------------------- single instance

TEST_F(Headless, SimulatedSecondInstanceIsRefused) {
    EXPECT_EQ(PlatformAcquireInstanceLock("Quellbore Ver 1.01"), 0);
    EXPECT_EQ(PlatformAcquireInstanceLock("Quellbore Ver 1.01"), 0) << "held already";
    PlatformReleaseInstanceLock();
    HeadlessSimulateOtherInstance(1);
    EXPECT_EQ(PlatformAcquireInstanceLock("Quellbore Ver 1.01"), -1);
    HeadlessSimulateOtherInstance(0);
    EXPECT_EQ(PlatformAcquireInstanceLock("Quellbore Ver 1.01"), 0);
}

TEST(LinuxSystem, LockFileIsHeldAgainstOtherProcesses) {
    TempFolder folder("quellbore-lock-");
    ASSERT_FALSE(folder.path.empty());
    const char* dir = folder.path.c_str();
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = previous ? previous : "";
    setenv("XDG_RUNTIME_DIR", dir, 1);

    char path[512];
    ASSERT_EQ(LinuxInstanceLockPath("Quellbore Ver 1.01", path, sizeof path), 0);
    EXPECT_EQ(std::string(path), std::string(dir) + "/Quellbore Ver 1.01.lock");
    ASSERT_EQ(LinuxInstanceLockPath("a/b\nc", path, sizeof path), 0);
    EXPECT_EQ(std::string(path), std::string(dir) + "/a_b_c.lock");
    EXPECT_EQ(LinuxInstanceLockPath("x", path, 8), -1) << "does not fit";

    HeadlessReset();
    HeadlessUseRealInstanceLock(1);
    ASSERT_EQ(PlatformAcquireInstanceLock("Quellbore Ver 1.01"), 0);
    // Another process cannot take it while this one holds it...
    std::string lockFile = std::string(dir) + "/Quellbore Ver 1.01.lock";
    auto otherProcessGets = [&lockFile] {
        pid_t child = fork();
        if (child == 0) {
            // A fresh open of the file, as a second copy of the program makes.
            int fd = open(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
            _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(otherProcessGets());
    // ...and can once it was released.
    PlatformReleaseInstanceLock();
    EXPECT_TRUE(otherProcessGets());
    HeadlessReset();

    // Without $XDG_RUNTIME_DIR the lock lives in /tmp.
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(LinuxInstanceLockPath("Q", path, sizeof path), 0);
    EXPECT_STREQ(path, "/tmp/Q.lock");
    if (previous)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    unlink(lockFile.c_str());
    rmdir(dir);
}

TEST(LinuxSystem, SystemFactsComeFromTheMachine) {
    PlatformSystemInfo info;
    std::memset(&info, 0x55, sizeof info);
    PlatformGetSystemInfo(&info);
    EXPECT_STREQ(info.osName, "Linux");
    EXPECT_GT(std::strlen(info.osVersion), 0u);
    EXPECT_GT(info.totalPhysicalBytes, 64u * 1024 * 1024);
    EXPECT_LE(info.freePhysicalBytes, info.totalPhysicalBytes);
#if defined(__x86_64__)
    EXPECT_TRUE(info.hasCpuid);
    EXPECT_EQ(std::strlen(info.cpuVendor), 12u);
    EXPECT_TRUE(info.hasSse2);  // every x86-64 processor has it
    EXPECT_GT(std::strlen(info.cpuName), 0u);
#endif
}

}  // namespace
