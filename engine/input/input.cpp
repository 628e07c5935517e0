// Engine input: keyboard state table, pads, key map and the questions.
//
// The keyboard is read in OS mode: the platform's virtual-key state is
// sampled at the end of each message-processing pass (at most once per
// millisecond-counter value) and converted to scan codes through the
// conversion table; the questions read the last sample. Pads are the
// platform's joysticks found at set-up, at most 16, fixed until EndInput.
#include "engine/input/input.h"

#include <cstdio>
#include <cstring>

#include "engine/core/core.h"
#include "engine/core/modules.h"
#include "engine/engine.h"
#include "engine/platform/platform.h"

// Whether the calling thread holds the engine call lock. Keyboard samples
// are taken only there. Provided by the core; while it is missing, only
// the pump's own refresh samples and the questions read the last sample.
bool EngineCallLockHeldByThisThread() __attribute__((weak));

namespace {

constexpr InputConversion Conversions[InputConversionCount] = {
    // Letters A ... Z.
    {'A', 30}, {'B', 48}, {'C', 46}, {'D', 32}, {'E', 18}, {'F', 33}, {'G', 34},
    {'H', 35}, {'I', 23}, {'J', 36}, {'K', 37}, {'L', 38}, {'M', 50}, {'N', 49},
    {'O', 24}, {'P', 25}, {'Q', 16}, {'R', 19}, {'S', 31}, {'T', 20}, {'U', 22},
    {'V', 47}, {'W', 17}, {'X', 45}, {'Y', 21}, {'Z', 44},
    // Digits 0 ... 9.
    {'0', 11}, {'1', 2}, {'2', 3}, {'3', 4}, {'4', 5}, {'5', 6}, {'6', 7},
    {'7', 8}, {'8', 9}, {'9', 10},
    // Left, Up, Right, Down.
    {0x25, 203}, {0x26, 200}, {0x27, 205}, {0x28, 208},
    // Japanese layout: ';' (OEM_PLUS), ':' (OEM_1), '[' (OEM_4), ']' (OEM_6),
    // '@' (OEM_3), '\' (OEM_102).
    {0xBB, 39}, {0xBA, 146}, {0xDB, 26}, {0xDD, 27}, {0xC0, 145}, {0xE2, 43},
    // ',' '-' yen (OEM_5) '.' '/'.
    {0xBC, 51}, {0xBD, 12}, {0xDC, 125}, {0xBE, 52}, {0xBF, 53},
    // Delete, Escape, Space, Backspace, Tab, Enter.
    {0x2E, 211}, {0x1B, 1}, {0x20, 57}, {0x08, 14}, {0x09, 15}, {0x0D, 28},
    // Keypad 0 ... 9.
    {0x60, 82}, {0x61, 79}, {0x62, 80}, {0x63, 81}, {0x64, 75}, {0x65, 76},
    {0x66, 77}, {0x67, 71}, {0x68, 72}, {0x69, 73},
    // Keypad * + - . /
    {0x6A, 55}, {0x6B, 78}, {0x6D, 74}, {0x6E, 83}, {0x6F, 181},
    // Enter also sets the keypad Enter code.
    {0x0D, 156},
    // Left and right Shift and Control.
    {0xA0, 42}, {0xA1, 54}, {0xA2, 29}, {0xA3, 157},
    // Page Up, Page Down, End, Home, Insert.
    {0x21, 201}, {0x22, 209}, {0x23, 207}, {0x24, 199}, {0x2D, 210},
    // Left and right Alt, Scroll Lock, Caps Lock, Pause.
    {0xA4, 56}, {0xA5, 184}, {0x91, 70}, {0x14, 58}, {0x13, 197},
    // F1 ... F12.
    {0x70, 59}, {0x71, 60}, {0x72, 61}, {0x73, 62}, {0x74, 63}, {0x75, 64},
    {0x76, 65}, {0x77, 66}, {0x78, 67}, {0x79, 68}, {0x7A, 87}, {0x7B, 88},
};

struct PadRecord {
    int index;  // platform joystick index
    int32_t axis[6];
    int32_t hat;
    uint8_t button[PlatformMaxJoyButtons];  // 0x80 while pressed
    uint32_t stamp;
    int read;  // read at least once (the stamp means something)
    char instanceName[260];
    char productName[260];
};

struct InputState {
    int setUp;
    int settingUp;
    int padChanges;  // the platform's plug count at the last enumeration
    uint8_t keys[InputKeyCount];
    uint32_t stamp;
    int sampled;  // the stamp means something
    int sampling;
    int padCount;
    PadRecord pads[InputMaxPads];
    int keyMap[InputKeyMapCount][32][InputKeyMapSlots];
};
InputState g_In;

// A user's controller mapping file, kept over InitInput's reset.
char g_MappingFile[4096];

// Default key map 0: bits 0 ... 3 keypad key and arrow key, bits 4 ... 13
// one key each.
constexpr int DefaultDirections[4][2] = {{80, 208}, {75, 203}, {77, 205}, {72, 200}};
constexpr int DefaultButtons[10] = {44, 45, 46, 30, 31, 32, 16, 17, 1, 57};

void InstallDefaultKeyMap() {
    for (int m = 0; m < InputKeyMapCount; ++m)
        for (int b = 0; b < 32; ++b) {
            g_In.keyMap[m][b][0] = -1;
            g_In.keyMap[m][b][1] = -1;
            g_In.keyMap[m][b][2] = 0;
            g_In.keyMap[m][b][3] = 0;
        }
    for (int b = 0; b < 4; ++b) {
        g_In.keyMap[0][b][0] = DefaultDirections[b][0];
        g_In.keyMap[0][b][1] = DefaultDirections[b][1];
    }
    for (int b = 0; b < 10; ++b) g_In.keyMap[0][4 + b][0] = DefaultButtons[b];
}

bool SampleAllowed(bool fromQuestion) {
    if (EngineCallLockHeldByThisThread) return EngineCallLockHeldByThisThread();
    return !fromQuestion;
}

// One keyboard sample (OS mode). 1 when a new sample was taken.
int Sample(bool fromQuestion) {
    if (g_In.sampling) return 0;
    g_In.sampling = 1;
    int taken = 0;
    if (SampleAllowed(fromQuestion)) {
        uint32_t now = PlatformTickMs();
        if (!g_In.sampled || now != g_In.stamp) {
            g_In.stamp = now;
            g_In.sampled = 1;
            if (ProcessWindowMessages() != -1) {
                uint8_t os[256];
                PlatformGetKeyboardState(os);
                std::memset(g_In.keys, 0, sizeof g_In.keys);
                for (const InputConversion& c : Conversions) g_In.keys[c.scanCode] = os[c.virtualKey];
                taken = 1;
            }
        }
    }
    g_In.sampling = 0;
    return taken;
}

void ClearPad(PadRecord& pad) {
    std::memset(pad.axis, 0, sizeof pad.axis);
    pad.hat = -1;
    std::memset(pad.button, 0, sizeof pad.button);
}

void ReleasePads() {
    for (int i = 0; i < InputMaxPads; ++i) std::memset(&g_In.pads[i], 0, sizeof g_In.pads[i]);
    g_In.padCount = 0;
}

void EnumeratePads() {
    LogWrite("ジョイパッドの初期化... \n");
    ReleasePads();
    g_In.padChanges = PlatformJoystickChangeCount();
    int available = PlatformJoystickCount();
    for (int i = 0; i < available && g_In.padCount < InputMaxPads; ++i) {
        LogWrite("入力装置を見つけました\n");
        PlatformJoystickInfo info;
        std::memset(&info, 0, sizeof info);
        if (PlatformJoystickGetInfo(i, &info) != 0) {
            LogWrite("入力装置の取得に失敗しました\n");
            continue;
        }
        info.name[sizeof info.name - 1] = 0;
        LogWriteFormat("デバイスの登録名:%s", info.name);
        LogWriteFormat("デバイスの製品登録名:%s", info.name);
        // A pad needs an X and a Y axis to be one.
        if (info.axes < 1) {
            LogWrite("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
            continue;
        }
        if (info.axes < 2) {
            LogWrite("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
            continue;
        }
        PadRecord& pad = g_In.pads[g_In.padCount];
        std::memset(&pad, 0, sizeof pad);
        pad.index = i;
        ClearPad(pad);
        std::memcpy(pad.instanceName, info.name, sizeof info.name);
        std::memcpy(pad.productName, info.name, sizeof info.name);
        ++g_In.padCount;
        LogWrite("ジョイパッドの追加は正常に終了しました\n");
    }
    LogWrite("ジョイパッドの初期化は正常に終了しました\n");
}

// Re-reads pad p at most once per millisecond-counter value.
void ReadPad(int p) {
    if (p < 0 || p >= g_In.padCount) return;
    PadRecord& pad = g_In.pads[p];
    uint32_t now = PlatformTickMs();
    if (pad.read && now == pad.stamp) return;
    pad.stamp = now;
    pad.read = 1;
    PlatformJoystickState state;
    if (PlatformJoystickRead(pad.index, &state) != 0) {
        // Unplugged or failing: centred with nothing pressed, never stuck.
        ClearPad(pad);
        return;
    }
    for (int a = 0; a < 6; ++a) pad.axis[a] = InputScaleAxis(state.axis[a]);
    pad.hat = state.hat;
    for (int b = 0; b < PlatformMaxJoyButtons; ++b) pad.button[b] = state.button[b] ? 0x80 : 0;
}

// The steps every question runs first. Returns 1 to go on; 0 with *result
// set when the question is answered already.
int QuestionSteps(int* result, bool keyDownQuestion) {
    WaitWhileInactive();
    if (!g_In.setUp) {
        if (!g_Window.closeRequested) {
            *result = InitInput();
            return 0;
        }
        if (keyDownQuestion) {
            *result = 0;
            return 0;
        }
    }
    return 1;
}

}  // namespace

// ------------------------------------------------------------ pure helpers

const InputConversion* InputConversionTable() { return Conversions; }

int InputScaleAxis(int32_t raw) {
    if (raw < -32768) raw = -32768;
    if (raw > 32767) raw = 32767;
    int u = raw + 32768;  // 0 ... 65535, 32768 at rest
    if (u < 24576) return (u - 24576) * 1000 / 24576;
    if (u <= 40960) return 0;
    // 65535 reaches 1000 exactly.
    return (u - 40960) * 1000 / 24575;
}

int InputHatBits(int32_t hat) {
    if (hat < 0 || hat >= 36000) return 0;
    int bits = 0;
    if (hat <= 4500 || hat >= 31500) bits |= 0x8;  // up
    if (hat >= 4500 && hat <= 13500) bits |= 0x4;  // right
    if (hat >= 13500 && hat <= 22500) bits |= 0x1; // down
    if (hat >= 22500 && hat <= 31500) bits |= 0x2; // left
    return bits;
}

int InputIsSetUp() { return g_In.setUp; }
int InputPadCount() { return g_In.padCount; }
const uint8_t* InputKeyTable() { return g_In.keys; }

int InputKeyMapSlot(int map, int bit, int slot) {
    if (map < 0 || map >= InputKeyMapCount || bit < 0 || bit >= 32 || slot < 0 || slot >= InputKeyMapSlots)
        return -1;
    return g_In.keyMap[map][bit][slot];
}

// ------------------------------------------------------------ start and end

int InitInput() {
    if (g_In.setUp || g_In.settingUp) return 0;
    std::memset(&g_In, 0, sizeof g_In);
    g_In.settingUp = 1;

    // The platform's devices play the part of DirectInput's.
    LogWrite("DirectInput関係初期化処理\n");
    LogWrite("DirectInput7 の取得中... ");
    LogWrite("成功\n");
    LogWrite("引き続き初期化処理... ");
    LogWrite("初期化成功\n");

    ProcessWindowMessages();
    if (g_MappingFile[0]) PlatformAddControllerMappings(g_MappingFile);
    EnumeratePads();
    LogWrite("キーボードデバイスの初期化... ");
    g_In.stamp = PlatformTickMs();
    g_In.sampled = 1;
    LogWrite("初期化成功\n");
    LogWrite("DirectInput 関連の初期化は正常に終了しました\n");

    InstallDefaultKeyMap();
    g_In.setUp = 1;
    g_In.settingUp = 0;
    return 0;
}

int EndInput() {
    if (!g_In.setUp) return 0;
    LogWrite("DirectInput 関連の終了処理... 完了\n");
    ReleasePads();
    g_In.setUp = 0;
    return 0;
}

int RefreshKeyboardState() { return Sample(false); }

int SetControllerMappingFile(const char* path) {
    std::snprintf(g_MappingFile, sizeof g_MappingFile, "%s", path ? path : "");
    if (g_In.setUp && g_MappingFile[0] && PlatformAddControllerMappings(g_MappingFile) < 0) return -1;
    return 0;
}

// Nothing is held exclusively on this platform; a fresh sample is taken
// at the next pass once the window is back.
void InputReleaseOnDeactivate() {}
void InputReacquire() { g_In.sampled = 0; }

// ---------------------------------------------------------------- questions

static int IsKeyDownLive(int code) {
    int result = 0;
    if (!QuestionSteps(&result, true)) return result;
    Sample(true);
    if (code < 0 || code >= InputKeyCount) return 0;
    return (g_In.keys[code] & 0x80) ? 1 : 0;
}

static int ReadKeyboardLive(char* buffer256) {
    int result = 0;
    if (!QuestionSteps(&result, false)) return result;
    Sample(true);
    if (!buffer256) return -1;
    for (int i = 0; i < InputKeyCount; ++i) buffer256[i] = (char)((g_In.keys[i] >> 7) & 1);
    return 0;
}

static int ReadPadStateLive(int inputType) {
    int result = 0;
    if (!QuestionSteps(&result, false)) return result;
    int keyboard = (inputType & InputTypeKeyboard) != 0;
    int p = (inputType & ~InputTypeKeyboard) - 1;
    int word = 0;
    // Pads plugged in or pulled out since the last look: enumerate again.
    if (g_In.setUp && PlatformJoystickChangeCount() != g_In.padChanges) EnumeratePads();
    if ((p < -1 || p >= g_In.padCount) && g_In.padCount != 0 && !keyboard) return 0;
    if (p >= 0 && p < g_In.padCount) {
        ReadPad(p);
        const PadRecord& pad = g_In.pads[p];
        if (pad.axis[0] < 0) word |= 0x2;
        if (pad.axis[0] > 0) word |= 0x4;
        if (pad.axis[1] < 0) word |= 0x8;
        if (pad.axis[1] > 0) word |= 0x1;
        // The d-pad (hat) moves like the stick: without it the main
        // direction control of most pads would do nothing.
        word |= InputHatBits(pad.hat);
        for (int k = 0; k < 24; ++k)
            if (pad.button[k] & 0x80) word |= 1 << (k + 4);
    }
    if (keyboard) {
        Sample(true);
        int m = p < 0 ? 0 : p;
        // A pad index past the maps names no keys.
        if (m < InputKeyMapCount) {
            for (int bit = 0; bit < 32; ++bit)
                for (int slot = 0; slot < InputKeyMapSlots; ++slot) {
                    int code = g_In.keyMap[m][bit][slot];
                    if (code >= 0 && code < InputKeyCount && (g_In.keys[code] & 0x80)) {
                        word |= (int)(1u << bit);
                        break;
                    }
                }
        }
    }
    return word;
}

// The facade's questions, through the game's input tap when one is set.
int IsKeyDown(int code) {
    int live = IsKeyDownLive(code);
    const InputTap* tap = EngineInputTap();
    return tap ? tap->key(code, live) : live;
}

int ReadKeyboard(char* buffer256) {
    int live = ReadKeyboardLive(buffer256);
    const InputTap* tap = EngineInputTap();
    return tap && buffer256 ? tap->keyboard(buffer256, live) : live;
}

int ReadPadState(int inputType) {
    int live = ReadPadStateLive(inputType);
    const InputTap* tap = EngineInputTap();
    return tap ? tap->pad(inputType, live) : live;
}
