// The tracked allocator: every engine block carries a 64-byte header that
// names its caller, and the live blocks form a list that the memory report
// at shut-down prints.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engine/core/core.h"

namespace {

// Pointers are 8 bytes here, so the links take 16 bytes and the rest of
// the header holds a copy of the file name and a check sum over bytes
// 0 ... 39, refreshed whenever the header or a neighbour's link changes.
struct BlockHeader {
    char file[16];       // last 15 characters of the caller's file, NUL
    uint16_t id;         // allocation number, wraps at 65536
    uint16_t line;       // caller's line; 0xFFFF for the log's buffers
    uint32_t size;       // bytes requested
    BlockHeader* next;   // older block
    BlockHeader* prev;   // newer block
    uint64_t checkSum;   // over bytes 0 ... 39
    char fileCopy[64 - 16 - 8 - 2 * sizeof(void*) - 8];  // copy of file
};
static_assert(sizeof(BlockHeader) == 64, "the block header is 64 bytes");
constexpr size_t HeaderSize = sizeof(BlockHeader);
constexpr size_t CheckedBytes = offsetof(BlockHeader, checkSum);

struct AllocState {
    BlockHeader* newest;
    size_t totalBytes;
    int blockCount;
    uint16_t nextId;
    size_t watchSize;
    size_t blockLimit;
};
AllocState g_Alloc;

std::recursive_mutex& AllocMutex() {
    static std::recursive_mutex m;
    return m;
}

uint64_t HeaderSum(const BlockHeader* h) {
    const unsigned char* p = (const unsigned char*)h;
    uint64_t sum = 14695981039346656037ull;
    for (size_t i = 0; i < CheckedBytes; ++i) {
        sum ^= p[i];
        sum *= 1099511628211ull;
    }
    return sum;
}

void Refresh(BlockHeader* h) {
    if (!h) return;
    std::memcpy(h->fileCopy, h->file, sizeof h->fileCopy);
    h->checkSum = HeaderSum(h);
}

bool HeaderIntact(const BlockHeader* h) {
    return h->checkSum == HeaderSum(h) && std::memcmp(h->fileCopy, h->file, sizeof h->fileCopy) == 0;
}

// "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%08x  data:<...> [.. ..]\n"
void FormatBlockLine(const BlockHeader* h, char* out, size_t capacity) {
    char file[16];
    std::memcpy(file, h->file, 15);
    file[15] = '\0';
    const unsigned char* data = (const unsigned char*)(h + 1);
    size_t shown = h->size < 16 ? h->size : 16;
    int n = std::snprintf(out, capacity, "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%08llx  data:<",
                          (int)h->size, h->size / 1024.0, file, (int)h->line, (int)h->id,
                          (unsigned long long)(uintptr_t)data);
    size_t w = n < 0 ? 0 : (size_t)n;
    for (size_t i = 0; i < shown && w + 1 < capacity; ++i) {
        unsigned char c = data[i];
        out[w++] = (c < 32 || c >= 128) ? '.' : (char)c;
    }
    const char* middle = "> [";
    for (const char* m = middle; *m && w + 1 < capacity; ++m) out[w++] = *m;
    for (size_t i = 0; i < shown && w + 4 < capacity; ++i) {
        std::snprintf(out + w, capacity - w, "%02x ", data[i]);
        w += 3;
    }
    // The last character written (the last blank, or the '[' when no byte
    // was shown) becomes the closing bracket.
    if (w > 0) out[w - 1] = ']';
    if (w + 1 < capacity) out[w++] = '\n';
    out[w] = '\0';
}

void LogBlock(const char* heading, const BlockHeader* h) {
    char line[256];
    FormatBlockLine(h, line, sizeof line);
    if (heading) LogWrite(heading);
    LogWrite(line);
}

void* Fail() {
    LogMemoryReport();
    TrackedCheckHeaders();
    return nullptr;
}

void* Allocate(size_t size, const char* file, int line) {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    if (g_Alloc.blockLimit && size > g_Alloc.blockLimit) return nullptr;
    if (size > UINT32_MAX - HeaderSize) return Fail();
    BlockHeader* h = (BlockHeader*)std::malloc(size + HeaderSize);
    if (!h) return Fail();
    std::memset(h, 0, HeaderSize);
    if (file) {
        size_t len = std::strlen(file);
        const char* tail = len > 15 ? file + len - 15 : file;
        std::memcpy(h->file, tail, std::strlen(tail));
    }
    h->id = g_Alloc.nextId++;
    h->line = (uint16_t)line;
    h->size = (uint32_t)size;
    h->next = g_Alloc.newest;
    h->prev = nullptr;
    if (g_Alloc.newest) {
        g_Alloc.newest->prev = h;
        Refresh(g_Alloc.newest);
    }
    g_Alloc.newest = h;
    Refresh(h);
    g_Alloc.totalBytes += size;
    ++g_Alloc.blockCount;
    return h + 1;
}

// Takes the block out of the list; false (and the block kept) when its
// header or its links are damaged.
bool Unlink(BlockHeader* h) {
    bool linked = h->prev ? h->prev->next == h : g_Alloc.newest == h;
    if (!HeaderIntact(h) || !linked || (h->next && h->next->prev != h)) {
        LogBlock("以下のメモリ確保情報が破損しました", h);
        return false;
    }
    if (h->prev) {
        h->prev->next = h->next;
        Refresh(h->prev);
    } else {
        g_Alloc.newest = h->next;
    }
    if (h->next) {
        h->next->prev = h->prev;
        Refresh(h->next);
    }
    g_Alloc.totalBytes -= h->size;
    --g_Alloc.blockCount;
    return true;
}

}  // namespace

