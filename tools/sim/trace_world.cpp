// The world part of the trace: the player and the camera. The button
// latches are written with the rest of GameState by the shell's part.
#include "game/actors/player.h"
#include "tools/sim/trace.h"

void TraceWorld(JsonWriter& w) {
    const PlayerRecord& p = Player;
    JsonBeginObject(w, "player");
    JsonInt(w, "state", p.state);
    JsonDouble(w, "x", p.x);
    JsonDouble(w, "y", p.y);
    JsonDouble(w, "vx", p.vx);
    JsonDouble(w, "vy", p.vy);
    JsonInt(w, "dir", p.dir);
    JsonDouble(w, "gravity", p.gravity);
    JsonInt(w, "jumpHeld", p.jumpHeld);
    JsonInt(w, "animFrame", p.animFrame);
    JsonEndObject(w);
    JsonInt(w, "scrollX", p.scrollX);
}
