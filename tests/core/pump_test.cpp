#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/core_test_util.h"

namespace {

class PumpTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        GameSettings();
        ASSERT_EQ(EngineInit(), 0);
        while (ProcessWindowMessages() == 0 && HeadlessPendingEvents() > 0) {
        }
    }
};

int g_Passes;
int g_WakeAfter;
void (*g_Wake)();
void CountPass() {
    if (++g_Passes == g_WakeAfter && g_Wake) g_Wake();
}

}  // namespace

TEST_F(PumpTest, CloseBoxEndsTheProgramOnce) {
    EXPECT_EQ(ProcessWindowMessages(), 0);
    HeadlessRequestClose();
    EXPECT_EQ(ProcessWindowMessages(), -1);
    EXPECT_EQ(ProcessWindowMessages(), -1);  // the quit flag stays
    EXPECT_TRUE(g_Window.destroyed);
    EngineEnd();  // finds the window gone
    std::string log = Unstamped(Log());
    EXPECT_TRUE(InOrder(log, {"ウインドウを閉じようとしています\r\n", "ウインドウが破棄されようとしています\r\n",
                              "ソフトを終了する準備が整いました\r\n", "ＣＯＭを終了"}));
    EXPECT_EQ(log.find("ウインドウを閉じようとしています"), log.rfind("ウインドウを閉じようとしています"));
}

TEST_F(PumpTest, PlatformQuitSetsTheQuitFlag) {
    HeadlessRequestQuit();
    EXPECT_EQ(ProcessWindowMessages(), -1);
    EXPECT_TRUE(g_Window.quit);
}

TEST_F(PumpTest, AtMostFiveMessagesPerCallWhileActive) {
    // Twelve focus changes, ending active: the first call stops after ten
    // (five while active, then five more while inactive until it is active).
    for (int i = 0; i < 12; ++i) HeadlessSetActive(i % 2);
    ASSERT_EQ(HeadlessPendingEvents(), 12);
    EXPECT_EQ(ProcessWindowMessages(), 0);
    EXPECT_EQ(HeadlessPendingEvents(), 2);
    EXPECT_EQ(ProcessWindowMessages(), 0);
    EXPECT_EQ(HeadlessPendingEvents(), 0);
    EXPECT_TRUE(g_Window.active);
}

TEST_F(PumpTest, InactiveWindowHoldsTheCallUntilActiveAgain) {
    HeadlessSetActive(0);
    g_Passes = 0;
    g_WakeAfter = 250;
    g_Wake = [] { HeadlessSetActive(1); };
    EngineSetInactivePassHook(CountPass);
    int before = GetTickMs();
    EXPECT_EQ(ProcessWindowMessages(), 0);
    int slept = TickElapsed(GetTickMs(), before);
    EXPECT_GE(g_Passes, 250);
    // About 2 ms per pass, asleep.
    EXPECT_GE(slept, 2 * 250);
    EXPECT_LE(slept, 2 * 260 + 5);
    EXPECT_TRUE(g_Window.active);

    // Closed while in the background: the call returns with the quit flag.
    HeadlessSetActive(0);
    g_Passes = 0;
    g_WakeAfter = 10;
    g_Wake = [] { HeadlessRequestClose(); };
    EXPECT_EQ(ProcessWindowMessages(), -1);
    EXPECT_EQ(g_Passes, 11);
}

TEST_F(PumpTest, ServiceStepsCallingThePumpReturnAtOnce) {
    // WaitWhileInactive is a no-op while active and from inside the pump.
    WaitWhileInactive();
    HeadlessSetActive(0);
    g_Passes = 0;
    g_WakeAfter = 3;
    g_Wake = [] {
        EXPECT_EQ(ProcessWindowMessages(), 0);  // re-entry
        HeadlessSetActive(1);
    };
    EngineSetInactivePassHook(CountPass);
    WaitWhileInactive();
    EXPECT_TRUE(g_Window.active);
}

TEST_F(PumpTest, OtherThreadsDoNotPump) {
    HeadlessRequestClose();
    int result = 1;
    std::thread([&] { result = ProcessWindowMessages(); }).join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(HeadlessPendingEvents(), 1);
    EXPECT_EQ(ProcessWindowMessages(), -1);
}

TEST(CallLock, ReentrantForItsOwnerAndFirstComeFirstServed) {
    EngineCallLockEnter();
    EngineCallLockEnter();
    std::vector<int> order;
    std::mutex orderMutex;
    std::vector<std::thread> threads;
    std::atomic<int> started{0};
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            ++started;
            EngineCallLockEnter();
            {
                std::lock_guard<std::mutex> g(orderMutex);
                order.push_back(i);
            }
            EngineCallLockLeave();
        });
        // Let each thread queue up before the next one comes.
        while (started.load() <= i) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EngineCallLockLeave();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        std::lock_guard<std::mutex> g(orderMutex);
        EXPECT_TRUE(order.empty());  // still held once
    }
    EngineCallLockLeave();
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EngineCallLockLeave();  // not held: ignored
}
