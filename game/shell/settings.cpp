#include "game/shell/settings.h"
#include "game/world/regular_file.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/engine.h"

int MusicVolumePercent = 100;
int EffectVolumePercent = 100;

namespace {

struct KeyName {
    const char* name;
    int code;  // keyboard scan code
};

// Names first in each group are the ones the game writes.
constexpr KeyName KeyNames[] = {
    {"A", 30}, {"B", 48}, {"C", 46}, {"D", 32}, {"E", 18}, {"F", 33}, {"G", 34}, {"H", 35},
    {"I", 23}, {"J", 36}, {"K", 37}, {"L", 38}, {"M", 50}, {"N", 49}, {"O", 24}, {"P", 25},
    {"Q", 16}, {"R", 19}, {"S", 31}, {"T", 20}, {"U", 22}, {"V", 47}, {"W", 17}, {"X", 45},
    {"Y", 21}, {"Z", 44},
    {"1", 2}, {"2", 3}, {"3", 4}, {"4", 5}, {"5", 6}, {"6", 7}, {"7", 8}, {"8", 9}, {"9", 10}, {"0", 11},
    {"Up", 200}, {"Down", 208}, {"Left", 203}, {"Right", 205},
    {"Enter", 28}, {"Return", 28}, {"Space", 57}, {"Tab", 15}, {"Backspace", 14},
    {"LShift", 42}, {"RShift", 54}, {"LCtrl", 29}, {"RCtrl", 157}, {"LAlt", 56}, {"RAlt", 184},
    {"Insert", 210}, {"Delete", 211}, {"Home", 199}, {"End", 207}, {"PageUp", 201}, {"PageDown", 209},
    {"Minus", 12}, {"Comma", 51}, {"Period", 52}, {"Slash", 53}, {"Semicolon", 39},
    {"F1", 59}, {"F2", 60}, {"F3", 61}, {"F4", 62}, {"F5", 63}, {"F6", 64}, {"F7", 65},
    {"F8", 66}, {"F9", 67}, {"F10", 68}, {"F12", 88},
    {"KP0", 82}, {"KP1", 79}, {"KP2", 80}, {"KP3", 81}, {"KP4", 75}, {"KP5", 76}, {"KP6", 77},
    {"KP7", 71}, {"KP8", 72}, {"KP9", 73}, {"KPEnter", 156}, {"KPPlus", 78}, {"KPMinus", 74},
    {"KPMultiply", 55}, {"KPDivide", 181}, {"KPPeriod", 83},
};

// The setting names of the seven latches, in LatchButtons order.
constexpr const char* ActionNames[LatchCount] = {"up", "down", "left", "right", "confirm", "jump", "drill"};

std::string Lower(std::string s) {
    for (char& c : s) c = (char)std::tolower((unsigned char)c);
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace((unsigned char)s[a])) ++a;
    while (b > a && std::isspace((unsigned char)s[b - 1])) --b;
    return s.substr(a, b - a);
}

// Whole decimal number in [low, high]; false for anything else.
bool ParseInt(const std::string& text, int low, int high, int* out) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    *out = v;
    return true;
}

bool ParseFlag(const std::string& text, int* out) {
    std::string v = Lower(text);
    if (v == "yes" || v == "true" || v == "on" || v == "1") return *out = 1, true;
    if (v == "no" || v == "false" || v == "off" || v == "0") return *out = 0, true;
    return false;
}

// "WIDTHxHEIGHT".
bool ParseSize(const std::string& text, int* w, int* h) {
    size_t x = Lower(text).find('x');
    if (x == std::string::npos) return false;
    return ParseInt(Trim(text.substr(0, x)), 256, 16384, w) && ParseInt(Trim(text.substr(x + 1)), 256, 16384, h);
}

// The line's setting name, lower case, when it is a "name = value" line.
bool SplitLine(const std::string& raw, std::string* name, std::string* value) {
    std::string line = raw;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    line = Trim(line);
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    *name = Lower(Trim(line.substr(0, eq)));
    *value = Trim(line.substr(eq + 1));
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string SettingsPath() {
    char folder[4096];
    if (GetUserFolder(UserFolderConfig, folder, sizeof folder) != 0) return "";
    return std::string(folder) + "/quellbore.ini";
}

// A settings file is a few lines; more than this is not one.
constexpr size_t MaxSettingsBytes = 1 << 20;

// Reads a regular file whole (a FIFO in its place is refused, not waited on).
bool ReadWhole(const std::string& path, std::string* text) {
    std::FILE* f = OpenRegularFileForReading(path.c_str());
    if (!f) return false;
    text->clear();
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text->size() < MaxSettingsBytes) text->append(chunk, n);
    bool ok = !std::ferror(f) && text->size() <= MaxSettingsBytes;
    std::fclose(f);
    return ok;
}

