// Placeholder until the entry lands.
#include <string>
#include "game/shell/entry.h"
#include "engine/engine.h"

int GameMain(const char*) { return EngineInit() == -1 ? -1 : 0; }
int GameMainFromArgs(int argc, char** argv) {
    std::string arg;
    for (int i = 1; i < argc; ++i) { if (i > 1) arg += ' '; arg += argv[i]; }
    return GameMain(arg.c_str());
}
