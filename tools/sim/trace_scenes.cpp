// The scenes part of the trace: the values each scene keeps for itself.
#include "game/scenes/scenes.h"
#include "tools/sim/trace.h"

void TraceScenes(JsonWriter& w) {
    const SceneLocals& s = Scenes;
    JsonInt(w, "MenuCursor", s.MenuCursor);
    JsonInt(w, "TitleIdleTick", s.TitleIdleTick);
    JsonInt(w, "TitleFrame", s.TitleFrame);
    JsonInt(w, "DeleteCursor", s.DeleteCursor);
    JsonInt(w, "SaveDeleted", s.SaveDeleted);
    JsonInt(w, "DeletedFrames", s.DeletedFrames);
    JsonInt(w, "IntroTick", s.IntroTick);
    JsonInt(w, "GameOverTick", s.GameOverTick);
    JsonInt(w, "StoryCounter", s.StoryCounter);
    JsonInt(w, "CreditsCounter", s.CreditsCounter);
}
