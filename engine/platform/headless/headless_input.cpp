// Headless backend: scripted keyboard and joysticks.
#include <cstdio>
#include <cstring>

#include "engine/platform/headless/headless.h"
#include "engine/platform/platform.h"

void HeadlessResetInput();

namespace {

struct Pad {
    PlatformJoystickInfo info;
    PlatformJoystickState state;
    uint32_t tapped;  // buttons tapped since the last keyboard sample
    uint32_t sampledTaps;  // those of the last sample
    int readFails;
    int reads;
};

struct Input {
    uint8_t keys[256];
    uint8_t tapped[256];  // keys tapped since the last sample
    int keyboardReads;
    int padCount;
    int padChanges;
    Pad pads[PlatformMaxJoysticks];
};
Input g_In;

bool ValidPad(int pad) { return pad >= 0 && pad < PlatformMaxJoysticks; }

void MakePad(int index) {
    Pad& pad = g_In.pads[index];
    std::memset(&pad, 0, sizeof pad);
    std::snprintf(pad.info.name, sizeof pad.info.name, "Headless Pad %d", index + 1);
    pad.info.axes = 6;
    pad.info.buttons = PlatformMaxJoyButtons;
    pad.info.hats = 1;
    pad.state.hat = -1;
}

}  // namespace

void HeadlessResetInput() {
    std::memset(&g_In, 0, sizeof g_In);
    for (int i = 0; i < PlatformMaxJoysticks; ++i) MakePad(i);
}

void HeadlessSetKey(int virtualKey, int down) {
    if (virtualKey < 0 || virtualKey > 255) return;
    g_In.keys[virtualKey] = down ? 0x80 : 0;
}
void HeadlessTapKey(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return;
    g_In.tapped[virtualKey] = 0x80;
}
void HeadlessClearKeys() {
    std::memset(g_In.keys, 0, sizeof g_In.keys);
    std::memset(g_In.tapped, 0, sizeof g_In.tapped);
}
int HeadlessKeyboardReadCount() { return g_In.keyboardReads; }

void HeadlessSetJoystickCount(int count) {
    if (count < 0) count = 0;
    if (count > PlatformMaxJoysticks) count = PlatformMaxJoysticks;
    // Pads beyond the old count are new: they start centred.
    for (int i = g_In.padCount; i < count; ++i) MakePad(i);
    if (count != g_In.padCount) ++g_In.padChanges;
    g_In.padCount = count;
}

void HeadlessSetJoystickAxis(int pad, int axis, int value) {
    if (!ValidPad(pad) || axis < 0 || axis >= 6) return;
    if (value < -32768) value = -32768;
    if (value > 32767) value = 32767;
    g_In.pads[pad].state.axis[axis] = value;
}

void HeadlessSetJoystickButton(int pad, int button, int down) {
    if (!ValidPad(pad) || button < 0 || button >= PlatformMaxJoyButtons) return;
    g_In.pads[pad].state.button[button] = down ? 1 : 0;
}

void HeadlessTapJoystickButton(int pad, int button) {
    if (!ValidPad(pad) || button < 0 || button >= PlatformMaxJoyButtons) return;
    g_In.pads[pad].tapped |= 1u << button;
}

void HeadlessSetJoystickHat(int pad, int value) {
    if (!ValidPad(pad)) return;
    g_In.pads[pad].state.hat = value;
}

void HeadlessSetJoystickShape(int pad, const char* name, int axes, int buttons, int hats) {
    if (!ValidPad(pad)) return;
    PlatformJoystickInfo& info = g_In.pads[pad].info;
    if (name) std::snprintf(info.name, sizeof info.name, "%s", name);
    info.axes = axes < 0 ? 0 : (axes > 6 ? 6 : axes);
    info.buttons = buttons < 0 ? 0 : buttons;
    info.hats = hats < 0 ? 0 : hats;
}

void HeadlessSetJoystickReadFails(int pad, int fail) {
    if (ValidPad(pad)) g_In.pads[pad].readFails = fail ? 1 : 0;
}

int HeadlessJoystickReadCount(int pad) { return ValidPad(pad) ? g_In.pads[pad].reads : 0; }

// ---------------------------------------------------------------- platform

void PlatformGetKeyboardState(uint8_t state[256]) {
    ++g_In.keyboardReads;
    if (state)
        for (int i = 0; i < 256; ++i) state[i] = (uint8_t)(g_In.keys[i] | g_In.tapped[i]);
    std::memset(g_In.tapped, 0, sizeof g_In.tapped);
    for (Pad& pad : g_In.pads) {
        pad.sampledTaps = pad.tapped;
        pad.tapped = 0;
    }
}

int PlatformJoystickCount() { return g_In.padCount; }
int PlatformJoystickChangeCount() { return g_In.padChanges; }
int PlatformAddControllerMappings(const char*) { return 0; }

int PlatformJoystickGetInfo(int index, PlatformJoystickInfo* info) {
    if (index < 0 || index >= g_In.padCount || !info) return -1;
    *info = g_In.pads[index].info;
    return 0;
}

int PlatformJoystickRead(int index, PlatformJoystickState* state) {
    if (index < 0 || index >= g_In.padCount || !state) return -1;
    Pad& pad = g_In.pads[index];
    if (pad.readFails) return -1;
    *state = pad.state;
    // Axes the pad does not have read as centred, buttons beyond its count up.
    for (int a = pad.info.axes; a < 6; ++a) state->axis[a] = 0;
    for (int b = 0; b < PlatformMaxJoyButtons; ++b)
        if (pad.sampledTaps & (1u << b)) state->button[b] = 1;
    for (int b = pad.info.buttons; b < PlatformMaxJoyButtons; ++b) state->button[b] = 0;
    if (pad.info.hats == 0) state->hat = -1;
    ++pad.reads;
    return 0;
}
