// Stage sources: the readable form of a stage file.
//
//   # comment lines (before "map" only)
//   StageKind 2
//   GroundRow 2
//   legend # 1 ground          one character, its file value, a note
//   map
//   16 lines, top of the screen first, one character per 16-pixel strip
//
// Lines shorter than 320 characters are padded with empty cells. Without a
// legend line a character keeps its default meaning (DefaultLegend).
#pragma once

#include <string>
#include <vector>

#include "game/world/stage_file.h"

struct LegendEntry {
    char symbol;
    int value;
    const char* note;
};

extern const LegendEntry DefaultLegend[];
extern const int DefaultLegendCount;

struct StageSource {
    int stageKind = 0;
    int groundRow = 0;
    // values[row][cell], cell 0 at the top, as the field sees them
    int values[GridRows][GridCells] = {};
};

// Parses a source text; on failure returns false and names the fault
// (with its line) in *error.
bool ParseStageSource(const std::string& text, StageSource* out, std::string* error);
bool ReadTextFile(const std::string& path, std::string* out);
bool WriteTextFile(const std::string& path, const std::string& text);
// The stage file text: header values, then 320 lines of 16 values, each
// line bottom cell first.
std::string StageFileText(const StageSource& s);
// A source text for the values, with the default legend plus a made-up
// character for every value it lacks. Returns false when more distinct
// values occur than there are characters left.
bool StageSourceText(const StageSource& s, const std::string& title, std::string* out);
// A strip of a pit: nothing solid in its bottom cell and no solid cell with
// room above it to stand on (a roof, or a ceiling hanging from it, is no
// footing).
bool PitStrip(const StageSource& s, int row);
// Loads either form: a source (any name not ending in .dat) or a stage file.
bool LoadStageAny(const std::string& path, StageSource* out, std::string* error);
