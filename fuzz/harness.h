// Fuzz harnesses: one plain function per parser that reads outside data.
// libFuzzer targets call them from LLVMFuzzerTestOneInput; the normal build
// replays seeds and mutations through the same functions (tests/fuzzreplay).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#define FUZZ_TARGET(name, function) int function(const uint8_t* data, size_t size);
#include "fuzz/targets.def"
#undef FUZZ_TARGET

using FuzzFunction = int (*)(const uint8_t*, size_t);
struct FuzzTarget {
    const char* name;  // also the seed folder and the fuzzer's name suffix
    FuzzFunction run;
};
const FuzzTarget* FuzzTargets(int* count);

using FuzzBytes = std::vector<uint8_t>;
// The seed corpus of a target, made in code (no binary files in the tree).
void FuzzSeeds(const char* target, std::vector<FuzzBytes>* out);
void FuzzImageSeeds(const char* target, std::vector<FuzzBytes>* out);
void FuzzSoundSeeds(const char* target, std::vector<FuzzBytes>* out);
void FuzzOtherSeeds(const char* target, std::vector<FuzzBytes>* out);
// Seeds from the built game data in dataDir (pictures, sounds, music,
// stages, an archive of stages), as far as the target reads them.
void FuzzAssetSeeds(const char* target, const char* dataDir, std::vector<FuzzBytes>* out);
