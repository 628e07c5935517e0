// The player's settings file, quellbore.ini in the config folder: key
// bindings by key name, full screen, window scale or size, music and effect
// volume. The parser and the writer are pure functions over text; the two
// entry calls read the file before the engine starts and write the window
// back at a clean end.
#pragma once

#include <string>
#include <vector>

#include "game/shell/input_latch.h"

struct Settings {
    LatchKeys keys;
    int fullscreen = 0;
    int scale = 2;                      // the window is 256 x 256 times this
    int windowWidth = 0, windowHeight = 0;  // a size the player dragged it to; 0 = none
    int musicVolume = 100, effectVolume = 100;  // percent
};

// Settings with nothing read: the game's own defaults.
Settings DefaultSettings();

// Reads the text over the defaults. Each line that cannot be used is left
// out and described in problems ("line 3: ..."); the rest still count.
Settings ParseSettings(const std::string& text, std::vector<std::string>* problems);

// The text with the window's state written into it: the fullscreen and
// window lines get the new values in place (comments and every other line
// stay as they are), missing ones are added at the end. The window line is
// dropped when the size is just scale x 256 square.
std::string UpdateSettingsText(const std::string& text, int fullscreen, int windowWidth, int windowHeight);

// The file the game writes when there is none yet: every setting at its
// default, each with a comment.
std::string DefaultSettingsText();

// Scan code of a key name ("Z", "Enter", "Left", "KP8", "F5" ...), any
// case; 0 when unknown. And the name of a scan code ("" when none).
int KeyCodeFromName(const std::string& name);
const char* KeyNameFromCode(int code);

// Used by the real game only (the runner and the tests stay reproducible):
// reads quellbore.ini (problems go to stderr), sets the key bindings, the
// window mode and size and the volumes, and finds a user controller
// mapping file. Before EngineInit, after the built-in window settings.
void ApplySettingsAtStart();
// The game's own keys and volumes, whatever an earlier start read (the
// runner and the tests).
void UseDefaultSettings();
// After the main loop, while the window still exists: writes full screen
// and the window size back, if the start read or made the file.
void SaveSettingsAtEnd();

// Volumes that LoadAllAssets gives the music and effect slots (percent).
extern int MusicVolumePercent;
extern int EffectVolumePercent;
