// The real game's command line: a table of options, each applied to the
// record by one case of ApplyOption.
#include "game/shell/command_line.h"

#include <cstdio>
#include <cstring>

namespace {

enum OptionId { OptHelp, OptVersion, OptData, OptFullscreen, OptWindow, OptScale, OptExtraStage, OptRecord, OptReplay };

struct OptionRow {
    const char* name;       // long form, "--name"
    const char* shortName;  // "-x", or null
    bool takesValue;        // "--name VALUE" or "--name=VALUE"
    OptionId id;
};

constexpr OptionRow Options[] = {
    {"--help", "-h", false, OptHelp},
    {"--version", "-V", false, OptVersion},
    {"--data", nullptr, true, OptData},
    {"--fullscreen", nullptr, false, OptFullscreen},
    {"--window", nullptr, false, OptWindow},
    {"--scale", nullptr, true, OptScale},
    {"--extra-stage", nullptr, true, OptExtraStage},
    {"--record", nullptr, true, OptRecord},
    {"--replay", nullptr, true, OptReplay},
};

const char Usage[] =
    "Usage: quellbore [OPTION]... [STAGE]\n"
    "Quellbore, a side-scrolling action game: walk, jump and drill through 42 stages.\n"
    "\n"
    "  --data DIR         read the game's data from DIR instead of looking for it\n"
    "  --fullscreen       play on the whole screen\n"
    "  --window           play in a window\n"
    "  --scale N          open the window at N times the 256 x 256 picture (1 to 16)\n"
    "  --extra-stage N    \"extra stage\" in the title menu starts at extra stage N+1\n"
    "                     (0 to 10); progress is not saved in this run\n"
    "  --record FILE      keep this run as an input movie in FILE\n"
    "  --replay FILE      play the input movie FILE in the window (Escape ends it)\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "A bare number STAGE does what --extra-stage STAGE does.\n"
    "The save is kept in $XDG_DATA_HOME/quellbore (~/.local/share/quellbore),\n"
    "the log in $XDG_STATE_HOME/quellbore (~/.local/state/quellbore).\n";

bool Fail(CommandLine& c, const char* format, const char* a, const char* b = "") {
    c.action = CommandError;
    std::snprintf(c.error, sizeof c.error, format, a, b);
    return false;
}

// A whole decimal number from low to high, nothing else around it.
bool ReadNumber(const char* text, int low, int high, int* out) {
    if (!text || !*text) return false;
    long long value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > high) return false;
    }
    if (value < low) return false;
    *out = (int)value;
    return true;
}

bool AllDigits(const char* text) {
    if (!*text) return false;
    for (const char* p = text; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

bool ApplyOption(CommandLine& c, const OptionRow& option, const char* value) {
    int number = 0;
    switch (option.id) {
    case OptHelp:
        c.action = CommandHelp;
        return true;
    case OptVersion:
        if (c.action != CommandHelp) c.action = CommandVersion;
        return true;
    case OptData:
        if (!*value) return Fail(c, "%s needs a folder", option.name);
        c.dataFolder = value;
        return true;
    case OptFullscreen:
        c.windowMode = 0;
        return true;
    case OptWindow:
        c.windowMode = 1;
        return true;
    case OptScale:
        if (!ReadNumber(value, 1, MaxWindowScale, &number))
            return Fail(c, "%s takes a whole number from 1 to 16, not '%s'", option.name, value);
        c.scale = number;
        return true;
    case OptExtraStage:
        if (!ReadNumber(value, 0, MaxExtraStageIndex, &number))
            return Fail(c, "%s takes a number from 0 to 10, not '%s'", option.name, value);
        c.startArgument = value;
        return true;
    case OptRecord:
    case OptReplay:
        if (!*value) return Fail(c, "%s needs a file name", option.name);
        (option.id == OptRecord ? c.recordPath : c.replayPath) = value;
        if (c.recordPath && c.replayPath) return Fail(c, "%s and %s cannot be used together", "--record", "--replay");
        return true;
    }
    return true;
}

const OptionRow* FindOption(const char* arg, size_t length) {
    for (const OptionRow& option : Options) {
        if (std::strlen(option.name) == length && std::strncmp(arg, option.name, length) == 0) return &option;
        if (option.shortName && std::strlen(option.shortName) == length &&
            std::strncmp(arg, option.shortName, length) == 0)
            return &option;
    }
    return nullptr;
}

}  // namespace

const char* CommandLineUsage() { return Usage; }

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine c = {};
    c.action = CommandRun;
    c.windowMode = -1;
    c.startArgument = "";
    bool optionsEnded = false;
    const char* bare = nullptr;
    for (int i = 1; i < argc && argv && argv[i]; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            const char* equals = std::strncmp(arg, "--", 2) == 0 ? std::strchr(arg, '=') : nullptr;
            size_t length = equals ? (size_t)(equals - arg) : std::strlen(arg);
            const OptionRow* option = FindOption(arg, length);
            if (!option) {
                Fail(c, "unknown option '%s'", arg);
                return c;
            }
            const char* value = "";
            if (option->takesValue) {
                if (equals) {
                    value = equals + 1;
                } else if (i + 1 < argc && argv[i + 1]) {
                    value = argv[++i];
                } else {
                    Fail(c, "%s needs a value", option->name);
                    return c;
                }
            } else if (equals) {
                Fail(c, "%s takes no value", option->name);
                return c;
            }
            if (!ApplyOption(c, *option, value)) return c;
            continue;
        }
        // A bare number is the start-up argument, as it always was.
        if (bare || !AllDigits(arg)) {
            Fail(c, "unexpected argument '%s'", arg);
            return c;
        }
        bare = arg;
        c.startArgument = arg;
    }
    return c;
}