void* TrackedAlloc(size_t size, const char* file, int line) {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    void* block = Allocate(size, file, line);
    if (block && size == g_Alloc.watchSize) LogBlock("mem alloc  ", (BlockHeader*)block - 1);
    return block;
}

void* TrackedAllocZeroed(size_t size, const char* file, int line) {
    void* block = TrackedAlloc(size, file, line);
    if (block) std::memset(block, 0, size);
    return block;
}

void* TrackedRealloc(void* block, size_t size, const char* file, int line) {
    if (!block) return TrackedAlloc(size, file, line);
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    BlockHeader* old = (BlockHeader*)block - 1;
    if (!HeaderIntact(old)) {
        LogBlock("以下のメモリ確保情報が破損しました", old);
        return nullptr;
    }
    void* fresh = Allocate(size, file, line);
    if (!fresh) return nullptr;
    std::memcpy(fresh, block, old->size < size ? old->size : size);
    if (size == g_Alloc.watchSize) LogBlock("mem realloc  ", (BlockHeader*)fresh - 1);
    if (Unlink(old)) std::free(old);
    return fresh;
}

void TrackedFree(void* block) {
    if (!block) return;
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    BlockHeader* h = (BlockHeader*)block - 1;
    if (!Unlink(h)) return;  // a damaged block is leaked, never freed blind
    if (h->size == g_Alloc.watchSize) LogBlock("mem free  ", h);
    std::free(h);
}

size_t TrackedTotalBytes() {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    return g_Alloc.totalBytes;
}

int TrackedBlockCount() {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    return g_Alloc.blockCount;
}

void TrackedSetWatchSize(size_t size) {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    g_Alloc.watchSize = size;
}

void LogMemoryReport() {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    LogWrite("\n");
    LogWrite("Alloc memory dump\n");
    for (BlockHeader* h = g_Alloc.newest; h; h = h->next) {
        if (!HeaderIntact(h)) {
            LogBlock("以下のメモリ確保情報が破損しました", h);
            break;
        }
        LogBlock(nullptr, h);
    }
    LogWriteFormat("\tTotal size:%d(%.3fkb)  Alloc num:%d", (int)g_Alloc.totalBytes,
                   g_Alloc.totalBytes / 1024.0, g_Alloc.blockCount);
    LogWrite("\n");
}

int TrackedCheckHeaders() {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    for (BlockHeader* h = g_Alloc.newest; h; h = h->next) {
        if (!HeaderIntact(h)) {
            LogBlock("以下のメモリ確保情報が破損しました", h);
            return -1;
        }
    }
    return 0;
}

void TrackedSetBlockLimit(size_t bytes) {
    std::lock_guard<std::recursive_mutex> lock(AllocMutex());
    g_Alloc.blockLimit = bytes;
}
