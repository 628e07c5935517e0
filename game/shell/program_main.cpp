// The program: the game over the real platform backend. Before the engine
// starts it reads the command line, finds the data and names the player's
// save and log folders; every failure to start is told on the terminal.
#include <string>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "engine/engine.h"
#include "game/shell/command_line.h"
#include "game/shell/entry.h"
#include "game/shell/movie.h"
#include "game/shell/player_files.h"
#include "game/world/save.h"

#ifndef QUELLBORE_VERSION
#define QUELLBORE_VERSION "unknown"
#endif
#ifndef QUELLBORE_SHARE_DIR
#define QUELLBORE_SHARE_DIR ""
#endif

namespace {

constexpr int PathSize = 4096;
constexpr int MaxCandidates = 4;

// Finds the data and sets the engine's data folder to it; false (with the
// message printed) when there is none or it is incomplete.
bool FindData(const CommandLine& command, char* chosen) {
    char candidates[MaxCandidates][PathSize];
    int count = 0;
    if (command.dataFolder) {
        std::snprintf(candidates[0], PathSize, "%s", command.dataFolder);
        count = 1;
    } else {
        char cwd[PathSize], program[PathSize];
        if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
        ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
        program[n > 0 ? n : 0] = '\0';
        count = DataFolderCandidates(cwd, program, QUELLBORE_SHARE_DIR, candidates, MaxCandidates);
    }
    int found = ChooseDataFolder(candidates, count);
    if (found < 0) {
        if (command.dataFolder) {
            std::fprintf(stderr,
                         "quellbore: no game data in %s (jumper.dat cannot be read there); give --data the "
                         "folder that holds jumper.dat, sound/ and bgm/.\n",
                         command.dataFolder);
        } else {
            std::string looked;
            for (int i = 0; i < count; ++i) looked += std::string(i ? ", " : "") + candidates[i];
            std::fprintf(stderr,
                         "quellbore: the game's data was not found (looked in %s); install the game, run it "
                         "from its build folder after building it, or name the data folder with --data DIR.\n",
                         looked.c_str());
        }
        return false;
    }
    std::snprintf(chosen, PathSize, "%s", candidates[found]);
    if (const char* missing = FirstMissingDataFile()) {
        char path[PathSize];
        if (ResolveDataPath(missing, path, sizeof path) != 0) std::snprintf(path, sizeof path, "%s", missing);
        std::fprintf(stderr,
                     "quellbore: the game's data in %s is incomplete: %s cannot be read; rebuild it or "
                     "reinstall the game.\n",
                     chosen, path);
        return false;
    }
    return true;
}

// The save in the player's data folder (an old one beside the data carried
// over once), the log in the player's state folder.
void NamePlayerFiles(const char* dataFolder, char* logFolder) {
    char folder[PathSize];
    if (GetUserFolder(UserFolderData, folder, sizeof folder) == 0) {
        char save[PathSize + 16], old[PathSize + 16];
        std::snprintf(save, sizeof save, "%s/state0.dat", folder);
        std::snprintf(old, sizeof old, "%s/state0.dat", dataFolder);
        if (CarryOverSave(old, save) < 0)
            std::fprintf(stderr, "quellbore: the old save %s could not be copied to %s\n", old, save);
        SetSaveFilePath(save);
    } else {
        std::fprintf(stderr,
                     "quellbore: there is no folder for the save (set HOME or XDG_DATA_HOME); progress will "
                     "not be saved in this run\n");
        SetSaveFilePath("");
    }
    logFolder[0] = '\0';
    if (GetUserFolder(UserFolderState, logFolder, PathSize) == 0) {
        SetLogFolder(logFolder);
    } else {
        logFolder[0] = '\0';
        std::fprintf(stderr, "quellbore: there is no folder for the log (set HOME or XDG_STATE_HOME); no log is kept\n");
        SetLogFolder("");
    }
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine command = ParseCommandLine(argc, argv);
    switch (command.action) {
    case CommandHelp:
        std::fputs(CommandLineUsage(), stdout);
        return 0;
    case CommandVersion:
        std::printf("Quellbore %s\n", QUELLBORE_VERSION);
        return 0;
    case CommandError:
        std::fprintf(stderr, "quellbore: %s\n\n%s", command.error, CommandLineUsage());
        return 2;
    default:
        break;
    }

    char dataFolder[PathSize], logFolder[PathSize];
    if (!FindData(command, dataFolder)) return 1;
    NamePlayerFiles(dataFolder, logFolder);
    SetWindowOverrides(command.windowMode, command.scale);

    int result;
    if (command.replayPath) {
        result = MovieReplayInWindow(command.replayPath);
    } else if (command.recordPath) {
        result = MovieRecordInWindow(command.recordPath, command.startArgument);
    } else {
        result = GameMain(command.startArgument);
    }
    if (result == 2 && (command.replayPath || command.recordPath)) return 2;  // the movie could not be used
    if (result == -1) {
        const char* why = GetStartFailureText();
        if (!why[0]) why = "the game could not start";
        if (std::strstr(why, "already running") || !logFolder[0]) {
            std::fprintf(stderr, "quellbore: %s\n", why);
        } else {
            std::fprintf(stderr, "quellbore: %s; %s/Log.txt has the details\n", why, logFolder);
        }
        return 1;
    }
    return result;
}
