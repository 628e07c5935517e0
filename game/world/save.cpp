#include "game/world/save.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// The save's place in the data folder until the program names another.
char SavePath[4096] = "./data/state0.dat";
char SaveTempPath[4096 + 8] = "./data/state0.dat.tmp";

// The last value read successfully; a failed read returns it again.
int LastLoadedStage = 0;

bool InSaveRange(int v) { return v >= 0 && v <= SaveMaxStage; }

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
// cannot be opened.
int ReadSaveFile(int* out) {
    if (SaveInMemory) {
        *out = *SaveInMemory;
        return 1;
    }
    std::FILE* f = std::fopen(SavePath, "r");
    if (!f) return -1;
    int ok = ReadSaveValue(f, out) ? 1 : 0;
    std::fclose(f);
    return ok;
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
    // A hand-edited file may hold anything; only 0..29 is a stage to continue.
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
    // full disk then never leaves a torn or empty save.
    std::FILE* f = std::fopen(SaveTempPath, "wb");
    if (!f) return -1;
    bool ok = std::fwrite(record, 1, SaveRecordSize, f) == SaveRecordSize;
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(SaveTempPath, SavePath) != 0) {
        std::remove(SaveTempPath);
        return -1;
    }
    return 0;
}
