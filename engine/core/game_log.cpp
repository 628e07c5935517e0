// The game's own lines in the engine's log.
#include "engine/core/core.h"
#include "engine/engine.h"

int WriteLogLine(const char* text) {
    if (!text || !*text) return -1;
    LogWriteFormat("%s", text);
    return 0;
}
