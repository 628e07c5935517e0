// SDL2 backend: the virtual-key table and the joysticks.
#include <cstdio>
#include <cstring>

#include "engine/platform/platform.h"
#include "engine/platform/sdl/sdl_internal.h"
#include "engine/platform/sdl/sdl_keymap.h"

static_assert(SDL_SCANCODE_A == 4 && SDL_SCANCODE_Z == 29 && SDL_SCANCODE_RETURN == 40 &&
                  SDL_SCANCODE_KP_ENTER == 88 && SDL_SCANCODE_INTERNATIONAL3 == 137 &&
                  SDL_SCANCODE_LCTRL == 224 && SDL_SCANCODE_RGUI == 231,
              "the key table is written in USB usage numbers, which SDL scancodes are");
static_assert((int)SDL_NUM_SCANCODES <= (int)SdlScancodeCount, "scancode table too small");
static_assert(SDL_CONTROLLER_BUTTON_A == 0 && SDL_CONTROLLER_BUTTON_BACK == 4 &&
                  SDL_CONTROLLER_BUTTON_LEFTSHOULDER == 9 && SDL_CONTROLLER_BUTTON_DPAD_UP == 11 &&
                  SDL_CONTROLLER_BUTTON_MISC1 == 15 && SDL_CONTROLLER_BUTTON_TOUCHPAD == 20 &&
                  (int)SDL_CONTROLLER_BUTTON_MAX == (int)SdlControllerButtonCount,
              "controller button numbering differs from the classic-order table");

namespace {

struct Keyboard {
    uint8_t keys[256];                     // bit 7 while down
    uint8_t tapped[256];                   // bit 7: went down since the last sample
    uint8_t scanDown[SdlScancodeCount];    // physical keys held
    uint8_t heldPerKey[256];               // physical keys holding each code
};
Keyboard g_Kb;

struct Pad {
    SDL_Joystick* joystick;
    SDL_GameController* controller;  // set when SDL knows the layout
    SDL_JoystickID instance;
    PlatformJoystickInfo info;
    // Buttons (SDL controller numbering, or the joystick's own) that went
    // down since the last sample, and those of the last sample.
    uint32_t tapped;
    uint32_t sampledTaps;
};

struct Pads {
    Pad pads[PlatformMaxJoysticks];
    int count;
    int changes;  // plugged in or pulled out
};
Pads g_Pads;

int FindPad(SDL_JoystickID instance) {
    for (int i = 0; i < g_Pads.count; ++i)
        if (g_Pads.pads[i].instance == instance) return i;
    return -1;
}

void ClosePad(Pad& pad) {
    if (pad.controller)
        SDL_GameControllerClose(pad.controller);
    else if (pad.joystick)
        SDL_JoystickClose(pad.joystick);
    pad.controller = nullptr;
    pad.joystick = nullptr;
}

void Hold(uint8_t vk, int down) {
    if (vk == 0) return;
    if (down) {
        if (g_Kb.heldPerKey[vk] == 0) g_Kb.tapped[vk] = 0x80;
        if (g_Kb.heldPerKey[vk] < 255) ++g_Kb.heldPerKey[vk];
    } else if (g_Kb.heldPerKey[vk] > 0) {
        --g_Kb.heldPerKey[vk];
    }
    g_Kb.keys[vk] = g_Kb.heldPerKey[vk] ? 0x80 : 0;
}

// Opens a device into the next slot; 1 when a pad was added.
int OpenPad(int deviceIndex) {
    if (g_Pads.count >= PlatformMaxJoysticks) return 0;
    SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (instance < 0 || FindPad(instance) >= 0) return 0;  // open already
    Pad& pad = g_Pads.pads[g_Pads.count];
    std::memset(&pad, 0, sizeof pad);
    pad.instance = instance;
    const char* name = nullptr;
    if (SDL_IsGameController(deviceIndex)) {
        pad.controller = SDL_GameControllerOpen(deviceIndex);
        if (pad.controller) {
            pad.joystick = SDL_GameControllerGetJoystick(pad.controller);
            name = SDL_GameControllerName(pad.controller);
            // Left stick, triggers as one Z axis, right stick.
            pad.info.axes = 5;
            int buttons = 10;
            int hat = 0;
            for (int b = 0; b < SdlControllerButtonCount; ++b) {
                if (!SDL_GameControllerHasButton(pad.controller, (SDL_GameControllerButton)b)) continue;
                int classic = SdlControllerButtonToClassic(b);
                if (classic < 0) hat = 1;
                else if (classic + 1 > buttons) buttons = classic + 1;
            }
            pad.info.buttons = buttons;
            pad.info.hats = hat;
        }
    }
    if (!pad.joystick) {
        pad.controller = nullptr;
        pad.joystick = SDL_JoystickOpen(deviceIndex);
        if (!pad.joystick) return 0;
        name = SDL_JoystickName(pad.joystick);
        int axes = SDL_JoystickNumAxes(pad.joystick);
        pad.info.axes = axes < 0 ? 0 : (axes > 6 ? 6 : axes);
        int buttons = SDL_JoystickNumButtons(pad.joystick);
        pad.info.buttons = buttons < 0 ? 0 : buttons;
        int hats = SDL_JoystickNumHats(pad.joystick);
        pad.info.hats = hats < 0 ? 0 : hats;
    }
    std::snprintf(pad.info.name, sizeof pad.info.name, "%s", name ? name : "Joystick");
    ++g_Pads.count;
    return 1;
}

void RemovePad(SDL_JoystickID instance) {
    int i = FindPad(instance);
    if (i < 0) return;
    ClosePad(g_Pads.pads[i]);
    // The others keep their order.
    std::memmove(&g_Pads.pads[i], &g_Pads.pads[i + 1], (size_t)(g_Pads.count - i - 1) * sizeof(Pad));
    --g_Pads.count;
    std::memset(&g_Pads.pads[g_Pads.count], 0, sizeof(Pad));
    ++g_Pads.changes;
}

void NoteButtonDown(SDL_JoystickID instance, int button, bool fromController) {
    int i = FindPad(instance);
    if (i < 0 || button < 0 || button >= 32) return;
    Pad& pad = g_Pads.pads[i];
    // A controller reports each press twice: as itself and as a joystick.
    if ((pad.controller != nullptr) != fromController) return;
    pad.tapped |= 1u << button;
}

bool IsFullscreenKey(const SDL_KeyboardEvent& key) {
    SDL_Scancode code = key.keysym.scancode;
    if (code == SDL_SCANCODE_F11) return true;
    return (code == SDL_SCANCODE_RETURN || code == SDL_SCANCODE_KP_ENTER) && (key.keysym.mod & KMOD_ALT) &&
           !(key.keysym.mod & (KMOD_CTRL | KMOD_GUI));
}

}  // namespace

