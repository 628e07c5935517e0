// The program: the game over the real platform backend.
#include "game/shell/entry.h"

int main(int argc, char** argv) { return GameMainFromArgs(argc, argv); }
