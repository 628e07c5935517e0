// The actors part of the trace (filled in by that area).
#include "tools/sim/trace.h"

void TraceActors(JsonWriter&) {}
