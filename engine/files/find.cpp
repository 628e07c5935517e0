// Directory search: find first / next / close over the operating system's
// directories, names matched with '*' and '?' ignoring ASCII case.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>

#include "engine/files/files.h"

namespace {

enum { FindSlotCount = 64 };
struct FindState {
    DIR* dir;
    char directory[FilePathMax];
    char pattern[260];
};
FindState g_Finds[FindSlotCount];

char Fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool Matches(const char* pattern, const char* name) {
    // Iterative wildcard match with one back-track point.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || (*pattern && Fold(*pattern) == Fold(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

void ToLocal(time_t t, long nanoseconds, FileDateTime* out) {
    struct tm local;
    localtime_r(&t, &local);
    out->year = local.tm_year + 1900;
    out->month = local.tm_mon + 1;
    out->day = local.tm_mday;
    out->hour = local.tm_hour;
    out->minute = local.tm_min;
    out->second = local.tm_sec;
    out->millisecond = int(nanoseconds / 1000000);
}

int NextMatch(FindState* f, FileFindInfo* info) {
    while (struct dirent* e = readdir(f->dir)) {
        if (!Matches(f->pattern, e->d_name)) continue;
        if (std::strlen(f->directory) + std::strlen(e->d_name) + 2 > FilePathMax) continue;
        char full[FilePathMax];
        std::strcpy(full, f->directory);
        std::strcat(full, "/");
        std::strcat(full, e->d_name);
        struct stat st;
        if (stat(full, &st) != 0) continue;
        std::memset(info, 0, sizeof *info);
        std::strncpy(info->name, e->d_name, sizeof info->name - 1);
        info->isDirectory = S_ISDIR(st.st_mode) ? 1 : 0;
        info->size = info->isDirectory ? 0 : uint64_t(st.st_size);
        // Linux keeps no creation time; the status change time stands in.
        ToLocal(st.st_ctim.tv_sec, st.st_ctim.tv_nsec, &info->created);
        ToLocal(st.st_mtim.tv_sec, st.st_mtim.tv_nsec, &info->lastWrite);
        return 0;
    }
    return -1;
}

}  // namespace

int FileFindFirst(const char* pattern, FileFindInfo* info) {
    if (!pattern || !info) return -1;
    int slot = -1;
    for (int i = 0; i < FindSlotCount; ++i) {
        if (!g_Finds[i].dir) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return -1;
    const char* last = pattern;
    for (const char* p = pattern; *p; ++p)
        if (*p == '/' || *p == '\\') last = p + 1;
    FindState* f = &g_Finds[slot];
    size_t dirLength = size_t(last - pattern);
    if (dirLength >= FilePathMax || std::strlen(last) >= sizeof f->pattern) return -1;
    if (dirLength == 0) {
        std::strcpy(f->directory, ".");
    } else {
        std::memcpy(f->directory, pattern, dirLength);
        f->directory[dirLength] = 0;
        for (char* p = f->directory; *p; ++p)
            if (*p == '\\') *p = '/';
        if (dirLength > 1) f->directory[dirLength - 1] = 0;  // drop the separator
    }
    std::strcpy(f->pattern, *last ? last : "*");
    f->dir = opendir(f->directory);
    if (!f->dir) return -1;
    if (NextMatch(f, info) != 0) {
        closedir(f->dir);
        f->dir = nullptr;
        return -1;
    }
    return slot;
}

int FileFindNext(int findHandle, FileFindInfo* info) {
    if (findHandle < 0 || findHandle >= FindSlotCount || !g_Finds[findHandle].dir || !info) return -1;
    return NextMatch(&g_Finds[findHandle], info);
}

int FileFindClose(int findHandle) {
    if (findHandle < 0 || findHandle >= FindSlotCount || !g_Finds[findHandle].dir) return -1;
    closedir(g_Finds[findHandle].dir);
    g_Finds[findHandle].dir = nullptr;
    return 0;
}
