// The engine's bootstrap list: every module EngineInit can start, in the
// order it starts them, and the program's choice among them.
#include "engine/core/modules.h"

#include "engine/core/core.h"
#include "engine/engine.h"

const EngineModuleEntry EngineModuleList[] = {
    // bit                 name        start         end          may fail  end step
    // (the log shows their lines in this order)
    {EngineModuleInput,    "input",    InitInput,    EndInput,    false,    1,
     "keyboard and joypad input could not be started"},
    {EngineModuleSound,    "sound",    InitSound,    EndSound,    true,     2, nullptr},
    {EngineModuleGraphics, "graphics", InitGraphics, EndGraphics, false,    0,
     "graphics could not be started"},
};
const int EngineModuleCount = sizeof EngineModuleList / sizeof EngineModuleList[0];

namespace {
int g_Chosen = EngineModulesAll;
}

int SetEngineModules(int modules) {
    // The set EngineEnd ends is the set EngineInit started.
    if ((modules & ~EngineModulesAll) || g_Window.initialised) return -1;
    g_Chosen = modules;
    return 0;
}

int EngineModulesChosen() { return g_Chosen; }
