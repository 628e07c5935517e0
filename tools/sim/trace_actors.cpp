// The actors part of the trace: every active actor of every class, pools in
// index order, then the generator's state.
#include "game/actors/actors.h"
#include "tools/sim/trace.h"

namespace {

void Common(JsonWriter& w, const char* cls, int index, const Actor& a) {
    JsonBeginObject(w, nullptr);
    JsonString(w, "class", cls);
    JsonInt(w, "index", index);
    JsonInt(w, "state", a.state);
    JsonDouble(w, "x", a.x);
    JsonDouble(w, "y", a.y);
    JsonDouble(w, "vx", a.vx);
    JsonDouble(w, "vy", a.vy);
    JsonInt(w, "dir", a.dir);
    JsonInt(w, "timer", a.timer);
}

}  // namespace

void TraceActors(JsonWriter& w) {
    JsonBeginArray(w, "actors");
    for (int i = 0; i < EnemyPoolSize; ++i) {
        const Enemy& e = EnemyPool[i];
        if (!e.active) continue;
        Common(w, "enemy", i, e);
        JsonInt(w, "kind", e.kind);
        JsonInt(w, "phase", e.phase);
        JsonEndObject(w);
    }
    for (int i = 0; i < ItemPoolSize; ++i) {
        const Item& it = ItemPool[i];
        if (!it.active) continue;
        Common(w, "item", i, it);
        JsonInt(w, "kind", it.kind);
        JsonEndObject(w);
    }
    if (TheDrill.active) {
        Common(w, "drill", 0, TheDrill);
        JsonInt(w, "kind", TheDrill.kind);
        JsonEndObject(w);
    }
    for (int i = 0; i < ExplosionPoolSize; ++i) {
        const Explosion& x = ExplosionPool[i];
        if (!x.active) continue;
        Common(w, "explosion", i, x);
        JsonInt(w, "kind", x.kind);
        JsonInt(w, "animFrame", x.animFrame);
        JsonEndObject(w);
    }
    if (TheDoor.active) {
        Common(w, "door", 0, TheDoor);
        JsonInt(w, "kind", TheDoor.kind);
        JsonEndObject(w);
    }
    if (TheDeathChaser.active) {
        Common(w, "deathChaser", 0, TheDeathChaser);
        JsonInt(w, "kind", TheDeathChaser.kind);
        JsonBool(w, "moving", TheDeathChaser.moving);
        JsonEndObject(w);
    }
    if (TheLastBoss.active) {
        Common(w, "lastBoss", 0, TheLastBoss);
        JsonInt(w, "phase", TheLastBoss.phase);
        JsonInt(w, "hp", TheLastBoss.hp);
        JsonEndObject(w);
    }
    if (TheExtraBoss.active) {
        Common(w, "extraBoss", 0, TheExtraBoss);
        JsonInt(w, "phase", TheExtraBoss.phase);
        JsonInt(w, "hp", TheExtraBoss.hp);
        JsonEndObject(w);
    }
    for (int i = 0; i < DebrisPoolSize; ++i) {
        const Debris& d = DebrisPool[i];
        if (!d.active) continue;
        Common(w, "debris", i, d);
        JsonInt(w, "kind", d.kind);
        JsonEndObject(w);
    }
    JsonEndArray(w);
    JsonInt(w, "randState", GameRandState());
}
