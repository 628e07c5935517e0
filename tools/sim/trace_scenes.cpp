// The scenes part of the trace (filled in by that area).
#include "tools/sim/trace.h"

void TraceScenes(JsonWriter&) {}
