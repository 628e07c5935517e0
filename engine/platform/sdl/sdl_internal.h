// Shared between the files of the SDL backend only.
#pragma once

#include <SDL.h>

#include "engine/platform/platform.h"

// Queues a window event for PlatformPollEvent (sdl_platform.cpp).
void SdlPushEvent(PlatformEventType type);

// Keyboard table and joysticks (sdl_input.cpp).
void SdlInputOpenJoysticks();
void SdlInputCloseJoysticks();
// Takes key events into the virtual-key table; 1 when the event was one.
int SdlInputHandleEvent(const SDL_Event& event);
// Lifts every key (focus lost: the keys' releases go elsewhere).
void SdlInputReleaseAllKeys();

// The built-in icon picture for an icon id, or null when there is none
// (sdl_icon.cpp). The caller frees the surface.
SDL_Surface* SdlCreateIconSurface(int iconId);

// Under X11: a lost connection to the display calls the handler given to
// PlatformSetDisplayLostHandler instead of Xlib's exit() (sdl_x11.cpp).
void SdlWatchXConnection();