// ---------------------------------------------------------------- internal

void SdlInputOpenJoysticks() {
    SdlInputCloseJoysticks();
    int n = SDL_NumJoysticks();
    for (int i = 0; i < n && g_Pads.count < PlatformMaxJoysticks; ++i) OpenPad(i);
    if (g_Pads.count) ++g_Pads.changes;
}

void SdlInputCloseJoysticks() {
    for (int i = 0; i < g_Pads.count; ++i) ClosePad(g_Pads.pads[i]);
    int changes = g_Pads.changes + (g_Pads.count ? 1 : 0);
    std::memset(&g_Pads, 0, sizeof g_Pads);
    g_Pads.changes = changes;
}

int SdlInputHandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_JOYDEVICEADDED:
        // Also sent for the pads found at start-up, which are open already.
        if (SDL_WasInit(SDL_INIT_JOYSTICK) && OpenPad(event.jdevice.which)) ++g_Pads.changes;
        return 1;
    case SDL_JOYDEVICEREMOVED:
        RemovePad(event.jdevice.which);
        return 1;
    case SDL_CONTROLLERBUTTONDOWN:
        NoteButtonDown(event.cbutton.which, event.cbutton.button, true);
        return 1;
    case SDL_JOYBUTTONDOWN:
        NoteButtonDown(event.jbutton.which, event.jbutton.button, false);
        return 1;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        break;
    default:
        return 0;
    }
    if (event.type == SDL_KEYDOWN && IsFullscreenKey(event.key)) {
        // A window-manager key, not a game key: Alt+Enter must not confirm.
        if (!event.key.repeat) SdlPushEvent(PlatformEventToggleFullscreen);
        return 1;
    }
    int scancode = (int)event.key.keysym.scancode;
    if (scancode <= 0 || scancode >= SdlScancodeCount) return 1;
    int down = event.type == SDL_KEYDOWN ? 1 : 0;
    if (g_Kb.scanDown[scancode] == down) return 1;  // auto-repeat, or a stray release
    g_Kb.scanDown[scancode] = (uint8_t)down;
    Hold(SdlScancodeToVirtualKey(scancode), down);
    Hold(SdlScancodeToGenericVirtualKey(scancode), down);
    return 1;
}

