// Input scripts of quellbore-sim: each line "A-B key key ..." or
// "A key ..." holds the keys down during frames A to B (or frame A);
// "A-B tap key ..." presses and releases them again before each of those
// frames' samples (seen down in that frame only); '#' starts a comment.
#pragma once

#include <string>
#include <vector>

// What a key name drives: a virtual key, a pad button or a pad direction.
enum ScriptInputKind { ScriptKey, ScriptPadButton, ScriptPadDirection };
struct ScriptInput {
    ScriptInputKind kind;
    int code;  // virtual key, button 0 ... 23, or direction 0 up 1 down 2 left 3 right
};
struct ScriptHold {
    int first, last;  // frames, inclusive
    int input;        // index into ScriptInputs()
    bool tap = false; // pressed and released within each frame
};
struct InputScript {
    std::vector<ScriptHold> holds;
    bool usesPad = false;
};

// Every key name the script may use, in a fixed order; name lookup by index.
int ScriptInputCount();
const char* ScriptInputName(int index);
const ScriptInput& ScriptInputAt(int index);
// Index of a key name, -1 when unknown.
int FindScriptInput(const char* name);

// Parses the text; false with a message naming the line on an error.
bool ParseInputScript(const std::string& text, InputScript* script, std::string* error);
// Puts the headless keyboard and pad into the state of the frame (only
// the inputs whose state changed are touched; 'held' keeps the state).
void ApplyInputScript(const InputScript& script, int frame, std::vector<char>* held);
