// Opening the game's own files (stages, the save) for reading.
#pragma once

#include <cstdio>

// Opens path for reading as a C stream, regular files only. The open
// never blocks: a FIFO, a device or a directory in the file's place is
// refused by its type (null, errno EINVAL), as is a missing file (null,
// errno from the open).
std::FILE* OpenRegularFileForReading(const char* path);
