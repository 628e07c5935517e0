// Subcommands of quellbore-asset; each returns the process exit code.
#pragma once

int AssetImageCommand(int argc, char** argv);
int AssetTextCommand(int argc, char** argv);
int AssetSoundCommand(int argc, char** argv);
