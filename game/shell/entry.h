// Program entry and main loop.
#pragma once

// Runs the whole game with the start-up argument text (may be empty).
// Returns the process exit code: 0 after a normal end, -1 when the engine
// fails to start.
int GameMain(const char* startArgument);
// The start-up argument is every argument after the program name, joined
// by single blanks.
int GameMainFromArgs(int argc, char** argv);
// Window choices applied through the engine facade right before
// EngineInit, after the set-up's own: windowed -1 keeps, 0 full screen,
// 1 window; scale 0 keeps, else the window scale.
void SetWindowOverrides(int windowed, int scale);

// Observers of the main loop for the headless runner and the tests. Each
// pointer may be null. 'frame' counts the passes of the loop from 0.
struct GameLoopHooks {
    // At the top of a pass, before the message pump; false ends the loop
    // before the pass runs.
    bool (*beforePass)(int frame);
    // After the scene ran, before presenting; false ends the loop without
    // presenting this frame.
    bool (*afterScene)(int frame);
    // After presenting; false ends the loop.
    bool (*afterPresent)(int frame);
};
// GameMain with observers; GameMain itself runs a loop without them.
int GameMainWithHooks(const char* startArgument, const GameLoopHooks* hooks);

// StartArgument from the argument text: -1 when empty, else its leading
// decimal integer as atoi reads it (0 when there is none), kept in int.
int ParseStartArgument(const char* text);
// Joins argv[1 ...] with single blanks into out (cut to size).
void JoinArguments(int argc, char** argv, char* out, int size);

// Runs the scene function of the id with the entered flag; an id outside
// the table runs nothing. Returns false for such an id.
bool RunScene(int sceneId, bool entered);
