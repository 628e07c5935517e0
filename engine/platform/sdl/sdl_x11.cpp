// SDL2 backend: what happens when the X server goes away.
//
// Xlib's answer to a lost connection is exit(), called from inside whatever
// call noticed it, with the program's threads still running. The engine
// ends the program itself instead (its handler does not return).
#include <cstdlib>

#include <X11/Xlib.h>

#include "engine/platform/platform.h"
#include "engine/platform/sdl/sdl_internal.h"

namespace {

void (*g_DisplayLost)() = nullptr;

int OnConnectionLost(Display*) {
    if (g_DisplayLost) g_DisplayLost();
    std::_Exit(1);
}

}  // namespace

void SdlWatchXConnection() { XSetIOErrorHandler(OnConnectionLost); }

void PlatformSetDisplayLostHandler(void (*handler)()) { g_DisplayLost = handler; }
