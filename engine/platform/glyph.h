// Glyph rasteriser shared by both backends (FreeType with fontconfig).
// Owned by the text work; see engine/platform/common.
#pragma once

#include <cstdint>
