// The shell's part of the trace: the frame and every GameState field under
// its own name.
#include "engine/engine.h"
#include "game/shell/game_state.h"
#include "engine/platform/platform.h"
#include "tools/sim/trace.h"

void TraceShell(JsonWriter& w, int frame) {
    const GameStateRecord& s = GameState;
    JsonInt(w, "frame", frame);
    // The live counter, as GetTickMs reads it but past any movie's tap.
    JsonInt(w, "tick", (int)(PlatformTickMs() & 0x7FFFFFFFu));
    JsonInt(w, "scene", s.SceneId);
    JsonInt(w, "sceneEntered", s.SceneEntered);

    JsonInt(w, "SceneId", s.SceneId);
    JsonInt(w, "PrevSceneId", s.PrevSceneId);
    JsonInt(w, "SceneEntered", s.SceneEntered);
    JsonInt(w, "QuitRequested", s.QuitRequested);
    JsonInt(w, "StartArgument", s.StartArgument);
    JsonInt(w, "LastFrameTick", s.LastFrameTick);

    JsonInt(w, "ButtonUp", s.ButtonUp);
    JsonInt(w, "ButtonDown", s.ButtonDown);
    JsonInt(w, "ButtonLeft", s.ButtonLeft);
    JsonInt(w, "ButtonRight", s.ButtonRight);
    JsonInt(w, "ButtonConfirm", s.ButtonConfirm);
    JsonInt(w, "ButtonJump", s.ButtonJump);
    JsonInt(w, "ButtonDrill", s.ButtonDrill);

    JsonInt(w, "ExtraMode", s.ExtraMode);
    JsonInt(w, "StageIndex", s.StageIndex);
    JsonInt(w, "SavedStageIndex", s.SavedStageIndex);
    JsonInt(w, "Lives", s.Lives);
    JsonInt(w, "Coins", s.Coins);

    char name[sizeof s.StageName + 1];
    for (size_t i = 0; i < sizeof s.StageName; ++i) name[i] = s.StageName[i];
    name[sizeof s.StageName] = '\0';
    JsonString(w, "StageName", name);
    JsonInt(w, "StageKind", s.StageKind);
    JsonInt(w, "GroundRow", s.GroundRow);
    JsonInt(w, "Keys", s.Keys);
    JsonInt(w, "DrillCharges", s.DrillCharges);
    JsonInt(w, "DrillRechargeTick", s.DrillRechargeTick);
    JsonInt(w, "StageTimer", s.StageTimer);
    JsonInt(w, "StageCleared", s.StageCleared);
    JsonInt(w, "ClearFrames", s.ClearFrames);
    JsonInt(w, "ChaserSpawned", s.ChaserSpawned);
}
