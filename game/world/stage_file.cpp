#include "game/world/stage_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "game/shell/game_state.h"
#include "game/world/regular_file.h"

int FileGrid[GridRows][GridCells];
int FieldGrid[GridRows][GridCells];
int TileGrid[GridRows][GridCells];
int StageGrid[GridRows][GridCells];

namespace {

// Spawn codes start at this file value.
constexpr int FirstSpawnValue = 50;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// One value as scanf's "%02d" reads it: white space skipped, then at most
// two characters, an optional sign counting as one. The character that
// ends a value is left in the stream. False at the end of the file or on a
// character that does not start a number. The stream is read by one
// thread only, so without taking its lock for every character.
bool ReadTwoCharInt(std::FILE* f, int* out) {
    int c;
    do c = getc_unlocked(f); while (IsSpace(c));
    if (c == EOF) return false;
    int width = 2;
    int sign = 1;
    if (c == '-' || c == '+') {
        sign = c == '-' ? -1 : 1;
        --width;
        c = getc_unlocked(f);
    }
    if (!IsDigit(c)) return false;  // a lone sign or a non-numeric character
    int value = 0;
    while (width > 0 && IsDigit(c)) {
        value = value * 10 + (c - '0');
        --width;
        if (width > 0) c = getc_unlocked(f);
        else c = EOF;  // width used up: nothing more belongs to this value
    }
    if (c != EOF) std::ungetc(c, f);
    *out = sign * value;
    return true;
}

}  // namespace

void ClearStageGrids() {
    // All bits set is -1: no spawn.
    std::memset(FileGrid, 0, sizeof FileGrid);
    std::memset(FieldGrid, 0, sizeof FieldGrid);
    std::memset(TileGrid, 0, sizeof TileGrid);
    std::memset(StageGrid, 0xFF, sizeof StageGrid);
}

int ReadStageStream(std::FILE* f) {
    ClearStageGrids();
    if (!f) return -1;

    // As with "%02d", the first value that cannot be read ends the whole
    // read: a header value the file does not hold reads as 0, and nothing
    // after it is looked at, so the body never starts off its place.
    int kind = 0, groundRow = 0;
    bool readOn = ReadTwoCharInt(f, &kind) && ReadTwoCharInt(f, &groundRow);
    GameState.StageKind = kind;
    GameState.GroundRow = groundRow;

    int k = 0;
    while (readOn && k / GridCells < GridRows) {
        int value = 0;
        if (!ReadTwoCharInt(f, &value)) break;
        FileGrid[k / GridCells][k % GridCells] = value;
        ++k;
    }

    // Only complete rows become field and spawn codes; the first value of
    // a row is its bottom cell.
    for (int r = 0; r < k / GridCells; ++r) {
        for (int p = 0; p < GridCells; ++p) {
            int value = FileGrid[r][p];
            FieldGrid[r][GridCells - 1 - p] = value;
            if (value >= FirstSpawnValue) StageGrid[r][GridCells - 1 - p] = value - FirstSpawnValue;
        }
    }
    return k;
}

int ReadStageFileAt(const char* path) {
    std::FILE* f = OpenRegularFileForReading(path);
    if (!f) {
        int error = errno;
        ClearStageGrids();
        char line[512];
        std::snprintf(line, sizeof line, "右記のステージファイルを読めませんでした：%s (%s)", path ? path : "",
                      error == EINVAL ? "not a regular file" : std::strerror(error));
        WriteLogLine(line);
        return -1;
    }
    int k = ReadStageStream(f);
    if (std::ferror(f)) {
        char line[512];
        std::snprintf(line, sizeof line, "右記のステージファイルの途中で読み込みに失敗しました：%s", path);
        WriteLogLine(line);
    }
    std::fclose(f);
    return k;
}

void ReadStageFile(const char* name) {
    char path[300];
    std::snprintf(path, sizeof path, "./data/%s.dat", name ? name : "");
    char inFolder[4096];
    ReadStageFileAt(ResolveDataPath(path, inFolder, sizeof inFolder) == 0 ? inFolder : "");
}
