#include "stage_source.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "game/shell/game_state.h"

const LegendEntry DefaultLegend[] = {
    {'.', 0, "empty"},         {'#', 1, "ground"},       {'B', 2, "breakable block"},
    {'C', 3, "block with a coin"}, {'K', 4, "block with a key"}, {'H', 5, "hidden block"},
    {'$', 10, "coin"},         {'*', 11, "key"},         {'D', 49, "exit door"},
    {'a', 50, "enemy kind 0"}, {'b', 51, "enemy kind 1"}, {'c', 52, "enemy kind 2"},
    {'d', 53, "enemy kind 3"}, {'e', 54, "enemy kind 4"}, {'f', 55, "enemy kind 5"},
    {'g', 56, "enemy kind 6"}, {'h', 57, "enemy kind 7"}, {'i', 58, "enemy kind 8"},
    {'j', 59, "enemy kind 9"}, {'k', 60, "enemy kind 10"}, {'l', 61, "enemy kind 11"},
    {'m', 62, "enemy kind 12"}, {'n', 63, "enemy kind 13"}, {'o', 64, "enemy kind 14"},
    {'p', 65, "enemy kind 15"}, {'q', 66, "enemy kind 16"}, {'r', 67, "enemy kind 17"},
    {'s', 68, "enemy kind 18"}, {'t', 69, "enemy kind 19"}, {'u', 70, "enemy kind 20"},
    {'v', 71, "enemy kind 21"}, {'w', 72, "enemy kind 22"}, {'x', 73, "enemy kind 23"},
    {'y', 80, "enemy kind 30 (drifting shot)"}, {'%', 98, "extra-stage boss"},
    {'&', 99, "last-stage boss"},
};
const int DefaultLegendCount = sizeof(DefaultLegend) / sizeof(DefaultLegend[0]);

