// The archive-aware stream table: plain files, files inside archives, the
// archive table with its lookup cache, path normalisation.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "engine/core/core.h"
#include "engine/files/files.h"

namespace {

// ------------------------------------------------------------- records

enum { RecordPlain = 1, RecordArchived = 2 };

struct PlainFile {
    int fd;
    int64_t size;
    int64_t position;
    int eof;
};

struct ArchivedFile {
    int archive;
    uint32_t dataOffset;  // from the start of the data area
    uint32_t dataSize;
    uint8_t* buffer;      // decompressed data, or null when stored
    int64_t position;
    int eof;
};

struct OpenFile {
    int kind;
    PlainFile plain;
    ArchivedFile archived;
};

struct Archive {
    int refCount;
    char path[FilePathMax];
    int fd;
    int64_t fileSize;
    int version;
    int codePage;
    uint32_t blockSize;
    uint32_t dataStart;
    uint32_t blockOffset;
    uint32_t fileTable;
    uint32_t dirTable;
    uint32_t currentDir;
    int entrySize;
    uint8_t* block;
    uint8_t key[ArchiveKeySize];
};

OpenFile* g_Files[FileSlotCount];
Archive* g_Archives[ArchiveSlotCount];

struct LookupCache {
    int valid;
    int archive;
    size_t prefixLength;
    size_t parentLength;       // of the part before the directory's own name
    char prefix[FilePathMax];  // the directory the archive stands for
};
LookupCache g_Cache;

char g_KeyString[64];
int g_HasKeyString = 0;
int g_UseArchives = 1;
char g_StartDirectory[FilePathMax];
int g_HaveStartDirectory = 0;

const char* const kTooManyFiles = "同時に開けるファイルの数が限界を超えました\n";
const char* const kNoRecordMemory = "ファイルの情報を格納するメモリの確保に失敗しました\n";
const char* const kNotInArchive = "ＡＲＣファイルの中に指定のファイルは見つかりませんでした\n";

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

OpenFile* RecordOf(int handle) {
    if ((uint32_t(handle) & 0xF0000000u) != 0xF0000000u) return nullptr;
    uint32_t slot = uint32_t(handle) & 0x0FFFFFFFu;
    if (slot >= uint32_t(FileSlotCount)) return nullptr;
    return g_Files[slot];
}

int ReadAt(int fd, void* buffer, size_t size, int64_t offset) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t got = pread(fd, p, size, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return -1;
        p += got;
        size -= size_t(got);
        offset += got;
    }
    return 0;
}

