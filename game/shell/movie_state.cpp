// The game state a movie checks: every field the trace shows, the player,
// the actors and the random state, each hashed on its own so that a replay
// that parts from its recording can name what differs.
#include <cstring>

#include "game/actors/actors.h"
#include "game/actors/random.h"
#include "game/scenes/scenes.h"
#include "game/shell/game_state.h"
#include "game/shell/movie.h"
#include "game/actors/player.h"

namespace {

const char* const FieldNames[MovieFieldCount] = {
    "SceneId", "PrevSceneId", "SceneEntered", "QuitRequested", "StartArgument", "LastFrameTick",
    "ButtonUp", "ButtonDown", "ButtonLeft", "ButtonRight", "ButtonConfirm", "ButtonJump", "ButtonDrill",
    "ExtraMode", "StageIndex", "SavedStageIndex", "Lives", "Coins", "StageName", "StageKind", "GroundRow",
    "Keys", "DrillCharges", "DrillRechargeTick", "StageTimer", "StageCleared", "ClearFrames", "ChaserSpawned",
    "player.state", "player.timer", "player.dir", "player.x", "player.y", "player.vx", "player.vy",
    "player.gravity", "player.width", "player.height", "scrollX", "player.jumpHeld", "player.animTimer",
    "player.animStep", "player.animFrame",
    "actors.enemy", "actors.item", "actors.drill", "actors.explosion", "actors.door", "actors.deathChaser",
    "actors.lastBoss", "actors.extraBoss", "actors.debris",
    "randState",
    "MenuCursor", "TitleIdleTick", "TitleFrame", "DeleteCursor", "SaveDeleted", "DeletedFrames", "IntroTick",
    "GameOverTick", "StoryCounter", "CreditsCounter",
};

// FNV-1a over each field's bytes; a field is closed by Next.
struct Hasher {
    uint32_t fields[MovieFieldCount];
    int index = 0;
    uint32_t h = 2166136261u;

    void Bytes(const void* p, size_t n) {
        const uint8_t* b = (const uint8_t*)p;
        for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 16777619u;
    }
    void Int(long long v) {
        int64_t x = v;
        Bytes(&x, sizeof x);
    }
    void Double(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        Bytes(&bits, sizeof bits);
    }
    void Next() {
        if (index < MovieFieldCount) fields[index++] = h;
        h = 2166136261u;
    }
    void Field(long long v) {
        Int(v);
        Next();
    }
    void FieldDouble(double v) {
        Double(v);
        Next();
    }
    void Common(int index, const Actor& a) {
        Int(index);
        Int(a.state), Int(a.timer), Int(a.dir);
        Double(a.x), Double(a.y), Double(a.vx), Double(a.vy), Double(a.gravity);
        Int(a.width), Int(a.height);
    }
};

}  // namespace

const char* MovieFieldName(int index) {
    return index >= 0 && index < MovieFieldCount ? FieldNames[index] : "?";
}

void MovieHashState(MovieStateHash* out) {
    Hasher k;
    const GameStateRecord& s = GameState;
    k.Field(s.SceneId), k.Field(s.PrevSceneId), k.Field(s.SceneEntered), k.Field(s.QuitRequested);
    k.Field(s.StartArgument), k.Field(s.LastFrameTick);
    k.Field(s.ButtonUp), k.Field(s.ButtonDown), k.Field(s.ButtonLeft), k.Field(s.ButtonRight);
    k.Field(s.ButtonConfirm), k.Field(s.ButtonJump), k.Field(s.ButtonDrill);
    k.Field(s.ExtraMode), k.Field(s.StageIndex), k.Field(s.SavedStageIndex), k.Field(s.Lives), k.Field(s.Coins);
    k.Bytes(s.StageName, sizeof s.StageName), k.Next();
    k.Field(s.StageKind), k.Field(s.GroundRow), k.Field(s.Keys), k.Field(s.DrillCharges);
    k.Field(s.DrillRechargeTick), k.Field(s.StageTimer), k.Field(s.StageCleared), k.Field(s.ClearFrames);
    k.Field(s.ChaserSpawned);

    const PlayerRecord& p = Player;
    k.Field(p.state), k.Field(p.timer), k.Field(p.dir);
    k.FieldDouble(p.x), k.FieldDouble(p.y), k.FieldDouble(p.vx), k.FieldDouble(p.vy), k.FieldDouble(p.gravity);
    k.Field(p.width), k.Field(p.height), k.Field(p.scrollX), k.Field(p.jumpHeld), k.Field(p.animTimer);
    k.Field(p.animStep), k.Field(p.animFrame);

    for (int i = 0; i < EnemyPoolSize; ++i)
        if (EnemyPool[i].active) k.Common(i, EnemyPool[i]), k.Int(EnemyPool[i].kind), k.Int(EnemyPool[i].phase);
    k.Next();
    for (int i = 0; i < ItemPoolSize; ++i)
        if (ItemPool[i].active) k.Common(i, ItemPool[i]), k.Int(ItemPool[i].kind);
    k.Next();
    if (TheDrill.active) k.Common(0, TheDrill), k.Int(TheDrill.kind);
    k.Next();
    for (int i = 0; i < ExplosionPoolSize; ++i)
        if (ExplosionPool[i].active)
            k.Common(i, ExplosionPool[i]), k.Int(ExplosionPool[i].kind), k.Int(ExplosionPool[i].animFrame);
    k.Next();
    if (TheDoor.active) k.Common(0, TheDoor), k.Int(TheDoor.kind);
    k.Next();
    if (TheDeathChaser.active) k.Common(0, TheDeathChaser), k.Int(TheDeathChaser.kind), k.Int(TheDeathChaser.moving);
    k.Next();
    if (TheLastBoss.active) k.Common(0, TheLastBoss), k.Int(TheLastBoss.phase), k.Int(TheLastBoss.hp);
    k.Next();
    if (TheExtraBoss.active) k.Common(0, TheExtraBoss), k.Int(TheExtraBoss.phase), k.Int(TheExtraBoss.hp);
    k.Next();
    for (int i = 0; i < DebrisPoolSize; ++i)
        if (DebrisPool[i].active) k.Common(i, DebrisPool[i]), k.Int(DebrisPool[i].kind);
    k.Next();
    k.Field(GameRandState());

    const SceneLocals& c = Scenes;
    k.Field(c.MenuCursor), k.Field(c.TitleIdleTick), k.Field(c.TitleFrame), k.Field(c.DeleteCursor);
    k.Field(c.SaveDeleted), k.Field(c.DeletedFrames), k.Field(c.IntroTick), k.Field(c.GameOverTick);
    k.Field(c.StoryCounter), k.Field(c.CreditsCounter);

    uint32_t whole = 2166136261u;
    for (int i = 0; i < MovieFieldCount; ++i) {
        out->fields[i] = (uint8_t)(k.fields[i] ^ (k.fields[i] >> 8) ^ (k.fields[i] >> 16) ^ (k.fields[i] >> 24));
        for (int b = 0; b < 4; ++b) whole = (whole ^ ((k.fields[i] >> (8 * b)) & 0xFF)) * 16777619u;
    }
    out->whole = whole;
    out->check = (uint8_t)(whole ^ (whole >> 8) ^ (whole >> 16) ^ (whole >> 24));
}
