#include "game/world/save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/engine.h"
#include "game/world/regular_file.h"

namespace {

// The save's place in the data folder until the program names another.
char SavePath[4096] = "./data/state0.dat";
char SaveTempPath[4096 + 8] = "./data/state0.dat.tmp";

// The last value read successfully; a failed read returns it again.
int LastLoadedStage = 0;

bool InSaveRange(int v) { return v >= 0 && v <= SaveMaxStage; }

const char* Reason(int error) { return error == EINVAL ? "not a regular file" : std::strerror(error); }

// A save that cannot be read is named in the log once until it reads
// again, since the title asks for it every time it is shown.
int LoggedReadError = 0;

void LogReadFailure(const char* what, int error) {
    if (LoggedReadError == error + 1) return;
    LoggedReadError = error + 1;
    char line[4096 + 256];
    std::snprintf(line, sizeof line, "右記のセーブファイルを読めませんでした：%s (%s)", SavePath, what ? what : Reason(error));
    WriteLogLine(line);
}

// A failed write goes to the log and to the terminal: the player loses
// progress and should hear of it.
void LogWriteFailure(const char* step, int error) {
    char line[4096 + 256];
    std::snprintf(line, sizeof line, "右記のセーブファイルに書き込めませんでした：%s (%s: %s)", SavePath, step,
                  std::strerror(error));
    WriteLogLine(line);
    std::fprintf(stderr, "quellbore: the game could not be saved to %s (%s: %s)\n", SavePath, step,
                 std::strerror(error));
}

// One value as "%02d" reads it: white space skipped, at most two
// characters, a sign counting as one.
bool ReadSaveValue(std::FILE* f, int* out) {
    int value = 0;
    if (std::fscanf(f, "%2d", &value) != 1) return false;
    *out = value;
    return true;
}

// A replay keeps its save here instead of the file (null: the file).
int* SaveInMemory = nullptr;

// Reads the file now: 1 and the value, 0 when it cannot be read, -1 when it
// cannot be opened. Never blocks on a FIFO in the file's place.
int ReadSaveFile(int* out) {
    if (SaveInMemory) {
        *out = *SaveInMemory;
        return 1;
    }
    std::FILE* f = OpenRegularFileForReading(SavePath);
    if (!f) {
        // No save yet is the normal start, not a failure.
        if (errno != ENOENT) LogReadFailure(nullptr, errno);
        return -1;
    }
    int ok = ReadSaveValue(f, out) ? 1 : 0;
    if (!ok) LogReadFailure(std::ferror(f) ? nullptr : "no stage number in it", errno);
    else LoggedReadError = 0;
    std::fclose(f);
    return ok;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

const char* SaveFilePath() { return SavePath; }

int SetSaveFilePath(const char* path) {
    if (!path) path = "./data/state0.dat";
    size_t n = std::strlen(path);
    if (n >= sizeof SavePath) return -1;
    std::memcpy(SavePath, path, n + 1);
    // No file at all: neither name may fall back on the working folder.
    if (n == 0) {
        SaveTempPath[0] = '\0';
    } else {
        std::snprintf(SaveTempPath, sizeof SaveTempPath, "%s.tmp", SavePath);
    }
    return 0;
}
void UseSaveInMemory(int* value) { SaveInMemory = value; }

void FormatSaveRecord(int index, char out[SaveRecordSize]) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "%02d ", index);
    // The digits, the blank and the terminating zero byte.
    for (int i = 0; i < SaveRecordSize; ++i) out[i] = text[i];
}

int LoadSave() {
    int value = 0;
    int result = ReadSaveFile(&value);
    if (result < 0) return 0;
    // A hand-edited file may hold anything; only 0..30 is a stage to continue.
    if (result == 1) LastLoadedStage = InSaveRange(value) ? value : 0;
    return LastLoadedStage;
}

int ReadSavedStage() {
    int value = 0;
    if (ReadSaveFile(&value) != 1) return 0;
    return InSaveRange(value) ? value : 0;
}

int WriteSave(int index) {
    char record[SaveRecordSize];
    FormatSaveRecord(index, record);
    if (SaveInMemory) {
        *SaveInMemory = index;
        return 0;
    }

    // Write a new file beside the old one and rename it over; a crash or a
    // full disk then never leaves a torn or empty save. The new file is
    // made afresh and exclusively: whatever stood at its name (a planted
    // link included) is removed, never written through.
    if (unlink(SaveTempPath) != 0 && errno != ENOENT) {
        LogWriteFailure("remove the old temporary file", errno);
        return -1;
    }
    int fd;
    do {
        fd = open(SaveTempPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        LogWriteFailure("create", errno);
        return -1;
    }
    const char* step = "write";
    bool ok = WriteAll(fd, record, SaveRecordSize);
    if (ok && fsync(fd) != 0) {
        step = "flush";
        ok = false;
    }
    int error = errno;
    if (close(fd) != 0 && ok) {
        step = "close";
        error = errno;
        ok = false;
    }
    if (ok && std::rename(SaveTempPath, SavePath) != 0) {
        step = "rename";
        error = errno;
        ok = false;
    }
    if (!ok) {
        unlink(SaveTempPath);
        LogWriteFailure(step, error);
        return -1;
    }
    return 0;
}
