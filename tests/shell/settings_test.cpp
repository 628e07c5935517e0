// The settings file: reading it over the defaults, what a bad line does,
// and writing the window back without touching the player's other lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/shell/settings.h"

namespace {

TEST(Settings, DefaultsAreTheGamesOwnKeysAndWindow) {
    Settings d = ParseSettings("", nullptr);
    const int keys[LatchCount] = {200, 208, 203, 205, 28, 44, 45};
    for (int a = 0; a < LatchCount; ++a) {
        EXPECT_EQ(d.keys.count[a], 1);
        EXPECT_EQ(d.keys.codes[a][0], keys[a]);
    }
    EXPECT_EQ(d.fullscreen, 0);
    EXPECT_EQ(d.scale, 2);
    EXPECT_EQ(d.windowWidth, 0);
    EXPECT_EQ(d.musicVolume, 100);
    EXPECT_EQ(d.effectVolume, 100);
    // The file the game writes reads back as the defaults, without problems.
    std::vector<std::string> problems;
    Settings again = ParseSettings(DefaultSettingsText(), &problems);
    EXPECT_TRUE(problems.empty()) << problems[0];
    for (int a = 0; a < LatchCount; ++a) EXPECT_EQ(again.keys.codes[a][0], keys[a]);
}

TEST(Settings, GoodLinesAreRead) {
    std::vector<std::string> problems;
    Settings s = ParseSettings(
        "# my keys\r\n"
        "[quellbore]\n"
        "  JUMP = space, z   # two keys\n"
        "drill=c\n"
        "left = a KP4\n"
        "fullscreen = Yes\n"
        "scale = 3\n"
        "window = 700x600\n"
        "music_volume = 40\n"
        "effect_volume = 0\n"
        "\n",
        &problems);
    EXPECT_TRUE(problems.empty()) << problems[0];
    EXPECT_EQ(s.keys.count[5], 2);
    EXPECT_EQ(s.keys.codes[5][0], 57);
    EXPECT_EQ(s.keys.codes[5][1], 44);
    EXPECT_EQ(s.keys.codes[6][0], 46);
    EXPECT_EQ(s.keys.count[2], 2);
    EXPECT_EQ(s.keys.codes[2][1], 75);
    EXPECT_EQ(s.keys.codes[4][0], 28) << "confirm keeps its default";
    EXPECT_EQ(s.fullscreen, 1);
    EXPECT_EQ(s.scale, 3);
    EXPECT_EQ(s.windowWidth, 700);
    EXPECT_EQ(s.windowHeight, 600);
    EXPECT_EQ(s.musicVolume, 40);
    EXPECT_EQ(s.effectVolume, 0);
}

TEST(Settings, ABadLineIsReportedAndIgnoredTheRestCounts) {
    struct Case {
        const char* line;
        const char* says;
    } cases[] = {
        {"jump = Q Kanji", "unknown key \"Kanji\""},
        {"jump = Escape", "Escape always quits"},
        {"jump =", "no key named"},
        {"jump = A B C D E", "at most 4"},
        {"fullscreen = maybe", "yes or no"},
        {"scale = 0", "1 to 16"},
        {"scale = 99999999999999", "1 to 16"},
        {"scale = 2.5", "1 to 16"},
        {"window = 100x100", "WIDTHxHEIGHT"},
        {"window = 800", "WIDTHxHEIGHT"},
        {"music_volume = -1", "0 to 100"},
        {"effect_volume = 101", "0 to 100"},
        {"colour = red", "unknown setting \"colour\""},
        {"just some words", "name = value"},
        {"\xff\xfe=\x01", "unknown setting"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> problems;
        Settings s = ParseSettings(std::string("drill = C\n") + c.line + "\nup = W\n", &problems);
        ASSERT_EQ(problems.size(), 1u) << c.line;
        EXPECT_EQ(problems[0].rfind("line 2: ", 0), 0u) << problems[0];
        EXPECT_NE(problems[0].find(c.says), std::string::npos) << problems[0];
        // The bad line changed nothing; the good ones around it still count.
        Settings d = DefaultSettings();
        EXPECT_EQ(s.keys.codes[6][0], 46) << c.line;
        EXPECT_EQ(s.keys.codes[0][0], 17) << c.line;
        EXPECT_EQ(s.keys.count[5], 1) << c.line;
        EXPECT_EQ(s.keys.codes[5][0], d.keys.codes[5][0]) << c.line;
        EXPECT_EQ(s.fullscreen, d.fullscreen) << c.line;
        EXPECT_EQ(s.scale, d.scale) << c.line;
        EXPECT_EQ(s.windowWidth, 0) << c.line;
        EXPECT_EQ(s.musicVolume, 100) << c.line;
        EXPECT_EQ(s.effectVolume, 100) << c.line;
    }
    // Binary junk: every line reported, nothing read, no crash.
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += (char)((i * 37) & 0xFF);
    std::vector<std::string> problems;
    Settings s = ParseSettings(junk, &problems);
    EXPECT_FALSE(problems.empty());
    EXPECT_EQ(s.keys.codes[5][0], 44);
}

TEST(Settings, WritingTheWindowBackKeepsThePlayersLines) {
    const std::string mine =
        "# mine\n"
        "jump = Space   # easier\n"
        "fullscreen = no  # not at work\n"
        "music_volume = 30\n";
    EXPECT_EQ(UpdateSettingsText(mine, 1, 700, 600),
              "# mine\n"
              "jump = Space   # easier\n"
              "fullscreen = yes  # not at work\n"
              "music_volume = 30\n"
              "window = 700x600\n");
    // Back to the plain scale: the window line goes again.
    std::string sized = UpdateSettingsText(mine, 1, 700, 600);
    EXPECT_EQ(UpdateSettingsText(sized, 0, 512, 512), mine);
    // The file's own scale is the plain size.
    EXPECT_EQ(UpdateSettingsText("scale = 3\n", 0, 768, 768), "scale = 3\nfullscreen = no\n");
    // A written text reads back as what was written.
    Settings s = ParseSettings(UpdateSettingsText(DefaultSettingsText(), 1, 900, 700), nullptr);
    EXPECT_EQ(s.fullscreen, 1);
    EXPECT_EQ(s.windowWidth, 900);
    EXPECT_EQ(s.windowHeight, 700);
}

TEST(Settings, KeyNamesBothWays) {
    struct Case {
        const char* name;
        int code;
    } cases[] = {{"z", 44}, {"Z", 44}, {"Enter", 28}, {"return", 28}, {"Up", 200}, {"kp8", 72},
                 {"F5", 63}, {"Space", 57}, {"LShift", 42}, {"", 0}, {"F11", 0}, {"Escape", 0}};
    for (const Case& c : cases) EXPECT_EQ(KeyCodeFromName(c.name), c.code) << c.name;
    EXPECT_STREQ(KeyNameFromCode(28), "Enter");
    EXPECT_STREQ(KeyNameFromCode(1), "");
}

}  // namespace
