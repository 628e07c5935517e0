// The per-frame trace of quellbore-sim: one JSON object per line, written
// after the scene ran and before presenting.
//
// Each area of the game adds its fields in its own file:
//   trace_shell.cpp   frame, tick, scene, sceneEntered and every GameState field
//   trace_world.cpp   TraceWorld (player, scrollX, ...)
//   trace_actors.cpp  TraceActors
//   trace_scenes.cpp  TraceScenes
#pragma once

#include <string>

// A small JSON writer: values are appended to 'out'; 'first' tracks
// whether a separator is due at each nesting level.
struct JsonWriter {
    std::string out;
    bool first[32];
    int depth;
};

void JsonReset(JsonWriter& w);
// key is null inside arrays and for the outermost object.
void JsonBeginObject(JsonWriter& w, const char* key);
void JsonEndObject(JsonWriter& w);
void JsonBeginArray(JsonWriter& w, const char* key);
void JsonEndArray(JsonWriter& w);
void JsonInt(JsonWriter& w, const char* key, long long value);
// Shortest form that reads back to the same double; NaN and infinities
// are written as null.
void JsonDouble(JsonWriter& w, const char* key, double value);
void JsonBool(JsonWriter& w, const char* key, bool value);
void JsonNull(JsonWriter& w, const char* key);
// Text up to its NUL; bytes that are not UTF-8 are written as \u00XX.
void JsonString(JsonWriter& w, const char* key, const char* text);

// Fields of the shell: frame, tick, scene, sceneEntered, then GameState.
void TraceShell(JsonWriter& w, int frame);
void TraceWorld(JsonWriter& w);
void TraceActors(JsonWriter& w);
void TraceScenes(JsonWriter& w);
