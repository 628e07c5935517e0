// The subcommands of quellbore-stage. Each is defined in a file of its own
// in this folder; a subcommand whose file is not built is listed as
// unavailable (the declarations are weak).
#pragma once

// argv[0] is the subcommand's name; returns the process exit code.
using StageCommandFn = int (*)(int argc, char** argv);

int StageRenderMain(int argc, char** argv) __attribute__((weak));
int StageCompileMain(int argc, char** argv) __attribute__((weak));
int StageDecompileMain(int argc, char** argv) __attribute__((weak));
int StageLintMain(int argc, char** argv) __attribute__((weak));
int StageSolveMain(int argc, char** argv) __attribute__((weak));
int StageStatsMain(int argc, char** argv) __attribute__((weak));
