#include <string>

#include "tests/core/core_test_util.h"

using LifecycleTest = CoreTest;

TEST_F(LifecycleTest, StartAndEndWriteTheirStepsInOrder) {
    GameSettings();
    HeadlessSetWindowFrame(4, 30, 4, 4);
    ASSERT_EQ(EngineInit(), 0);
    EXPECT_EQ(EngineInit(), 0);  // already started
    EXPECT_TRUE(g_Window.initialised);
    std::string log = Log();
    EXPECT_EQ(log.rfind("0:システムの情報を出力します\r\n", 0), 0u) << log;
    EXPECT_TRUE(InOrder(Unstamped(log), {
        "システムの情報を出力します\r\n",
        "\tゲームエンジン Ver3.03\r\n",
        "\tＯＳ  Linux",
        "ＣＯＭの初期化... 成功しました\r\n",
        "メモリ総量:",
        "タイマーの精度を検査します\r\n",
        "精度結果 更新回数 マルチメディアタイマー：",
        "ソフトの二重起動検査... 二重起動はされていませんでした\r\n",
        "ウインドウクラスを登録します... 登録に成功しました\r\n",
        "ウインドウモード起動用のウインドウを作成します\r\n",
        "ウインドウの作成に成功しました\r\n",
        "ＩＭＥを無効にしました\r\n",
        "ウインドウスタイルをウインドウモード用に変更します... 完了\r\n",
        "文字コードバッファの初期化を行います... 完了しました\r\n",
    }));

    // 512 x 512 client, the framed window (520 x 546) centred on 1024 x 768.
    HeadlessWindowInfo w;
    HeadlessGetWindow(&w);
    EXPECT_TRUE(w.exists);
    EXPECT_STREQ(w.caption, "Quellbore Ver 1.01");
    EXPECT_EQ(w.iconId, 101);
    EXPECT_EQ(w.clientWidth, 512);
    EXPECT_EQ(w.clientHeight, 512);
    EXPECT_EQ(w.x, (1024 - 520) / 2 + 4);
    EXPECT_EQ(w.y, (768 - 546) / 2 + 30);
    EXPECT_FALSE(w.screenSaverEnabled);
    EXPECT_STREQ(g_Window.className, "Quellbore Ver 1.01");

    ASSERT_EQ(EngineEnd(), 0);
    EXPECT_EQ(EngineEnd(), 0);  // not started any more
    EXPECT_FALSE(g_Window.initialised);
    HeadlessGetWindow(&w);
    EXPECT_FALSE(w.exists);
    EXPECT_TRUE(w.screenSaverEnabled);
    EXPECT_TRUE(InOrder(Unstamped(Log()), {
        "文字コードバッファの初期化を行います... 完了しました\r\n",
        "ネットワーク関連の終了処理を行います \r\n",
        "ネットワーク関連の終了処理は完了しました\r\n",
        "ウインドウを閉じようとしています\r\n",
        "ウインドウが破棄されようとしています\r\n",
        "ソフトを終了する準備が整いました\r\n",
        "ＣＯＭを終了... 完了\r\n",
        "\r\nAlloc memory dump\r\n",
        "\tTotal size:",
    }));

    // A second run in the same process starts from a new log.
    GameSettings();
    ASSERT_EQ(EngineInit(), 0);
    EXPECT_EQ(Log().find("Alloc memory dump"), std::string::npos);
}

TEST_F(LifecycleTest, WindowIsKeptOnTheDesktop) {
    GameSettings();
    HeadlessSetDesktop(400, 300, 32);
    HeadlessSetWindowFrame(4, 30, 4, 4);
    ASSERT_EQ(EngineInit(), 0);
    HeadlessWindowInfo w;
    HeadlessGetWindow(&w);
    EXPECT_EQ(w.x, 0);
    EXPECT_EQ(w.y, 0);
    struct Case { int dw, dh, cw, ch, x, y; } cases[] = {
        {1024, 768, 512, 512, 256, 128}, {1025, 769, 512, 512, 256, 128}, {511, 100, 512, 512, 0, 0},
    };
    PlatformFrame none = {0, 0, 0, 0};
    for (const Case& c : cases) {
        EngineWindowPlacement at = EnginePlaceWindow(c.dw, c.dh, none, c.cw, c.ch);
        EXPECT_EQ(at.clientX, c.x) << c.dw;
        EXPECT_EQ(at.clientY, c.y) << c.dh;
    }
}