struct Session {
    bool active = false;  // the start read the folder: write back at the end
    std::string path;
    std::string text;     // as read (or as first written)
};
Session g_Session;

}  // namespace

int KeyCodeFromName(const std::string& name) {
    std::string want = Lower(name);
    for (const KeyName& k : KeyNames)
        if (Lower(k.name) == want) return k.code;
    return 0;
}

const char* KeyNameFromCode(int code) {
    for (const KeyName& k : KeyNames)
        if (k.code == code) return k.name;
    return "";
}

Settings DefaultSettings() {
    Settings s;
    s.keys = DefaultLatchKeys();
    return s;
}

Settings ParseSettings(const std::string& text, std::vector<std::string>* problems) {
    Settings s = DefaultSettings();
    std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        auto problem = [&](const std::string& why) {
            if (problems) problems->push_back("line " + std::to_string(i + 1) + ": " + why);
        };
        std::string body = lines[i];
        size_t hash = body.find('#');
        if (hash != std::string::npos) body.resize(hash);
        body = Trim(body);
        if (body.empty() || body[0] == ';' || (body.front() == '[' && body.back() == ']')) continue;
        std::string name, value;
        if (!SplitLine(lines[i], &name, &value)) {
            problem("expected \"name = value\"");
            continue;
        }
        int action = -1;
        for (int a = 0; a < LatchCount; ++a)
            if (name == ActionNames[a]) action = a;
        if (action >= 0) {
            int codes[LatchMaxKeys];
            int n = 0;
            bool ok = true;
            std::string word;
            std::istringstream words(value);
            while (ok && words >> word) {
                for (std::string part; !word.empty();) {
                    size_t comma = word.find(',');
                    part = word.substr(0, comma);
                    word = comma == std::string::npos ? "" : word.substr(comma + 1);
                    if (part.empty()) continue;
                    int code = KeyCodeFromName(part);
                    if (Lower(part) == "escape" || Lower(part) == "esc") {
                        problem("Escape always quits the game and cannot be bound");
                        ok = false;
                    } else if (code == 0) {
                        problem("unknown key \"" + part + "\"");
                        ok = false;
                    } else if (n >= LatchMaxKeys) {
                        problem("at most " + std::to_string(LatchMaxKeys) + " keys for " + name);
                        ok = false;
                    } else {
                        codes[n++] = code;
                    }
                    if (!ok) break;
                }
            }
            if (ok && n == 0) {
                problem("no key named for " + name);
                ok = false;
            }
            if (!ok) continue;
            for (int k = 0; k < n; ++k) s.keys.codes[action][k] = codes[k];
            s.keys.count[action] = n;
        } else if (name == "fullscreen") {
            if (!ParseFlag(value, &s.fullscreen)) problem("fullscreen is yes or no, not \"" + value + "\"");
        } else if (name == "scale") {
            if (!ParseInt(value, 1, 16, &s.scale)) problem("scale is a whole number from 1 to 16, not \"" + value + "\"");
        } else if (name == "window") {
            int w = 0, h = 0;
            if (ParseSize(value, &w, &h)) {
                s.windowWidth = w;
                s.windowHeight = h;
            } else {
                problem("window is WIDTHxHEIGHT, each 256 to 16384, not \"" + value + "\"");
            }
        } else if (name == "music_volume" || name == "effect_volume") {
            int* out = name == "music_volume" ? &s.musicVolume : &s.effectVolume;
            if (!ParseInt(value, 0, 100, out)) problem(name + " is a percentage from 0 to 100, not \"" + value + "\"");
        } else {
            problem("unknown setting \"" + name + "\"");
        }
    }
    return s;
}

