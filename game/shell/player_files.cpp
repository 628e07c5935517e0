// Finding the data folder and carrying an old save over to the player's
// data folder.
#include "game/shell/player_files.h"
#include "game/world/regular_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine.h"
#include "game/scenes/scenes.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"

namespace {

constexpr int FolderSize = 4096;
// A save is 4 bytes; anything far larger is not one.
constexpr int MaxOldSaveBytes = 4096;

bool Add(char (*out)[FolderSize], int maxCount, int* count, const char* folder) {
    if (*count >= maxCount) return false;
    int n = std::snprintf(out[*count], FolderSize, "%s", folder);
    if (n <= 0 || n >= FolderSize) return false;
    ++*count;
    return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= (size_t)n;
    }
    return true;
}

}  // namespace

int DataFolderCandidates(const char* workingDirectory, const char* programPath, const char* sharedFolder,
                         char (*out)[4096], int maxCount) {
    int count = 0;
    char folder[FolderSize];
    if (workingDirectory && *workingDirectory) {
        std::snprintf(folder, sizeof folder, "%s/data", workingDirectory);
        Add(out, maxCount, &count, folder);
    }
    if (programPath && *programPath) {
        // The program's folder: the build folder, or bin/ of an install
        // whose share/quellbore lies beside it (any prefix).
        const char* slash = std::strrchr(programPath, '/');
        if (slash) {
            int length = (int)(slash - programPath);
            std::snprintf(folder, sizeof folder, "%.*s/data", length, programPath);
            Add(out, maxCount, &count, folder);
            std::snprintf(folder, sizeof folder, "%.*s/../share/quellbore", length, programPath);
            Add(out, maxCount, &count, folder);
        }
    }
    if (sharedFolder && *sharedFolder) Add(out, maxCount, &count, sharedFolder);
    return count;
}

int ChooseDataFolder(char (*candidates)[4096], int count) {
    for (int i = 0; i < count; ++i) {
        if (SetDataFolder(candidates[i]) != 0) continue;
        if (CanOpenFile(ImageFiles[0])) return i;
    }
    SetDataFolder(nullptr);
    return -1;
}

const char* FirstMissingDataFile() {
    for (const char* name : ImageFiles)
        if (!CanOpenFile(name)) return name;
    for (const char* name : SoundFiles)
        if (!CanOpenFile(name)) return name;
    for (const char* name : MusicFiles)
        if (!CanOpenFile(name)) return name;
    // Every stage of both series; the stage files are read with the C
    // library, so they must be plain files.
    static char stagePath[300];
    for (int extra = 0; extra <= 1; ++extra) {
        int last = extra ? LastExtraStage : LastNormalStage;
        for (int index = 0; index <= last; ++index) {
            char name[260];
            StageNameFor(extra, index, name);
            std::snprintf(stagePath, sizeof stagePath, "./data/%s.dat", name);
            char path[4096];
            if (ResolveDataPath(stagePath, path, sizeof path) != 0) return stagePath;
            std::FILE* f = OpenRegularFileForReading(path);
            if (!f) return stagePath;
            std::fclose(f);
        }
    }
    return nullptr;
}

int CarryOverSave(const char* from, const char* to) {
    if (!from || !to || !*from || !*to) return 0;
    struct stat st;
    if (lstat(to, &st) == 0 || errno != ENOENT) return 0;  // the new place has one
    int in = open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) return 0;
    char data[MaxOldSaveBytes];
    ssize_t size = -1;
    if (fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxOldSaveBytes) {
        size = 0;
        for (;;) {
            ssize_t n = read(in, data + size, sizeof data - (size_t)size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                size = -1;
                break;
            }
            if (n == 0) break;
            size += n;
            if (size == (ssize_t)sizeof data) break;
        }
    }
    close(in);
    if (size < 0) return 0;  // not a save: nothing to carry over

    // Written under a temporary name, then linked in: link() never
    // replaces a file that appeared meanwhile.
    char temp[4096 + 32];
    std::snprintf(temp, sizeof temp, "%s.carry.%d", to, (int)getpid());
    int out = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) return -1;
    bool ok = WriteAll(out, data, (size_t)size);
    ok = fsync(out) == 0 && ok;
    ok = close(out) == 0 && ok;
    int result = -1;
    if (ok) {
        if (link(temp, to) == 0) {
            result = 1;
        } else if (errno == EEXIST) {
            result = 0;
        }
    }
    unlink(temp);
    return result;
}
