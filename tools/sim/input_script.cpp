// Input script parsing and playback onto the headless keyboard and pad.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/platform/headless/headless.h"
#include "tools/sim/input_script.h"

namespace {

struct NamedInput {
    const char* name;
    ScriptInput input;
};

// Windows virtual-key codes.
const NamedInput NamedKeys[] = {
    {"up", {ScriptKey, 0x26}},    {"down", {ScriptKey, 0x28}}, {"left", {ScriptKey, 0x25}},
    {"right", {ScriptKey, 0x27}}, {"z", {ScriptKey, 0x5A}},    {"x", {ScriptKey, 0x58}},
    {"enter", {ScriptKey, 0x0D}}, {"esc", {ScriptKey, 0x1B}},  {"space", {ScriptKey, 0x20}},
    {"c", {ScriptKey, 0x43}},     {"a", {ScriptKey, 0x41}},    {"s", {ScriptKey, 0x53}},
    {"q", {ScriptKey, 0x51}},     {"w", {ScriptKey, 0x57}},
    {"padup", {ScriptPadDirection, 0}},   {"paddown", {ScriptPadDirection, 1}},
    {"padleft", {ScriptPadDirection, 2}}, {"padright", {ScriptPadDirection, 3}},
};
constexpr int NamedKeyCount = (int)(sizeof NamedKeys / sizeof NamedKeys[0]);
constexpr int PadButtonCount = 24;

char g_PadNames[PadButtonCount][8];
ScriptInput g_PadInputs[PadButtonCount];

void BuildPadNames() {
    if (g_PadNames[0][0]) return;
    for (int i = 0; i < PadButtonCount; ++i) {
        std::snprintf(g_PadNames[i], sizeof g_PadNames[i], "pad%d", i);
        g_PadInputs[i] = {ScriptPadButton, i};
    }
}

bool ParseFrame(const char*& p, int* value) {
    if (!std::isdigit((unsigned char)*p)) return false;
    long v = 0;
    while (std::isdigit((unsigned char)*p)) {
        v = v * 10 + (*p++ - '0');
        if (v > 1000000000L) return false;
    }
    *value = (int)v;
    return true;
}

}  // namespace

int ScriptInputCount() { return NamedKeyCount + PadButtonCount; }

const char* ScriptInputName(int index) {
    BuildPadNames();
    if (index < 0 || index >= ScriptInputCount()) return "";
    return index < NamedKeyCount ? NamedKeys[index].name : g_PadNames[index - NamedKeyCount];
}

const ScriptInput& ScriptInputAt(int index) {
    BuildPadNames();
    if (index < 0 || index >= ScriptInputCount()) index = 0;
    return index < NamedKeyCount ? NamedKeys[index].input : g_PadInputs[index - NamedKeyCount];
}

int FindScriptInput(const char* name) {
    for (int i = 0; i < ScriptInputCount(); ++i)
        if (std::strcmp(ScriptInputName(i), name) == 0) return i;
    return -1;
}

bool ParseInputScript(const std::string& text, InputScript* script, std::string* error) {
    script->holds.clear();
    script->usesPad = false;
    size_t pos = 0;
    int lineNumber = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        const char* p = line.c_str();
        while (std::isspace((unsigned char)*p)) ++p;
        if (!*p) {
            if (end == text.size()) break;
            continue;
        }
        auto fail = [&](const std::string& why) {
            *error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        int first = 0, last = 0;
        if (!ParseFrame(p, &first)) return fail("expected a frame number");
        last = first;
        if (*p == '-') {
            ++p;
            if (!ParseFrame(p, &last)) return fail("expected the last frame after '-'");
            if (last < first) return fail("the range ends before it starts");
        }
        if (*p && !std::isspace((unsigned char)*p)) return fail("expected a blank after the frames");
        int keys = 0;
        bool tap = false;
        for (;;) {
            while (std::isspace((unsigned char)*p)) ++p;
            if (!*p) break;
            const char* start = p;
            while (*p && !std::isspace((unsigned char)*p)) ++p;
            std::string name(start, p);
            for (char& c : name) c = (char)std::tolower((unsigned char)c);
            if (name == "tap" && keys == 0 && !tap) {
                tap = true;
                continue;
            }
            int index = FindScriptInput(name.c_str());
            if (index < 0) return fail("unknown key \"" + name + "\"");
            if (tap && ScriptInputAt(index).kind == ScriptPadDirection)
                return fail("the stick cannot be tapped (\"" + name + "\")");
            if (ScriptInputAt(index).kind != ScriptKey) script->usesPad = true;
            script->holds.push_back({first, last, index, tap});
            ++keys;
        }
        if (!keys) return fail("no keys named");
        if (end == text.size()) break;
    }
    return true;
}

void ApplyInputScript(const InputScript& script, int frame, std::vector<char>* held) {
    int count = ScriptInputCount();
    std::vector<char>& state = *held;
    if ((int)state.size() != count) state.assign((size_t)count, 0);
    char down[64] = {};
    for (const ScriptHold& h : script.holds) {
        if (frame < h.first || frame > h.last || h.input < 0 || h.input >= count) continue;
        if (!h.tap) {
            down[h.input] = 1;
            continue;
        }
        const ScriptInput& in = ScriptInputAt(h.input);
        if (in.kind == ScriptKey)
            HeadlessTapKey(in.code);
        else if (in.kind == ScriptPadButton)
            HeadlessTapJoystickButton(0, in.code);
    }
    bool directionChanged = false;
    for (int i = 0; i < count; ++i) {
        if (down[i] == state[i]) continue;
        state[i] = down[i];
        const ScriptInput& in = ScriptInputAt(i);
        if (in.kind == ScriptKey) {
            HeadlessSetKey(in.code, down[i]);
        } else if (in.kind == ScriptPadButton) {
            HeadlessSetJoystickButton(0, in.code, down[i]);
        } else {
            directionChanged = true;
        }
    }
    if (directionChanged) {
        auto isDown = [&](int direction) {
            for (int i = 0; i < count; ++i) {
                const ScriptInput& in = ScriptInputAt(i);
                if (in.kind == ScriptPadDirection && in.code == direction && state[i]) return true;
            }
            return false;
        };
        int x = (isDown(2) ? -32768 : 0) + (isDown(3) ? 32767 : 0);
        int y = (isDown(0) ? -32768 : 0) + (isDown(1) ? 32767 : 0);
        HeadlessSetJoystickAxis(0, 0, x);
        HeadlessSetJoystickAxis(0, 1, y);
    }
}