std::string DefaultSettingsText() {
    Settings d = DefaultSettings();
    std::string t =
        "# Quellbore settings. Lines are \"name = value\"; '#' starts a comment.\n"
        "# Keys: one to four key names each, e.g. \"jump = Z Space\".\n";
    for (int a = 0; a < LatchCount; ++a) {
        t += ActionNames[a];
        t += " = ";
        for (int k = 0; k < d.keys.count[a]; ++k) {
            if (k) t += ' ';
            t += KeyNameFromCode(d.keys.codes[a][k]);
        }
        t += '\n';
    }
    t += "# yes: cover the screen (F11 or Alt+Enter switch while playing).\n"
         "fullscreen = no\n"
         "# The window's size as a whole multiple of the 256 x 256 picture.\n"
         "scale = 2\n"
         "# Volumes in percent, 0 to 100.\n"
         "music_volume = 100\n"
         "effect_volume = 100\n";
    return t;
}

std::string UpdateSettingsText(const std::string& text, int fullscreen, int windowWidth, int windowHeight) {
    Settings s = ParseSettings(text, nullptr);
    bool plainScale = windowWidth == windowHeight && windowWidth == 256 * s.scale;
    std::string flag = fullscreen ? "yes" : "no";
    std::string size = std::to_string(windowWidth) + "x" + std::to_string(windowHeight);
    std::vector<std::string> lines = Lines(text);
    std::string out;
    bool wroteFlag = false, wroteSize = false;
    for (const std::string& line : lines) {
        std::string name, value;
        if (SplitLine(line, &name, &value) && (name == "fullscreen" || name == "window")) {
            bool isFlag = name == "fullscreen";
            if (!isFlag && (plainScale || wroteSize)) continue;  // dropped
            if (isFlag && wroteFlag) continue;
            // The value is replaced; a comment after it stays.
            size_t eq = line.find('=');
            size_t hash = line.find('#', eq);
            std::string comment = hash == std::string::npos ? "" : "  " + line.substr(hash);
            out += line.substr(0, eq) + "= " + (isFlag ? flag : size) + comment + "\n";
            (isFlag ? wroteFlag : wroteSize) = true;
            continue;
        }
        out += line + "\n";
    }
    if (!wroteFlag) out += "fullscreen = " + flag + "\n";
    if (!wroteSize && !plainScale) out += "window = " + size + "\n";
    return out;
}

void ApplySettingsAtStart() {
    g_Session = Session{};
    std::string path = SettingsPath();
    if (path.empty()) return;  // no home: the defaults, nothing written
    std::string text;
    bool found = ReadWhole(path, &text);
    g_Session.active = true;
    g_Session.path = path;
    // Without a file, the one written at the end starts from the defaults.
    g_Session.text = found ? text : "";
    if (!found) text = DefaultSettingsText();
    std::vector<std::string> problems;
    Settings s = ParseSettings(text, &problems);
    for (const std::string& p : problems)
        std::fprintf(stderr, "quellbore: %s, %s (ignored)\n", path.c_str(), p.c_str());
    SetLatchKeys(s.keys);
    if (s.fullscreen) ChangeWindowMode(0);
    if (s.windowWidth > 0)
        SetWindowScale((s.windowWidth + 0.5) / 256.0, (s.windowHeight + 0.5) / 256.0);
    else if (s.scale != 2)
        SetWindowScale(s.scale, -1.0);
    MusicVolumePercent = s.musicVolume;
    EffectVolumePercent = s.effectVolume;
    // Extra controller layouts, in SDL's mapping text, beside the settings.
    std::string mappings = path.substr(0, path.size() - std::strlen("quellbore.ini")) + "gamecontrollerdb.txt";
    if (std::FILE* f = OpenRegularFileForReading(mappings.c_str())) {
        std::fclose(f);
        SetControllerMappingFile(mappings.c_str());
    }
}

void UseDefaultSettings() {
    g_Session = Session{};
    SetLatchKeys(DefaultLatchKeys());
    MusicVolumePercent = 100;
    EffectVolumePercent = 100;
}

void SaveSettingsAtEnd() {
    if (!g_Session.active) return;
    int w = 0, h = 0;
    if (GetWindowClientSize(&w, &h) != 0) return;
    bool found = !g_Session.text.empty();
    std::string text = UpdateSettingsText(found ? g_Session.text : DefaultSettingsText(),
                                          GetWindowMode() == 0 ? 1 : 0, w, h);
    if (found && text == g_Session.text) return;
    // A new file beside the old one, then moved over it: never half a file.
    std::string temp = g_Session.path + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out || !(out << text) || !out.flush()) {
            std::remove(temp.c_str());
            return;
        }
    }
    if (std::rename(temp.c_str(), g_Session.path.c_str()) != 0) std::remove(temp.c_str());
}
