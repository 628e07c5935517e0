// Start-up and shut-down entry points of the other engine modules, called
// by the core in a fixed order. Each module defines its own; the weak
// defaults in module_defaults.cpp stand in while a module is missing.
#pragma once

// Files: 0 on success, -1 on failure.
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
