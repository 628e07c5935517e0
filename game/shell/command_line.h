// The real game's command line, read into a plain record. Pure: nothing is
// printed, opened or changed here.
#pragma once

enum CommandAction { CommandRun = 0, CommandHelp = 1, CommandVersion = 2, CommandError = 3 };

struct CommandLine {
    int action;              // CommandAction
    char error[256];         // with CommandError: what was wrong, in English
    const char* dataFolder;  // --data DIR; null when not given
    int windowMode;          // -1 as the settings say, 0 full screen, 1 window
    int scale;               // 0 as the settings say, else the window scale
    // The start-up argument text (a bare number or --extra-stage N); ""
    // when none was given, so saving stays on.
    const char* startArgument;
    const char* recordPath;  // --record FILE: keep the run as a movie
    const char* replayPath;  // --replay FILE: play a movie in the window
};

constexpr int MaxWindowScale = 16;
constexpr int MaxExtraStageIndex = 10;

// argv[0] is the program's name; the strings must outlive the result.
CommandLine ParseCommandLine(int argc, char** argv);

// The text of --help (ends with a line break).
const char* CommandLineUsage();
