// Stage files and the four stage grids.
//
// A stage file is text: two header values (StageKind, GroundRow), then up to
// 320 rows of 16 values, each row one 16-pixel strip of the world from left
// to right, its first value the bottom cell. Every value is read as at most
// two characters ("%02d": a sign counts as one), so "123" reads 12, then 3.
#pragma once

#include <cstdio>

constexpr int GridRows = 320;
constexpr int GridCells = 16;
constexpr int GridValueLimit = GridRows * GridCells;  // 5120 body values

// Indexed [row][cell]; row r covers world x 16r..16r+15, cell c world
// y 16c..16c+15, cell 0 at the top.
extern int FileGrid[GridRows][GridCells];   // values in file order, [k/16][k%16]
extern int FieldGrid[GridRows][GridCells];  // field codes, cell = 15 - position
extern int TileGrid[GridRows][GridCells];   // drawn tiles, filled by SetUpField
extern int StageGrid[GridRows][GridCells];  // spawn codes (value - 50), -1 none

// Clears the grids, reads "./data/<name>.dat" and fills the grids and
// GameState.StageKind / GroundRow. A missing file leaves the grids cleared
// and the header fields unchanged; a header value the file lacks reads as 0.
void ReadStageFile(const char* name);
// The same with a full path (tools, tests). Returns the number of body
// values read, or -1 when the file cannot be opened. A file that cannot be
// opened or read is named in the log.
int ReadStageFileAt(const char* path);
// The same from an open stream (not closed here); -1 for null.
int ReadStageStream(std::FILE* f);
// Clears the four grids (StageGrid to -1, the others to 0).
void ClearStageGrids();
