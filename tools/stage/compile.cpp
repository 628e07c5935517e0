// quellbore-stage compile SRC OUT.dat: builds a stage file from its source.
#include <cstdio>
#include <string>

#include "stage_commands.h"
#include "stage_source.h"

int StageCompileMain(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quellbore-stage compile SRC OUT.dat\n");
        return 2;
    }
    std::string text, error;
    if (!ReadTextFile(argv[1], &text)) {
        std::fprintf(stderr, "quellbore-stage: cannot open %s\n", argv[1]);
        return 1;
    }
    static StageSource s;
    if (!ParseStageSource(text, &s, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!WriteTextFile(argv[2], StageFileText(s))) {
        std::fprintf(stderr, "quellbore-stage: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
