// The program: the game over the real platform backend.
#include <cstdio>
#include <string>

#include "game/shell/entry.h"
#include "game/shell/movie.h"

int main(int argc, char** argv) {
    // Input movies: --record FILE keeps the run, --replay FILE plays one.
    MovieCommand movie;
    std::string error;
    if (!MovieTakeOptions(&argc, argv, &movie, &error)) {
        std::fprintf(stderr, "quellbore: %s\n", error.c_str());
        return 2;
    }
    if (movie.replayPath) return MovieReplayInWindow(movie.replayPath);
    if (movie.recordPath) return MovieRecordInWindow(movie.recordPath, argc, argv);
    return GameMainFromArgs(argc, argv);
}
