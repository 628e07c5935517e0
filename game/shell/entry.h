// Program entry and main loop.
#pragma once

// Runs the whole game with the start-up argument text (may be empty).
// Returns the process exit code: 0 after a normal end, -1 when the engine
// fails to start.
int GameMain(const char* startArgument);
// The start-up argument is every argument after the program name, joined
// by single blanks.
int GameMainFromArgs(int argc, char** argv);
