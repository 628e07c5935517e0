// The engine modules EngineInit starts after the main window, and their
// entry points. The list of modules is EngineModuleList in modules.cpp;
// a program picks among them with SetEngineModules (engine/engine.h).
// To add a module: give it a bit in engine.h, its start and end here, and
// a row in EngineModuleList.
#pragma once

// Files: 0 on success, -1 on failure. The file layer always starts, before
// the log, so it is not in the list.
int FileLayerInit();
void FileLayerEnd();

// Input: InitInput 0 on success, -1 on failure (start-up then fails).
int InitInput();
int EndInput();
// Keyboard sample at the end of every message-processing pass; 1 when a
// new sample was taken.
int RefreshKeyboardState();
// The window lost the focus (windowed): input devices give up their hold.
void InputReleaseOnDeactivate();
// The window is active again: input devices are taken back.
void InputReacquire();

// Sound: the result of InitSound is logged by the module and ignored.
int InitSound();
int EndSound();

// Graphics (also ends fonts and images): a negative InitGraphics result
// fails start-up.
int InitGraphics();
int EndGraphics();
// Screen size and colour bits as stored by SetScreenMode, with the
// defaults for unset values (640 x 480, 16 bits).
void GraphicsScreenRequest(int* width, int* height, int* colourBits);
// Runs the graphics mode set-up again after a window mode change; its
// result is ChangeWindowMode's.
int GraphicsResetMode();
// The client area needs drawing again (after start-up).
void GraphicsRepaint();

struct EngineModuleEntry {
    int bit;                // EngineModuleInput, ... in engine.h
    const char* name;
    int (*start)();         // 0 on success
    int (*end)();           // safe to call when the start failed
    bool startMayFail;      // a failed start is logged and EngineInit goes on
    int endStep;            // EngineEnd ends the modules by rising step
    const char* startFailure;  // the English line when a failed start ends EngineInit
};
// In start-up order.
extern const EngineModuleEntry EngineModuleList[];
extern const int EngineModuleCount;

// The modules SetEngineModules chose (EngineModulesAll until then).
int EngineModulesChosen();
inline bool EngineModuleChosen(int bit) { return (EngineModulesChosen() & bit) != 0; }
