// Where the game's relative data names lead, where the log goes, and why
// the last start failed.
#include <cstdio>
#include <cstring>

#include "engine/core/core.h"
#include "engine/engine.h"
#include "engine/files/files.h"

namespace {

struct FolderState {
    char dataFolder[FilePathMax];  // "" = the working directory's data/
    char logFolder[FilePathMax];
    int logFolderSet;              // 0: the working directory at EngineInit
    char startFailure[256];
};
FolderState g_Folders;

int CopyFolder(char* dest, size_t size, const char* folder) {
    if (!folder) folder = "";
    size_t n = std::strlen(folder);
    while (n > 1 && folder[n - 1] == '/') --n;  // "dir/" and "dir" are one folder
    if (n >= size) return -1;
    std::memcpy(dest, folder, n);
    dest[n] = '\0';
    return 0;
}

// The part after "./data/" or "data/", or null when the name has neither.
const char* DataRest(const char* path) {
    if (std::strncmp(path, "./data/", 7) == 0) return path + 7;
    if (std::strncmp(path, "data/", 5) == 0) return path + 5;
    return nullptr;
}

}  // namespace

int SetDataFolder(const char* folder) {
    char kept[FilePathMax];
    if (CopyFolder(kept, sizeof kept, folder) != 0) return -1;
    std::memcpy(g_Folders.dataFolder, kept, sizeof kept);
    return 0;
}

const char* EngineMapDataPath(const char* path, char* buffer, size_t size) {
    if (!path || !g_Folders.dataFolder[0]) return path;
    const char* rest = DataRest(path);
    if (!rest) return path;
    int n = std::snprintf(buffer, size, "%s/%s", g_Folders.dataFolder, rest);
    // A name too long for the buffer opens nothing rather than a cut name.
    if (n < 0 || (size_t)n >= size) return "";
    return buffer;
}

int ResolveDataPath(const char* path, char* out, int size) {
    if (!path || !out || size <= 0) return -1;
    char mapped[FilePathMax];
    const char* result = EngineMapDataPath(path, mapped, sizeof mapped);
    size_t n = std::strlen(result);
    if (!*result || n >= (size_t)size) {
        out[0] = '\0';
        return -1;
    }
    std::memmove(out, result, n + 1);
    return 0;
}

int CanOpenFile(const char* path) {
    int handle = FileOpen(path, 0, 1, 0);
    if (handle == 0) return 0;
    // A folder opens as a plain file on this platform; it is no data file.
    int64_t size = FileSize(handle);
    FileClose(handle);
    return size >= 0 ? 1 : 0;
}

int SetLogFolder(const char* folder) {
    if (!folder) {
        g_Folders.logFolderSet = 0;
        g_Folders.logFolder[0] = '\0';
        return 0;
    }
    if (CopyFolder(g_Folders.logFolder, sizeof g_Folders.logFolder, folder) != 0) return -1;
    g_Folders.logFolderSet = 1;
    return 0;
}

const char* EngineLogFolder(const char* workingDirectory) {
    return g_Folders.logFolderSet ? g_Folders.logFolder : workingDirectory;
}

void EngineSetStartFailure(const char* text) {
    std::snprintf(g_Folders.startFailure, sizeof g_Folders.startFailure, "%s", text ? text : "");
}

const char* GetStartFailureText() { return g_Folders.startFailure; }
