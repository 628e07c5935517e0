// The libFuzzer entry of one target; QUELLBORE_FUZZ_FUNCTION names its harness.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return QUELLBORE_FUZZ_FUNCTION(data, size);
}