namespace {

bool Fail(std::string* error, int line, const std::string& what) {
    *error = "line " + std::to_string(line) + ": " + what;
    return false;
}

bool ParseInt(const std::string& word, int* out) {
    if (word.empty() || word.size() > 4) return false;
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0') return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

bool ParseStageSource(const std::string& text, StageSource* out, std::string* error) {
    *out = StageSource{};
    int legend[256];
    for (int& v : legend) v = -1000;
    for (int i = 0; i < DefaultLegendCount; ++i) legend[static_cast<unsigned char>(DefaultLegend[i].symbol)] = DefaultLegend[i].value;

    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    bool haveKind = false, haveGround = false, inMap = false;
    int mapLine = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (inMap) {
            if (mapLine >= GridCells) {
                if (line.find_first_not_of(" \t") == std::string::npos) continue;
                return Fail(error, lineNo, "more than 16 map lines");
            }
            if (line.size() > static_cast<size_t>(GridRows)) return Fail(error, lineNo, "map line longer than 320 cells");
            for (size_t r = 0; r < line.size(); ++r) {
                const int v = legend[static_cast<unsigned char>(line[r])];
                if (v == -1000) return Fail(error, lineNo, std::string("character '") + line[r] + "' at column " + std::to_string(r + 1) + " has no legend");
                out->values[r][mapLine] = v;
            }
            ++mapLine;
            continue;
        }
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#') continue;
        if (key == "map") {
            inMap = true;
        } else if (key == "StageKind" || key == "GroundRow") {
            std::string w;
            int v = 0;
            if (!(words >> w) || !ParseInt(w, &v) || v < -9 || v > 99) return Fail(error, lineNo, key + " needs a value from -9 to 99");
            (key == "StageKind" ? out->stageKind : out->groundRow) = v;
            (key == "StageKind" ? haveKind : haveGround) = true;
        } else if (key == "legend") {
            std::string sym, w;
            int v = 0;
            if (!(words >> sym >> w) || sym.size() != 1 || !ParseInt(w, &v)) return Fail(error, lineNo, "legend needs a character and a value");
            if (v < -9 || v > 99) return Fail(error, lineNo, "legend value outside -9..99 cannot be stored");
            legend[static_cast<unsigned char>(sym[0])] = v;
        } else {
            return Fail(error, lineNo, "unknown header '" + key + "'");
        }
    }
    if (!haveKind || !haveGround) return Fail(error, lineNo, "StageKind and GroundRow are both needed");
    if (!inMap) return Fail(error, lineNo, "no map");
    if (mapLine != GridCells) return Fail(error, lineNo, "the map needs 16 lines, found " + std::to_string(mapLine));
    return true;
}

bool ReadTextFile(const std::string& path, std::string* out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::ostringstream s;
    s << f.rdbuf();
    *out = s.str();
    return true;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f << text;
    return static_cast<bool>(f.flush());
}

std::string StageFileText(const StageSource& s) {
    std::string t = std::to_string(s.stageKind) + "\n" + std::to_string(s.groundRow) + "\n";
    for (int r = 0; r < GridRows; ++r) {
        for (int p = 0; p < GridCells; ++p) {
            if (p) t += ' ';
            t += std::to_string(s.values[r][GridCells - 1 - p]);
        }
        t += '\n';
    }
    return t;
}

bool StageSourceText(const StageSource& s, const std::string& title, std::string* out) {
    std::map<int, char> symbolOf;
    std::map<int, std::string> noteOf;
    std::set<char> taken;
    for (int i = 0; i < DefaultLegendCount; ++i) {
        symbolOf[DefaultLegend[i].value] = DefaultLegend[i].symbol;
        noteOf[DefaultLegend[i].value] = DefaultLegend[i].note;
        taken.insert(DefaultLegend[i].symbol);
    }
    const std::string spare = "0123456789AEFGIJLMNOPQRSTUVWXYZz!+-=@^~<>?/|:;,'\"()[]{}_`";
    size_t next = 0;
    std::set<int> used;
    for (int r = 0; r < GridRows; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            const int v = s.values[r][c];
            used.insert(v);
            if (symbolOf.count(v)) continue;
            while (next < spare.size() && taken.count(spare[next])) ++next;
            if (next >= spare.size()) return false;
            symbolOf[v] = spare[next];
            noteOf[v] = "value " + std::to_string(v);
            taken.insert(spare[next]);
        }
    }
    std::string t = "# " + title + "\nStageKind " + std::to_string(s.stageKind) + "\nGroundRow " + std::to_string(s.groundRow) + "\n";
    for (int v : used) t += std::string("legend ") + symbolOf[v] + " " + std::to_string(v) + " " + noteOf[v] + "\n";
    t += "map\n";
    for (int c = 0; c < GridCells; ++c) {
        std::string line;
        for (int r = 0; r < GridRows; ++r) line += symbolOf[s.values[r][c]];
        while (!line.empty() && line.back() == '.') line.pop_back();
        t += line + "\n";
    }
    *out = t;
    return true;
}

bool LoadStageAny(const std::string& path, StageSource* out, std::string* error) {
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".dat") == 0) {
        const int keepKind = GameState.StageKind, keepGround = GameState.GroundRow;
        GameState.StageKind = 0;
        GameState.GroundRow = 0;
        ClearStageGrids();
        const int n = ReadStageFileAt(path.c_str());
        if (n < 0) {
            *error = "cannot open " + path;
            return false;
        }
        *out = StageSource{};
        out->stageKind = GameState.StageKind;
        out->groundRow = GameState.GroundRow;
        for (int r = 0; r < n / GridCells; ++r)
            for (int p = 0; p < GridCells; ++p) out->values[r][GridCells - 1 - p] = FileGrid[r][p];
        GameState.StageKind = keepKind;
        GameState.GroundRow = keepGround;
        return true;
    }
    std::string text;
    if (!ReadTextFile(path, &text)) {
        *error = "cannot open " + path;
        return false;
    }
    return ParseStageSource(text, out, error);
}

bool PitStrip(const StageSource& s, int row) {
    auto solid = [&](int c) { return s.values[row][c] >= 1 && s.values[row][c] <= 5; };
    if (row < 0 || row >= GridRows) return false;
    if (solid(GridCells - 1)) return false;
    for (int c = 1; c < GridCells; ++c)
        if (solid(c) && !solid(c - 1)) return false;
    return true;
}
