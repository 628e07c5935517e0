// quellbore-stage decompile STAGE.dat OUT.txt: a stage file back into a map.
#include <cstdio>
#include <filesystem>
#include <string>

#include "stage_commands.h"
#include "stage_source.h"

int StageDecompileMain(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quellbore-stage decompile STAGE.dat OUT.txt\n");
        return 2;
    }
    static StageSource s;
    std::string error, text;
    const std::string path = argv[1];
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".dat") != 0) {
        std::fprintf(stderr, "quellbore-stage: %s is not a .dat stage file\n", argv[1]);
        return 2;
    }
    if (!LoadStageAny(path, &s, &error)) {
        std::fprintf(stderr, "quellbore-stage: %s\n", error.c_str());
        return 1;
    }
    const std::string title = std::filesystem::path(path).stem().string() + " (decompiled)";
    if (!StageSourceText(s, title, &text)) {
        std::fprintf(stderr, "quellbore-stage: %s holds too many distinct values for one map\n", argv[1]);
        return 1;
    }
    if (!WriteTextFile(argv[2], text)) {
        std::fprintf(stderr, "quellbore-stage: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