void SdlInputReleaseAllKeys() { std::memset(&g_Kb, 0, sizeof g_Kb); }

// ---------------------------------------------------------------- platform

void PlatformGetKeyboardState(uint8_t state[256]) {
    // One sample: what went down since the last one counts once.
    for (int i = 0; i < g_Pads.count; ++i) {
        g_Pads.pads[i].sampledTaps = g_Pads.pads[i].tapped;
        g_Pads.pads[i].tapped = 0;
    }
    if (!state) {
        std::memset(g_Kb.tapped, 0, sizeof g_Kb.tapped);
        return;
    }
    for (int i = 0; i < 256; ++i) state[i] = (uint8_t)(g_Kb.keys[i] | g_Kb.tapped[i]);
    std::memset(g_Kb.tapped, 0, sizeof g_Kb.tapped);
    // Bit 0 of the lock keys: toggled on.
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_Keymod mod = SDL_GetModState();
        if (mod & KMOD_CAPS) state[0x14] |= 1;
        if (mod & KMOD_NUM) state[0x90] |= 1;
        if (mod & KMOD_SCROLL) state[0x91] |= 1;
    }
}

int PlatformJoystickCount() { return g_Pads.count; }
int PlatformJoystickChangeCount() { return g_Pads.changes; }

int PlatformAddControllerMappings(const char* path) {
    if (!path || !*path || !SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return -1;
    int added = SDL_GameControllerAddMappingsFromFile(path);
    if (added < 0) return -1;
    // Pads opened as plain joysticks may be controllers now.
    if (added > 0) SdlInputOpenJoysticks();
    return added;
}

int PlatformJoystickGetInfo(int index, PlatformJoystickInfo* info) {
    if (index < 0 || index >= g_Pads.count || !info) return -1;
    *info = g_Pads.pads[index].info;
    return 0;
}

int PlatformJoystickRead(int index, PlatformJoystickState* state) {
    if (index < 0 || index >= g_Pads.count || !state) return -1;
    Pad& pad = g_Pads.pads[index];
    if (!pad.joystick || !SDL_JoystickGetAttached(pad.joystick)) return -1;
    std::memset(state, 0, sizeof *state);
    state->hat = -1;
    if (pad.controller) {
        SDL_GameController* c = pad.controller;
        state->axis[0] = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
        state->axis[1] = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
        state->axis[2] = SdlTriggersToZ(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT),
                                        SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
        state->axis[3] = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTX);
        state->axis[4] = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTY);
        // Down now, or tapped since the sample before this one.
        auto down = [&](int b) {
            return SDL_GameControllerGetButton(c, (SDL_GameControllerButton)b) || (pad.sampledTaps >> b & 1u);
        };
        for (int b = 0; b < SdlControllerButtonCount; ++b) {
            int classic = SdlControllerButtonToClassic(b);
            if (classic < 0 || classic >= PlatformMaxJoyButtons) continue;
            state->button[classic] = down(b) ? 1 : 0;
        }
        state->hat = SdlDpadToHat(down(SDL_CONTROLLER_BUTTON_DPAD_UP), down(SDL_CONTROLLER_BUTTON_DPAD_DOWN),
                                  down(SDL_CONTROLLER_BUTTON_DPAD_LEFT), down(SDL_CONTROLLER_BUTTON_DPAD_RIGHT));
        return 0;
    }
    SDL_Joystick* j = pad.joystick;
    for (int a = 0; a < pad.info.axes && a < 6; ++a) state->axis[a] = SDL_JoystickGetAxis(j, a);
    for (int b = 0; b < pad.info.buttons && b < PlatformMaxJoyButtons; ++b)
        state->button[b] = (SDL_JoystickGetButton(j, b) || (pad.sampledTaps >> b & 1u)) ? 1 : 0;
    if (pad.info.hats > 0) state->hat = SdlHatBitsToHat(SDL_JoystickGetHat(j, 0));
    return 0;
}