// Regular files only, for reading. The open does not block: a FIFO or a
// device in place of a file is refused by its type, never waited on.
int OpenPlainFd(const char* path, int64_t* size) {
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;  // not a file to read
        return -1;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    *size = int64_t(st.st_size);
    return fd;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Absolute, "/"-separated, without "." and "..", letter case kept.
// Returns the length, or -1 when it does not fit.
int NormalisePath(const char* path, char* out, size_t outSize) {
    char joined[FilePathMax * 2];
    size_t n = 0;
    if (!IsSeparator(path[0])) {
        if (!getcwd(joined, FilePathMax)) return -1;
        n = std::strlen(joined);
        if (n + 1 >= sizeof joined) return -1;
        joined[n++] = '/';
    }
    size_t pathLength = std::strlen(path);
    if (n + pathLength + 1 > sizeof joined) return -1;
    std::memcpy(joined + n, path, pathLength + 1);

    size_t o = 0;
    const char* p = joined;
    while (*p) {
        while (IsSeparator(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !IsSeparator(*p)) {
            if (ArchiveIsLeadByte(932, uint8_t(*p)) && p[1]) ++p;
            ++p;
        }
        size_t length = size_t(p - start);
        if (length == 1 && start[0] == '.') continue;
        if (length == 2 && start[0] == '.' && start[1] == '.') {
            while (o > 0 && out[o - 1] != '/') --o;
            if (o > 0) --o;  // the separator before it
            continue;
        }
        if (o + 1 + length + 1 > outSize) return -1;
        out[o++] = '/';
        std::memcpy(out + o, start, length);
        o += length;
    }
    if (o == 0) {
        if (outSize < 2) return -1;
        out[o++] = '/';
    }
    out[o] = 0;
    return int(o);
}

// ------------------------------------------------ directory listing cache
// Answers "does this directory hold an archive of this name" with one stat
// of the directory: its archive names are listed once and trusted while
// the directory is unchanged.

enum { DirCacheCount = 16, DirNamesSize = 2048 };
struct DirListing {
    int used;
    int trusted;
    int overflow;
    dev_t device;
    ino_t inode;
    struct timespec modified;
    char path[FilePathMax];
    size_t namesLength;
    char names[DirNamesSize];  // zero-separated names ending in .ARC/.arc
};
DirListing g_DirCache[DirCacheCount];
int g_DirCacheNext = 0;

// ASCII letters compared without regard to case; double-byte characters
// compared as they are.
bool EqualsIgnoringAsciiCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (ArchiveIsLeadByte(932, uint8_t(b[i])) && i + 1 < length) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

// Names ending in ".ARC" in any letter case.
bool EndsWithArcExtension(const char* name) {
    size_t n = std::strlen(name);
    return n > 4 && EqualsIgnoringAsciiCase(name + n - 4, ".ARC", 4);
}

// 1 when name is "<component>.ARC" ignoring ASCII case.
bool NamesArchiveOf(const char* name, const char* component, size_t length) {
    return std::strlen(name) == length + 4 && EqualsIgnoringAsciiCase(name, component, length) &&
           EqualsIgnoringAsciiCase(name + length, ".ARC", 4);
}

// Of two matching names, the one to use: "<component>.ARC" as written,
// then ".arc", then the smallest by bytes, so that the choice never
// depends on the order the directory lists them in.
bool PreferredName(const char* candidate, const char* best, const char* component, size_t length) {
    auto rank = [&](const char* name) {
        if (std::strncmp(name, component, length) != 0) return 2;
        if (std::strcmp(name + length, ".ARC") == 0) return 0;
        if (std::strcmp(name + length, ".arc") == 0) return 1;
        return 2;
    };
    int a = rank(candidate), b = rank(best);
    return a != b ? a < b : std::strcmp(candidate, best) < 0;
}

// Appends name to out (zero-separated, at most outSize bytes) when it
// names component's archive; returns the new fill.
size_t CollectMatches(const char* name, const char* component, size_t length, char* out, size_t fill,
                      size_t outSize) {
    if (!NamesArchiveOf(name, component, length)) return fill;
    size_t n = std::strlen(name) + 1;
    if (fill + n > outSize) return fill;
    std::memcpy(out + fill, name, n);
    return fill + n;
}

// The file names in directory that stand for component (equal to
// "<component>.ARC" ignoring ASCII case), zero-separated into out; returns
// their total length, 0 when there are none, -1 when the directory itself
// is missing. When the listing cannot be read, the two usual spellings are
// given for the opens to decide. One stat of the directory while its
// listing can be trusted.
int64_t ArchiveNamesIn(const char* directory, const char* component, size_t length, char* out, size_t outSize) {
    struct stat st;
    if (stat(directory, &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
    DirListing* entry = nullptr;
    for (auto& d : g_DirCache) {
        if (d.used && std::strcmp(d.path, directory) == 0) {
            entry = &d;
            break;
        }
    }
    bool fresh = entry && entry->trusted && entry->device == st.st_dev && entry->inode == st.st_ino &&
                 entry->modified.tv_sec == st.st_mtim.tv_sec && entry->modified.tv_nsec == st.st_mtim.tv_nsec;
    if (!fresh && std::strlen(directory) < FilePathMax) {
        if (!entry) {
            entry = &g_DirCache[g_DirCacheNext];
            g_DirCacheNext = (g_DirCacheNext + 1) % DirCacheCount;
        }
        std::memset(entry, 0, offsetof(DirListing, path));
        std::strcpy(entry->path, directory);
        entry->namesLength = 0;
        entry->device = st.st_dev;
        entry->inode = st.st_ino;
        entry->modified = st.st_mtim;
        if (DIR* dir = opendir(directory)) {
            while (struct dirent* e = readdir(dir)) {
                if (!EndsWithArcExtension(e->d_name)) continue;
                size_t nameLength = std::strlen(e->d_name) + 1;
                if (entry->namesLength + nameLength > DirNamesSize) {
                    entry->overflow = 1;
                    break;
                }
                std::memcpy(entry->names + entry->namesLength, e->d_name, nameLength);
                entry->namesLength += nameLength;
            }
            closedir(dir);
            entry->used = 1;
            // A change within the same timestamp tick would go unseen, so
            // only a listing of a directory unchanged for two seconds is reused.
            struct timespec now;
            clock_gettime(CLOCK_REALTIME, &now);
            entry->trusted = (now.tv_sec - st.st_mtim.tv_sec) > 2;
        }
    }
    size_t fill = 0;
    if (!entry || !entry->used) {
        // Unreadable listing (or a path too long to keep).
        for (const char* extension : {".ARC", ".arc"}) {
            if (fill + length + 5 > outSize) break;
            std::memcpy(out + fill, component, length);
            std::memcpy(out + fill + length, extension, 5);
            fill += length + 5;
        }
        return int64_t(fill);
    }
    if (entry->overflow) {
        // Too many archive names to keep: read the directory itself.
        if (DIR* dir = opendir(directory)) {
            while (struct dirent* e = readdir(dir)) fill = CollectMatches(e->d_name, component, length, out, fill, outSize);
            closedir(dir);
        }
        return int64_t(fill);
    }
    for (size_t i = 0; i < entry->namesLength; i += std::strlen(entry->names + i) + 1)
        fill = CollectMatches(entry->names + i, component, length, out, fill, outSize);
    return int64_t(fill);
}

// --------------------------------------------------------------- archives

void FreeArchive(int index) {
    Archive* a = g_Archives[index];
    if (!a) return;
    if (a->fd >= 0) close(a->fd);
    if (a->block) EngineFree(a->block);
    EngineFree(a);
    g_Archives[index] = nullptr;
    if (g_Cache.valid && g_Cache.archive == index) g_Cache.valid = 0;
}

void CloseUnreferencedArchives() {
    for (int i = 0; i < ArchiveSlotCount; ++i) {
        if (g_Archives[i] && g_Archives[i]->refCount <= 0) FreeArchive(i);
    }
}

void ReleaseArchive(int index) {
    if (index >= 0 && index < ArchiveSlotCount && g_Archives[index] && g_Archives[index]->refCount > 0)
        --g_Archives[index]->refCount;
}

// Reads and checks the header and the header block under one key.
int ReadArchiveHeader(Archive* a) {
    uint8_t head[ArchiveHeaderSizeV4];
    if (a->fileSize < 8 || ReadAt(a->fd, head, 8, 0) != 0) return -1;
    ArchiveScramble(head, 8, 0, a->key);
    if (ReadU16(head) != ArchiveMagic) return -1;
    a->version = ReadU16(head + 2);
    if (a->version > ArchiveMaxVersion) return -1;
    int headSize = a->version >= 4 ? ArchiveHeaderSizeV4 : ArchiveHeaderSize;
    if (a->fileSize < headSize || ReadAt(a->fd, head + 8, size_t(headSize - 8), 8) != 0) return -1;
    ArchiveScramble(head + 8, size_t(headSize - 8), 8, a->key);
    a->blockSize = ReadU32(head + 4);
    a->dataStart = ReadU32(head + 8);
    a->blockOffset = ReadU32(head + 12);
    a->fileTable = ReadU32(head + 16);
    a->dirTable = ReadU32(head + 20);
    a->codePage = a->version >= 4 ? int(ReadU32(head + 24)) : 932;
    a->entrySize = a->version >= 2 ? ArchiveFileEntrySizeV2 : ArchiveFileEntrySizeV0;
    if (a->blockSize == 0 || int64_t(a->blockOffset) + a->blockSize > a->fileSize) return -1;
    if (a->fileTable > a->blockSize || a->dirTable > a->blockSize ||
        a->blockSize - a->dirTable < uint32_t(ArchiveDirEntrySize))
        return -1;
    a->block = static_cast<uint8_t*>(EngineAlloc(a->blockSize));
    if (!a->block) return -1;
    if (ReadAt(a->fd, a->block, a->blockSize, a->blockOffset) != 0) return -1;
    ArchiveScramble(a->block, a->blockSize, a->blockOffset, a->key);
    a->currentDir = 0;
    return 0;
}

// An archive that stands where one is looked for but cannot be used is
// worth a line; the same one again, open after open, is not.
char g_LastRejected[FilePathMax];

void LogRejectedArchive(const char* path) {
    if (std::strcmp(g_LastRejected, path) == 0) return;
    std::snprintf(g_LastRejected, sizeof g_LastRejected, "%s", path);
    LogWriteFormat("右記のＡＲＣファイルは読めないため使いません：%s", path);
}

// Index of the open archive, or -1.
int OpenArchive(const char* path) {
    for (int i = 0; i < ArchiveSlotCount; ++i) {
        if (g_Archives[i] && std::strcmp(g_Archives[i]->path, path) == 0) {
            ++g_Archives[i]->refCount;
            return i;
        }
    }
    int slot = -1;
    for (int pass = 0; pass < 2 && slot < 0; ++pass) {
        if (pass == 1) CloseUnreferencedArchives();
        for (int i = 0; i < ArchiveSlotCount; ++i) {
            if (!g_Archives[i]) {
                slot = i;
                break;
            }
        }
    }
    if (slot < 0 || std::strlen(path) >= FilePathMax) return -1;
    Archive* a = static_cast<Archive*>(EngineAllocZeroed(sizeof(Archive)));
    if (!a) return -1;
    std::strcpy(a->path, path);
    a->fd = OpenPlainFd(path, &a->fileSize);
    if (a->fd < 0) {
        if (errno != ENOENT) LogRejectedArchive(path);
        EngineFree(a);
        return -1;
    }
    ArchiveBuildKey(g_HasKeyString ? g_KeyString : nullptr, a->key);
    if (ReadArchiveHeader(a) != 0) {
        if (a->block) EngineFree(a->block);
        a->block = nullptr;
        ArchivePlainKey(a->key);
        if (ReadArchiveHeader(a) != 0) {
            if (a->block) EngineFree(a->block);
            close(a->fd);
            EngineFree(a);
            LogRejectedArchive(path);
            return -1;
        }
    }
    a->refCount = 1;
    g_Archives[slot] = a;
    return slot;
}

// Bounds-checked views into the header block.
const uint8_t* BlockAt(const Archive* a, uint64_t offset, uint64_t size) {
    if (offset > a->blockSize || size > a->blockSize - offset) return nullptr;
    return a->block + offset;
}
const uint8_t* DirEntry(const Archive* a, uint32_t offset) {
    return BlockAt(a, uint64_t(a->dirTable) + offset, ArchiveDirEntrySize);
}

// Finds a name in a directory. Returns the file entry or null.
const uint8_t* FindEntry(const Archive* a, uint32_t dirOffset, const char* name, size_t length,
                         bool wantDirectory) {
    const uint8_t* dir = DirEntry(a, dirOffset);
    if (!dir) return nullptr;
    uint8_t key[1024];
    uint16_t check = 0;
    int n = ArchiveSearchKey(name, length, a->codePage, key, sizeof key, &check);
    if (n == 0) return nullptr;
    uint32_t count = ReadU32(dir + 8);
    uint32_t first = ReadU32(dir + 12);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry =
            BlockAt(a, uint64_t(a->fileTable) + first + uint64_t(i) * uint32_t(a->entrySize), uint32_t(a->entrySize));
        if (!entry) return nullptr;
        const uint8_t* nameEntry = BlockAt(a, ReadU32(entry), 4);
        if (!nameEntry) continue;
        if (ReadU16(nameEntry) != n || ReadU16(nameEntry + 2) != check) continue;
        const uint8_t* upper = BlockAt(a, uint64_t(ReadU32(entry)) + 4, uint64_t(n) * 4);
        if (!upper || std::memcmp(upper, key, size_t(n) * 4) != 0) continue;
        bool isDirectory = (ReadU32(entry + 4) & ArchiveAttrDirectory) != 0;
        if (isDirectory != wantDirectory) continue;
        return entry;
    }
    return nullptr;
}

// Walks a "/"-separated name from the archive's current directory.
const uint8_t* LookupInArchive(const Archive* a, const char* name) {
    uint32_t dir = a->currentDir;
    const char* p = name;
    if (IsSeparator(*p)) {
        dir = 0;
        while (IsSeparator(*p)) ++p;
    }
    for (;;) {
        const char* start = p;
        while (*p && !IsSeparator(*p)) {
            if (ArchiveIsLeadByte(a->codePage, uint8_t(*p)) && p[1]) ++p;
            ++p;
        }
        size_t length = size_t(p - start);
        if (!*p) return length ? FindEntry(a, dir, start, length, false) : nullptr;
        ++p;  // the separator
        if (length == 0) {
            dir = 0;
        } else if (length == 1 && start[0] == '.') {
        } else if (length == 2 && start[0] == '.' && start[1] == '.') {
            const uint8_t* d = DirEntry(a, dir);
            if (!d || ReadU32(d + 4) == ArchiveNone) return nullptr;
            dir = ReadU32(d + 4);
        } else {
            const uint8_t* entry = FindEntry(a, dir, start, length, true);
            if (!entry) return nullptr;
            dir = ReadU32(entry + 32);
        }
    }
}

// Which archive stands for a directory of the normalised path, and the
// rest of the path inside it. -1 when none.
int FindArchiveFor(const char* path, size_t length, const char** rest) {
    // The cached archive stands for its directory under the same rule as
    // the walk: the parent path as the file system spells it, the
    // directory's own name in any ASCII letter case.
    if (g_Cache.valid && g_Archives[g_Cache.archive] && length > g_Cache.prefixLength + 1 &&
        path[g_Cache.prefixLength] == '/' && std::memcmp(path, g_Cache.prefix, g_Cache.parentLength) == 0 &&
        EqualsIgnoringAsciiCase(path + g_Cache.parentLength, g_Cache.prefix + g_Cache.parentLength,
                                g_Cache.prefixLength - g_Cache.parentLength)) {
        ++g_Archives[g_Cache.archive]->refCount;
        *rest = path + g_Cache.prefixLength + 1;
        return g_Cache.archive;
    }
    size_t lastSeparator = 0;
    for (size_t i = 0; i < length; ++i)
        if (path[i] == '/') lastSeparator = i;
    char candidate[FilePathMax + 8];
    char directory[FilePathMax];
    char names[DirNamesSize + 2 * (FilePathMax + 8)];
    size_t componentStart = 1;
    while (componentStart < lastSeparator) {
        size_t end = componentStart;
        while (end < length && path[end] != '/') ++end;
        if (end == componentStart) break;  // empty component ends the walk
        size_t parentLength = componentStart > 1 ? componentStart - 1 : 1;
        std::memcpy(directory, path, parentLength);
        directory[parentLength] = 0;
        size_t componentLength = end - componentStart;
        if (end + 5 > sizeof candidate) return -1;
        int64_t fill = ArchiveNamesIn(directory, path + componentStart, componentLength, names, sizeof names);
        if (fill < 0) return -1;  // the directory is missing: nothing below exists
        // Try the matching names best first; the first that opens wins.
        std::memcpy(candidate, path, componentStart);
        for (;;) {
            const char* best = nullptr;
            for (size_t i = 0; i < size_t(fill); i += std::strlen(names + i) + 1) {
                if (!names[i]) continue;  // tried already
                if (!best || PreferredName(names + i, best, path + componentStart, componentLength)) best = names + i;
            }
            if (!best) break;
            std::memcpy(candidate + componentStart, best, componentLength + 5);
            std::memset(const_cast<char*>(best), 0, componentLength + 4);
            int index = OpenArchive(candidate);
            if (index >= 0) {
                g_Cache.valid = 1;
                g_Cache.archive = index;
                g_Cache.prefixLength = end;
                g_Cache.parentLength = componentStart;
                std::memcpy(g_Cache.prefix, path, end);
                g_Cache.prefix[end] = 0;
                *rest = path + end + 1;
                return index;
            }
        }
        componentStart = end + 1;
    }
    return -1;
}

int TakeSlot() {
    for (int i = 0; i < FileSlotCount; ++i)
        if (!g_Files[i]) return i;
    return -1;
}

int OpenArchived(OpenFile* file, int archiveIndex, const char* name) {
    Archive* a = g_Archives[archiveIndex];
    const uint8_t* entry = LookupInArchive(a, name);
    if (!entry) return -1;
    uint32_t dataOffset = ReadU32(entry + 32);
    uint32_t dataSize = ReadU32(entry + 36);
    uint32_t packedSize = a->version >= 2 ? ReadU32(entry + 40) : ArchiveNone;
    int64_t start = int64_t(a->dataStart) + dataOffset;
    ArchivedFile& f = file->archived;
    f.archive = archiveIndex;
    f.dataOffset = dataOffset;
    f.dataSize = dataSize;
    f.buffer = nullptr;
    f.position = 0;
    f.eof = 0;
    if (packedSize == ArchiveNone) {
        if (start + dataSize > a->fileSize) return -1;
        return 0;
    }
    if (packedSize < uint32_t(ArchiveBlockHeadSize) || start + packedSize > a->fileSize) return -1;
    uint8_t* packed = static_cast<uint8_t*>(EngineAlloc(packedSize));
    if (!packed) return -1;
    if (ReadAt(a->fd, packed, packedSize, start) != 0) {
        EngineFree(packed);
        return -1;
    }
    ArchiveScramble(packed, packedSize, uint64_t(start), a->key);
    uint32_t stated = ReadU32(packed);
    uint32_t blockSize = ReadU32(packed + 4);
    int result = -1;
    // The size is believed only when the packed bytes decode to exactly
    // that many, so a damaged entry never reserves memory it cannot fill.
    if (stated == dataSize && blockSize >= uint32_t(ArchiveBlockHeadSize) && blockSize <= packedSize &&
        ArchiveDecodedSize(packed + ArchiveBlockHeadSize, blockSize - ArchiveBlockHeadSize, packed[8]) ==
            int64_t(dataSize)) {
        f.buffer = static_cast<uint8_t*>(EngineAlloc(dataSize ? dataSize : 1));
        if (f.buffer) {
            result = ArchiveDecompress(packed + ArchiveBlockHeadSize, blockSize - ArchiveBlockHeadSize, packed[8],
                                       f.buffer, dataSize);
            if (result != 0) {
                EngineFree(f.buffer);
                f.buffer = nullptr;
            }
        }
    }
    EngineFree(packed);
    return result;
}

}  // namespace

// ---------------------------------------------------------------- layer

int FileLayerInit() {
    CloseUnreferencedArchives();
    g_HaveStartDirectory = getcwd(g_StartDirectory, sizeof g_StartDirectory) != nullptr;
    return 0;
}

void FileLayerEnd() {
    for (int i = 0; i < FileSlotCount; ++i) {
        if (g_Files[i]) FileClose(int(uint32_t(i) | 0xF0000000u));
    }
    for (int i = 0; i < ArchiveSlotCount; ++i) FreeArchive(i);
    g_Cache.valid = 0;
    if (g_HaveStartDirectory && chdir(g_StartDirectory) != 0) {
        // The directory is gone; nothing better to do.
    }
    g_HaveStartDirectory = 0;
}

void FileSetArchiveKey(const char* keyString) {
    if (!keyString || !*keyString) {
        g_HasKeyString = 0;
        return;
    }
    size_t n = std::strlen(keyString);
    if (n >= sizeof g_KeyString) n = sizeof g_KeyString - 1;
    std::memcpy(g_KeyString, keyString, n);
    g_KeyString[n] = 0;
    g_HasKeyString = 1;
}

void FileSetUseArchives(int use) { g_UseArchives = use ? 1 : 0; }

int FileOpen(const char* path, int, int, int) {
    char mapped[FilePathMax];
    path = EngineMapDataPath(path, mapped, sizeof mapped);  // the data folder
    if (!path || !*path) return 0;
    int slot = TakeSlot();
    if (slot < 0) {
        LogWrite(kTooManyFiles);
        return 0;
    }
    OpenFile* file = static_cast<OpenFile*>(EngineAllocZeroed(sizeof(OpenFile)));
    if (!file) {
        LogWrite(kNoRecordMemory);
        return 0;
    }
    if (g_UseArchives) {
        char normal[FilePathMax];
        int length = NormalisePath(path, normal, sizeof normal);
        const char* rest = nullptr;
        int archive = length > 0 ? FindArchiveFor(normal, size_t(length), &rest) : -1;
        if (archive >= 0) {
            if (OpenArchived(file, archive, rest) != 0) {
                LogWrite(kNotInArchive);
                ReleaseArchive(archive);
                EngineFree(file);
                return 0;
            }
            file->kind = RecordArchived;
            g_Files[slot] = file;
            return int(uint32_t(slot) | 0xF0000000u);
        }
    }
    file->plain.fd = OpenPlainFd(path, &file->plain.size);
    if (file->plain.fd < 0) {
        EngineFree(file);
        return 0;
    }
    file->kind = RecordPlain;
    g_Files[slot] = file;
    return int(uint32_t(slot) | 0xF0000000u);
}

int FileClose(int handle) {
    OpenFile* file = RecordOf(handle);
    if (!file) return -1;
    if (file->kind == RecordPlain) {
        close(file->plain.fd);
    } else {
        if (file->archived.buffer) EngineFree(file->archived.buffer);
        ReleaseArchive(file->archived.archive);
    }
    EngineFree(file);
    g_Files[uint32_t(handle) & 0x0FFFFFFFu] = nullptr;
    return 0;
}

int FileIsOpen(int handle) { return RecordOf(handle) ? 1 : 0; }

int64_t FileTell(int handle) {
    OpenFile* file = RecordOf(handle);
    if (!file) return -1;
    return file->kind == RecordPlain ? file->plain.position : file->archived.position;
}

int64_t FileSize(int handle) {
    OpenFile* file = RecordOf(handle);
    if (!file) return -1;
    return file->kind == RecordPlain ? file->plain.size : int64_t(file->archived.dataSize);
}

int FileSeek(int handle, int64_t offset, int origin) {
    OpenFile* file = RecordOf(handle);
    if (!file) return -1;
    int64_t size = FileSize(handle);
    int64_t base;
    int64_t current = FileTell(handle);
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = current; break;
    case 2: base = size; break;
    default: return -1;
    }
    int64_t target = base + offset;
    if (file->kind == RecordPlain) {
        if (target < 0) return -1;  // the operating system refuses it
        file->plain.position = target;
        file->plain.eof = 0;
        return 0;
    }
    if (target < 0) target = 0;
    if (target > size) target = size;
    file->archived.position = target;
    file->archived.eof = 0;
    return 0;
}

size_t FileRead(void* buffer, size_t size, size_t count, int handle) {
    OpenFile* file = RecordOf(handle);
    if (!file || !buffer || size == 0 || count == 0) return 0;
    if (file->kind == RecordPlain) {
        PlainFile& f = file->plain;
        int64_t left = f.size - f.position;
        if (left <= 0 || uint64_t(left) < size) {
            f.eof = 1;
            return 0;
        }
        size_t whole = size_t(uint64_t(left) / size);
        if (count > whole) count = whole;
        size_t bytes = count * size;
        uint8_t* p = static_cast<uint8_t*>(buffer);
        size_t done = 0;
        while (done < bytes) {
            ssize_t got = pread(f.fd, p + done, bytes - done, off_t(f.position + int64_t(done)));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += size_t(got);
        }
        f.position += int64_t(done);
        return done / size;
    }
    ArchivedFile& f = file->archived;
    if (f.eof) return 0;
    int64_t left = int64_t(f.dataSize) - f.position;
    if (left <= 0) {
        f.eof = 1;
        return 0;
    }
    size_t bytes = count > SIZE_MAX / size ? SIZE_MAX : count * size;
    if (uint64_t(bytes) > uint64_t(left)) bytes = size_t(left);
    if (f.buffer) {
        std::memcpy(buffer, f.buffer + f.position, bytes);
    } else {
        Archive* a = g_Archives[f.archive];
        int64_t at = int64_t(a->dataStart) + f.dataOffset + f.position;
        if (ReadAt(a->fd, buffer, bytes, at) != 0) return 0;
        ArchiveScramble(static_cast<uint8_t*>(buffer), bytes, uint64_t(at), a->key);
    }
    f.position += int64_t(bytes);
    return bytes / size;
}

int FileEof(int handle) {
    OpenFile* file = RecordOf(handle);
    if (!file) return 0;
    int eof = file->kind == RecordPlain ? file->plain.eof : file->archived.eof;
    return eof ? -1 : 0;
}

int FileIdle(int) { return 1; }

int FileSetCurrentDirectory(const char* path) {
    if (!path) return -1;
    return chdir(path) == 0 ? 0 : -1;
}

int FileGetCurrentDirectory(char* buffer, size_t size) {
    if (!buffer || size == 0) return -1;
    return getcwd(buffer, size) ? 0 : -1;
}
