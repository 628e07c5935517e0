// The real game's command line, read by the pure parser.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "game/shell/command_line.h"
#include "game/shell/entry.h"

namespace {

CommandLine Parse(std::initializer_list<const char*> args) {
    std::vector<char*> argv = {const_cast<char*>("quellbore")};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    return ParseCommandLine((int)argv.size() - 1, argv.data());
}

TEST(CommandLine, NothingGivenRunsWithSavingOn) {
    CommandLine c = Parse({});
    EXPECT_EQ(c.action, CommandRun);
    EXPECT_EQ(c.dataFolder, nullptr);
    EXPECT_EQ(c.windowMode, -1);
    EXPECT_EQ(c.scale, 0);
    EXPECT_STREQ(c.startArgument, "");
    EXPECT_EQ(ParseStartArgument(c.startArgument), -1) << "saving stays on";
}

TEST(CommandLine, OptionsFillTheRecord) {
    CommandLine c = Parse({"--data", "/opt/q data", "--fullscreen", "--scale=3", "--extra-stage", "4"});
    ASSERT_EQ(c.action, CommandRun) << c.error;
    EXPECT_STREQ(c.dataFolder, "/opt/q data");
    EXPECT_EQ(c.windowMode, 0);
    EXPECT_EQ(c.scale, 3);
    EXPECT_EQ(ParseStartArgument(c.startArgument), 4);

    // The last of --fullscreen / --window wins; --data=DIR is the same as --data DIR.
    c = Parse({"--fullscreen", "--window", "--data=rel/dir", "--scale", "16"});
    EXPECT_EQ(c.windowMode, 1);
    EXPECT_STREQ(c.dataFolder, "rel/dir");
    EXPECT_EQ(c.scale, 16);
}

TEST(CommandLine, ABareNumberIsTheStartArgument) {
    struct Case {
        std::initializer_list<const char*> args;
        int start;
    } cases[] = {
        {{"5"}, 5},
        {{"0"}, 0},  // still switches saving off, as any start argument does
        {{"--window", "10"}, 10},
        {{"--", "7"}, 7},
        {{"99999999999"}, 2147483647},  // kept in int as the entry reads it
    };
    for (const Case& k : cases) {
        CommandLine c = Parse(k.args);
        ASSERT_EQ(c.action, CommandRun) << *k.args.begin() << ": " << c.error;
        EXPECT_EQ(ParseStartArgument(c.startArgument), k.start) << *k.args.begin();
    }
}

TEST(CommandLine, HelpAndVersionWinOverRunning) {
    EXPECT_EQ(Parse({"--help"}).action, CommandHelp);
    EXPECT_EQ(Parse({"-h", "--fullscreen"}).action, CommandHelp);
    EXPECT_EQ(Parse({"--version"}).action, CommandVersion);
    EXPECT_EQ(Parse({"-V"}).action, CommandVersion);
    EXPECT_EQ(Parse({"--version", "--help"}).action, CommandHelp);
    const char* usage = CommandLineUsage();
    for (const char* option : {"--data", "--fullscreen", "--window", "--scale", "--extra-stage", "--help", "--version"})
        EXPECT_NE(std::strstr(usage, option), nullptr) << option;
}

TEST(CommandLine, MistakesAreErrorsNeverASilentStartArgument) {
    struct Case {
        std::initializer_list<const char*> args;
        const char* says;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--help=yes"}, "takes no value"},
        {{"--data"}, "--data needs a value"},
        {{"--data="}, "--data needs a folder"},
        {{"--scale", "0"}, "1 to 16"},
        {{"--scale", "17"}, "1 to 16"},
        {{"--scale", "2x"}, "1 to 16"},
        {{"--scale", "-1"}, "1 to 16"},
        {{"--extra-stage", "11"}, "0 to 10"},
        {{"--extra-stage", ""}, "0 to 10"},
        {{"--extra-stage"}, "needs a value"},
        {{"abc"}, "unexpected argument 'abc'"},
        {{"5", "6"}, "unexpected argument '6'"},
        {{"-5"}, "unknown option '-5'"},
    };
    for (const Case& k : cases) {
        CommandLine c = Parse(k.args);
        EXPECT_EQ(c.action, CommandError) << *k.args.begin();
        EXPECT_NE(std::strstr(c.error, k.says), nullptr) << c.error;
    }
    // A value that looks like an option is still the option's value.
    CommandLine c = Parse({"--data", "--window"});
    EXPECT_EQ(c.action, CommandRun);
    EXPECT_STREQ(c.dataFolder, "--window");
}

}  // namespace
