// Audio device and the software mixer that stands in for a sound card's
// secondary buffers. Owned by the sound work; see engine/platform/common.
#pragma once

#include <cstdint>
