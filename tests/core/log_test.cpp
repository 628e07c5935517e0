#include <cstring>
#include <string>

#include "tests/core/core_test_util.h"

using LogTest = CoreTest;

TEST_F(LogTest, LinesAreStampedIndentedAndContinuedMidLine) {
    HeadlessSetTickMs(5000);
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    LogWrite("ＣＯＭの初期化... ");
    LogWrite("成功しました\n");
    HeadlessSetTickMs(5250);
    LogIndentUp();
    LogIndentUp();
    LogWrite("two\n");
    LogIndentDown();
    LogIndentDown();
    LogIndentDown();  // never below 0
    LogWrite("zero\n");
    EXPECT_EQ(Log(), "0:ＣＯＭの初期化... 成功しました\r\n250:\t\ttwo\r\n250:zero\r\n");
}

TEST_F(LogTest, BareLineFeedsBecomeCrLfAndOnlyTheFirstLineIsStamped) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    LogWrite("first\nsecond\n");
    LogWrite("kept\r\n");
    LogWrite("\n");
    EXPECT_EQ(Unstamped(Log()), "first\r\nsecond\r\nkept\r\n\r\n");
    // A UTF-8 character whose last byte lies in the Shift-JIS lead range
    // (あ = E3 81 82) must not swallow the line feed after it.
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    LogWrite("あ\nい\n");
    EXPECT_EQ(Unstamped(Log()), "あ\r\nい\r\n");
}

TEST_F(LogTest, LongTextsAndTheFormatBound) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    std::string longText(300, 'x');
    longText += "\n";
    LogWrite(longText.c_str());  // takes a tracked buffer, returns it
    EXPECT_EQ(TrackedBlockCount(), 0);
    EXPECT_EQ(Unstamped(Log()), std::string(300, 'x') + "\r\n");

    ASSERT_EQ(LogStart(dir.c_str()), 0);
    std::string huge(3000, 'y');
    EXPECT_EQ(LogWriteFormat("%s", huge.c_str()), -1);
    EXPECT_EQ(Unstamped(Log()), std::string(1022, 'y') + "\r\n");

    // A cut through a character drops the whole character.
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    std::string wide;
    wide += "z";
    for (int i = 0; i < 400; ++i) wide += "字";  // 3 bytes each
    LogWriteFormat("%s", wide.c_str());
    std::string expected = "z";
    for (int i = 0; i < 340; ++i) expected += "字";  // 1 + 340 * 3 = 1021 bytes
    EXPECT_EQ(Unstamped(Log()), expected + "\r\n");
}

TEST_F(LogTest, EveryStartRecreatesTheFileAndCodesetsConvert) {
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    LogWrite("old run\n");
    ASSERT_EQ(LogStart(dir.c_str()), 0);
    EXPECT_EQ(Log(), "");
    LogWrite("open line ");
    ASSERT_EQ(LogStart(dir.c_str()), 0);  // the mid-line state does not carry over
    LogWrite("x\n");
    EXPECT_EQ(Unstamped(Log()), "x\r\n");

    ASSERT_EQ(LogStart(dir.c_str()), 0);
    ASSERT_EQ(LogSelectEncoding("CP932"), 0);
    LogWrite("テスト\n");
    EXPECT_EQ(Unstamped(Log()), "\x83\x65\x83\x58\x83\x67\r\n");
    EXPECT_EQ(LogSelectEncoding("ANSI_X3.4-1968"), 0);  // ASCII falls back to UTF-8
    LogWrite("テスト\n");
    EXPECT_EQ(Unstamped(Log()), "\x83\x65\x83\x58\x83\x67\r\nテスト\r\n");
    EXPECT_EQ(LogSelectEncoding("NO-SUCH-CODESET"), -1);
    LogSelectEncoding("UTF-8");
}

TEST_F(LogTest, NothingIsWrittenBeforeTheLogStarts) {
    LogStart("");  // no directory: the log is off
    EXPECT_EQ(LogWrite("lost\n"), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Log.txt"));
}
