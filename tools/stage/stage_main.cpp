// quellbore-stage COMMAND ...: looks at and works on stage files.
#include <cstdio>
#include <cstring>

#include "stage_commands.h"

namespace {

struct StageCommand {
    const char* name;
    StageCommandFn run;
    const char* usage;
};

const StageCommand Commands[] = {
    {"render", StageRenderMain, "render STAGE.dat OUT.png [--data DIR] [--strips N] [--scale S]   draw the field as a picture"},
    {"compile", StageCompileMain, "compile ...                              build a stage file from its source"},
    {"decompile", StageDecompileMain, "decompile ...                            turn a stage file into its source"},
    {"solve", StageSolveMain, "solve --data DIR --index N [--extra] --offset F --out FILE   search a clear script"},
    {"lint", StageLintMain, "lint ...                                 check a stage file"},
    {"stats", StageStatsMain, "stats --data DIR [--runs N] [--markdown] [NAME...]   a table of figures per stage"},
};

void Usage(std::FILE* out) {
    std::fprintf(out, "usage: quellbore-stage COMMAND [ARGS]\n\ncommands:\n");
    for (const StageCommand& c : Commands) {
        if (c.run) std::fprintf(out, "  %s\n", c.usage);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const StageCommand& c : Commands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        if (!c.run) {
            std::fprintf(stderr, "quellbore-stage: '%s' is not built into this program\n", c.name);
            return 2;
        }
        return c.run(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "quellbore-stage: unknown command '%s'\n\n", argv[1]);
    Usage(stderr);
    return 2;
}
