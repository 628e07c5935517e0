// quellbore-pack internals: the compressor, the writer and the reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/files/files.h"

// The compressed stream of data (without the 9-byte block head) and the
// marker byte it uses.
std::vector<uint8_t> PackCompress(const uint8_t* data, size_t size, uint8_t* marker);

struct PackOptions {
    bool compress = true;
    const char* keyString = nullptr;  // null: the default key
    bool plainKey = false;            // the second key: no scrambling
};

// Writes an archive of the directory's contents. 0, or -1 with a message
// on standard error.
int PackWriteArchive(const std::string& directory, const std::string& output, const PackOptions& options);

struct PackEntry {
    std::string path;  // "/"-separated, relative to the archive's root
    bool isDirectory;
    uint32_t size;
    uint32_t packedSize;  // ArchiveNone when stored
    std::vector<uint8_t> data;  // filled when asked for
};

// Directories nest at most this deep in an archive the reader accepts: a
// path within the engine's limit has no more components.
constexpr size_t PackMaxDepth = FilePathMax / 2;

// Reads an archive image's table (and the data when withData). The key
// string is tried first, then the second key. 0, or -1 with what is wrong
// in problem ("is damaged", ...) and no entries.
int PackReadArchiveBytes(const uint8_t* data, size_t size, const char* keyString, bool withData,
                         std::vector<PackEntry>* entries, std::string* problem);
// The same for an archive file. 0, or -1 with a message on standard error.
int PackReadArchive(const std::string& archive, const char* keyString, bool withData,
                    std::vector<PackEntry>* entries);
