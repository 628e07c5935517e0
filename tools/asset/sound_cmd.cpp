// quellbore-asset sound: placeholder until the sound inspector lands.
#include <cstdio>

#include "tools/asset/asset.h"

int AssetSoundCommand(int, char**) {
    std::fprintf(stderr, "quellbore-asset sound: not available yet\n");
    return 1;
}
