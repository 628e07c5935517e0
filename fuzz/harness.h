// Fuzz harnesses: one plain function per parser that reads outside data.
// libFuzzer targets call them from LLVMFuzzerTestOneInput; the normal build
// replays seeds and mutations through the same functions (tests/fuzzreplay).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

int FuzzBmp(const uint8_t* data, size_t size);
int FuzzJpeg(const uint8_t* data, size_t size);
int FuzzPng(const uint8_t* data, size_t size);
int FuzzRawBgra(const uint8_t* data, size_t size);
int FuzzTga(const uint8_t* data, size_t size);
int FuzzDds(const uint8_t* data, size_t size);
int FuzzImageChain(const uint8_t* data, size_t size);
int FuzzArchive(const uint8_t* data, size_t size);
int FuzzDecompress(const uint8_t* data, size_t size);
int FuzzWave(const uint8_t* data, size_t size);
int FuzzWaveConvert(const uint8_t* data, size_t size);
int FuzzSoundDecoder(const uint8_t* data, size_t size);
int FuzzStageFile(const uint8_t* data, size_t size);
int FuzzSaveFile(const uint8_t* data, size_t size);
int FuzzMovie(const uint8_t* data, size_t size);

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
