// System facts and the single-instance lock, shared by both backends.
#include "engine/platform/common/linux_system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

int g_LockFd = -1;

void CopyText(char* out, size_t size, const char* text) {
    if (size == 0) return;
    // Cut to fit: these are diagnostics.
    const char* from = text ? text : "";
    size_t n = std::strlen(from);
    if (n >= size) n = size - 1;
    std::memcpy(out, from, n);
    out[n] = '\0';
}

// Reads "Name:   123 kB" from /proc/meminfo; 0 when missing.
uint64_t MemInfoBytes(const char* text, const char* name) {
    const char* at = std::strstr(text, name);
    if (!at) return 0;
    at += std::strlen(name);
    while (*at == ' ' || *at == '\t') ++at;
    char* end = nullptr;
    unsigned long long kb = std::strtoull(at, &end, 10);
    if (end == at) return 0;
    return (uint64_t)kb * 1024u;
}

void ReadMemory(PlatformSystemInfo* info) {
    FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file) return;
    char text[4096];
    size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[n] = 0;
    info->totalPhysicalBytes = MemInfoBytes(text, "MemTotal:");
    uint64_t available = MemInfoBytes(text, "MemAvailable:");
    info->freePhysicalBytes = available ? available : MemInfoBytes(text, "MemFree:");
}

void ReadProcessor(PlatformSystemInfo* info) {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return;
    info->hasCpuid = 1;
    unsigned highest = a;
    std::memcpy(info->cpuVendor + 0, &b, 4);
    std::memcpy(info->cpuVendor + 4, &d, 4);
    std::memcpy(info->cpuVendor + 8, &c, 4);
    info->cpuVendor[12] = 0;
    if (highest >= 1 && __get_cpuid(1, &a, &b, &c, &d)) {
        info->hasMmx = (d >> 23) & 1;
        info->hasSse = (d >> 25) & 1;
        info->hasSse2 = (d >> 26) & 1;
    }
    unsigned top = __get_cpuid_max(0x80000000u, nullptr);
    if (top >= 0x80000004u) {
        char brand[49] = {};
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            unsigned r[4] = {};
            __get_cpuid(0x80000002u + leaf, &r[0], &r[1], &r[2], &r[3]);
            std::memcpy(brand + leaf * 16, r, 16);
        }
        brand[48] = 0;
        const char* start = brand;
        while (*start == ' ') ++start;
        CopyText(info->cpuName, sizeof info->cpuName, start);
        // Brand strings are padded with blanks at the end on some parts.
        for (int i = (int)std::strlen(info->cpuName) - 1; i >= 0 && info->cpuName[i] == ' '; --i)
            info->cpuName[i] = 0;
    }
#else
    // No cpuid: take the name that the kernel reports, if any.
    FILE* file = std::fopen("/proc/cpuinfo", "r");
    if (!file) return;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, "model name", 10) == 0 || std::strncmp(line, "Hardware", 8) == 0) {
            const char* colon = std::strchr(line, ':');
            if (colon) {
                ++colon;
                while (*colon == ' ' || *colon == '\t') ++colon;
                CopyText(info->cpuName, sizeof info->cpuName, colon);
                size_t n = std::strlen(info->cpuName);
                if (n && info->cpuName[n - 1] == '\n') info->cpuName[n - 1] = 0;
            }
            break;
        }
    }
    std::fclose(file);
#endif
}

}  // namespace

void LinuxGetSystemInfo(PlatformSystemInfo* info) {
    if (!info) return;
    std::memset(info, 0, sizeof *info);
    struct utsname names;
    if (uname(&names) == 0) {
        CopyText(info->osName, sizeof info->osName, names.sysname);
        // "<release> <version>", cut to fit.
        size_t at = 0;
        const char* parts[3] = {names.release, " ", names.version};
        for (const char* part : parts)
            for (size_t i = 0; part[i] && at + 1 < sizeof info->osVersion; ++i)
                info->osVersion[at++] = part[i];
        info->osVersion[at] = 0;
    } else {
        CopyText(info->osName, sizeof info->osName, "Linux");
    }
    ReadMemory(info);
    ReadProcessor(info);
}

int LinuxInstanceLockPath(const char* className, char* out, int size) {
    if (!out || size <= 0) return -1;
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || dir[0] != '/') dir = "/tmp";
    char name[256];
    const char* source = (className && className[0]) ? className : "Engine";
    size_t n = 0;
    for (; source[n] && n < sizeof name - 1; ++n) {
        unsigned char ch = (unsigned char)source[n];
        name[n] = (ch == '/' || ch < 0x20 || ch == 0x7F) ? '_' : (char)ch;
    }
    name[n] = 0;
    // "." and ".." would name a directory, not a file.
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) name[0] = '_';
    int written = std::snprintf(out, (size_t)size, "%s/%s.lock", dir, name);
    if (written < 0 || written >= size) return -1;
    return 0;
}

int LinuxAcquireInstanceLock(const char* className) {
    if (g_LockFd >= 0) return 0;
    char path[512];
    if (LinuxInstanceLockPath(className, path, sizeof path) != 0) return 0;
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // No lock file can be made (read-only or missing directory): the
        // check cannot be done, and refusing to start would be worse.
        return 0;
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        int busy = (errno == EWOULDBLOCK);
        close(fd);
        return busy ? -1 : 0;
    }
    g_LockFd = fd;
    return 0;
}

void LinuxReleaseInstanceLock() {
    if (g_LockFd < 0) return;
    flock(g_LockFd, LOCK_UN);
    close(g_LockFd);
    g_LockFd = -1;
}
