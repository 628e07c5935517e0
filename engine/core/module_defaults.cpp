// Weak stand-ins for the modules' entry points; a module's own definition
// replaces each of them at link time.
#include "engine/core/modules.h"

#define WEAK __attribute__((weak))

WEAK int FileLayerInit() { return 0; }
WEAK void FileLayerEnd() {}
WEAK int InitInput() { return 0; }
WEAK int EndInput() { return 0; }
WEAK int RefreshKeyboardState() { return 0; }
WEAK void InputReleaseOnDeactivate() {}
WEAK void InputReacquire() {}
WEAK int InitSound() { return 0; }
WEAK int EndSound() { return 0; }
WEAK int InitGraphics() { return 0; }
WEAK int EndGraphics() { return 0; }
WEAK void GraphicsScreenRequest(int* width, int* height, int* colourBits) {
    if (width) *width = 640;
    if (height) *height = 480;
    if (colourBits) *colourBits = 16;
}
WEAK int GraphicsResetMode() { return 0; }
WEAK void GraphicsRepaint() {}
