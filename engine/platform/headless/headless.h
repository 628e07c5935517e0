// Controls of the headless backend, for the runner and the tests.
// Only programs that link the headless backend may include this.
#pragma once

#include <cstdint>

// Virtual clock: milliseconds since "boot". Starts at a fixed value.
void HeadlessSetTickMs(uint32_t ms);
uint64_t HeadlessMicroseconds();

// Input: virtual-key codes (Windows numbering) held down, and pad 0's state.
void HeadlessSetKey(int virtualKey, int down);
void HeadlessClearKeys();
void HeadlessSetJoystickCount(int count);
void HeadlessSetJoystickAxis(int pad, int axis, int value);
void HeadlessSetJoystickButton(int pad, int button, int down);

// Window: focus changes and the close box arrive as events.
void HeadlessSetActive(int active);
void HeadlessRequestClose();
void HeadlessFailNextWindowCreation(int fail);

// The last presented frame, 16-bit, in the format it was presented in.
const uint16_t* HeadlessLastFrame(int* w, int* h, int* pitch, int* format);
int HeadlessPresentCount();