TEST_F(LifecycleTest, SecondInstanceIsRefused) {
    GameSettings();
    // The running copy's log is left as it is: the second copy writes none.
    ASSERT_EQ(LogStart("."), 0);
    LogWrite("the first copy's line\n");
    std::string before = Log();
    HeadlessSimulateOtherInstance(1);
    EXPECT_EQ(EngineInit(), -1);
    EXPECT_FALSE(g_Window.initialised);
    EXPECT_TRUE(g_Window.quit);
    EXPECT_EQ(Log(), before);
    EXPECT_STREQ(GetStartFailureText(), "another copy of the game is already running");
    HeadlessWindowInfo w;
    HeadlessGetWindow(&w);
    EXPECT_EQ(w.created, 0);
    EXPECT_EQ(ProcessWindowMessages(), -1);  // no window and the quit flag set
    // Once the other copy is gone the program starts.
    HeadlessSimulateOtherInstance(0);
    EXPECT_EQ(EngineInit(), 0);
}

TEST_F(LifecycleTest, FailedStartsReturnMinusOneWithTheirLines) {
    struct Case {
        const char* line;
        void (*arrange)();
    } cases[] = {
        {"ウインドウの作成に失敗しました\r\n", [] { HeadlessFailNextWindowCreation(1); }},
        {"このエンジンは２４ビットカラーモードに対応していません\r\n", [] { HeadlessSetDesktop(1024, 768, 24); }},
    };
    for (const Case& c : cases) {
        HeadlessReset();
        GameSettings();
        c.arrange();
        EXPECT_EQ(EngineInit(), -1) << c.line;
        EXPECT_FALSE(g_Window.initialised);
        EXPECT_FALSE(g_Window.starting);
        EXPECT_NE(Log().find(c.line), std::string::npos) << Log();
        HeadlessWindowInfo w;
        HeadlessGetWindow(&w);
        EXPECT_FALSE(w.exists);
    }
    // The start can be tried again.
    HeadlessReset();
    GameSettings();
    EXPECT_EQ(EngineInit(), 0);
}

TEST_F(LifecycleTest, SettingsBeforeAndAfterStart) {
    ChangeWindowMode(0);
    g_Window.modeSet = 0;
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_EQ(g_Window.windowed, 1);
    EXPECT_EQ(g_Window.modeSet, 1);
    EXPECT_EQ(ChangeWindowMode(1), 0);  // same mode: nothing changes

    EXPECT_EQ(SetWindowScale(2.0, -1.0), 0);
    EXPECT_EQ(g_Window.scaleX, 2.0);
    EXPECT_EQ(g_Window.scaleY, 2.0);
    EXPECT_EQ(SetWindowScale(0.0, 0.0), 0);
    EXPECT_EQ(g_Window.scaleX, 1.0);
    EXPECT_EQ(g_Window.scaleY, 1.0);

    GameSettings();
    ASSERT_EQ(EngineInit(), 0);
    LogStart(dir.c_str());
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_EQ(Unstamped(Log()), "ChangeWindowMode実行 \r\n");
    SetWindowCaption("Other");
    SetWindowScale(1.0, -1.0);  // fitted again at once
    HeadlessWindowInfo w;
    HeadlessGetWindow(&w);
    EXPECT_STREQ(w.caption, "Other");
    EXPECT_EQ(w.clientWidth, 256);
    EXPECT_EQ(w.x, (1024 - 256) / 2);
}

TEST_F(LifecycleTest, EmptyCaptionGetsTheDefaults) {
    SetWindowCaption("");
    SetScreenMode(256, 256, 16, 60);
    ChangeWindowMode(1);
    ASSERT_EQ(EngineInit(), 0);
    EXPECT_STREQ(g_Window.className, "D123987X");
    EXPECT_STREQ(g_Window.caption, "Engine");
}

TEST_F(LifecycleTest, TickHasBit31Cleared) {
    uint32_t ticks[] = {0, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF0u};
    for (uint32_t t : ticks) {
        HeadlessSetTickMs(t);
        int got = GetTickMs();
        EXPECT_GE(got, 0);
        EXPECT_EQ((uint32_t)got, t & 0x7FFFFFFFu);
    }
    EXPECT_EQ(TickElapsed(5, 0x7FFFFFF5), 16);
    EXPECT_EQ(TickElapsed(100, 84), 16);
    long long a = EngineMicroseconds();
    long long b = EngineMicroseconds();
    EXPECT_LE(a, b);
}
