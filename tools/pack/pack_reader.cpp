// Reads an archive's tree (and data) for --list and --extract. Trusts no
// offset: every table access is checked against the header block.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "tools/pack/pack.h"

namespace {

uint32_t Get32(const uint8_t* v, uint64_t at) {
    return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}
uint16_t Get16(const uint8_t* v, uint64_t at) { return uint16_t(v[at] | v[at + 1] << 8); }

struct Parsed {
    const uint8_t* file;
    size_t fileSize;
    uint8_t key[ArchiveKeySize];
    int version;
    uint32_t dataStart, blockOffset, blockSize, fileTable, dirTable;
    std::vector<uint8_t> block;
};

bool Fits(uint64_t size, uint64_t at, uint64_t length) { return at <= size && length <= size - at; }

bool Parse(Parsed* p) {
    if (p->fileSize < 8) return false;
    uint8_t head[ArchiveHeaderSizeV4];
    size_t headLength = std::min<size_t>(p->fileSize, ArchiveHeaderSizeV4);
    std::memcpy(head, p->file, headLength);
    ArchiveScramble(head, headLength, 0, p->key);
    if (Get16(head, 0) != ArchiveMagic) return false;
    p->version = Get16(head, 2);
    if (p->version > ArchiveMaxVersion) return false;
    size_t headSize = p->version >= 4 ? ArchiveHeaderSizeV4 : ArchiveHeaderSize;
    if (headLength < headSize) return false;
    p->blockSize = Get32(head, 4);
    p->dataStart = Get32(head, 8);
    p->blockOffset = Get32(head, 12);
    p->fileTable = Get32(head, 16);
    p->dirTable = Get32(head, 20);
    if (!Fits(p->fileSize, p->blockOffset, p->blockSize)) return false;
    p->block.assign(p->file + p->blockOffset, p->file + p->blockOffset + p->blockSize);
    ArchiveScramble(p->block.data(), p->block.size(), p->blockOffset, p->key);
    return true;
}

// The data of one file entry, unscrambled and decompressed. Every size is
// checked against the bytes that hold it before a buffer is made for it.
bool ReadData(const Parsed& p, uint32_t offset, PackEntry* entry) {
    uint64_t at = uint64_t(p.dataStart) + offset;
    if (entry->packedSize == ArchiveNone) {
        if (!Fits(p.fileSize, at, entry->size)) return false;
        entry->data.assign(p.file + at, p.file + at + entry->size);
        ArchiveScramble(entry->data.data(), entry->data.size(), at, p.key);
        return true;
    }
    if (entry->packedSize < ArchiveBlockHeadSize || !Fits(p.fileSize, at, entry->packedSize)) return false;
    std::vector<uint8_t> packed(p.file + at, p.file + at + entry->packedSize);
    ArchiveScramble(packed.data(), packed.size(), at, p.key);
    uint32_t stated = Get32(packed.data(), 0), blockSize = Get32(packed.data(), 4);
    if (stated != entry->size || blockSize < ArchiveBlockHeadSize || blockSize > packed.size()) return false;
    const uint8_t* stream = packed.data() + ArchiveBlockHeadSize;
    size_t streamSize = blockSize - ArchiveBlockHeadSize;
    if (ArchiveDecodedSize(stream, streamSize, packed[8]) != int64_t(entry->size)) return false;
    entry->data.resize(entry->size);
    return ArchiveDecompress(stream, streamSize, packed[8], entry->data.data(), entry->data.size()) == 0;
}

// One directory being listed: where it is, how far, and the length of
// the path of the directory that holds it.
struct Frame {
    uint32_t count, first, next;
    size_t parentPathLength;
};

// Depth-first, in table order, with an explicit stack: a directory's entry
// comes before its contents. Paths are kept within the engine's limit.
bool Walk(const Parsed& p, bool withData, std::vector<PackEntry>* entries, std::string* problem) {
    const uint64_t entrySize = p.version >= 2 ? ArchiveFileEntrySizeV2 : ArchiveFileEntrySizeV0;
    std::set<uint32_t> seen;
    std::vector<Frame> stack;
    std::string path;  // of the directory on top of the stack

    auto enter = [&](uint32_t dirOffset, size_t parentPathLength) {
        if (!seen.insert(dirOffset).second) return false;  // a loop in the tree
        uint64_t d = uint64_t(p.dirTable) + dirOffset;
        if (!Fits(p.block.size(), d, ArchiveDirEntrySize)) return false;
        stack.push_back(Frame{Get32(p.block.data(), d + 8), Get32(p.block.data(), d + 12), 0, parentPathLength});
        return true;
    };
    *problem = "is damaged";
    if (!enter(0, 0)) return false;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.count) {
            path.resize(f.parentPathLength);
            stack.pop_back();
            continue;
        }
        uint64_t e = uint64_t(p.fileTable) + f.first + uint64_t(f.next) * entrySize;
        ++f.next;
        if (!Fits(p.block.size(), e, entrySize)) return false;
        uint32_t nameAt = Get32(p.block.data(), e);
        if (!Fits(p.block.size(), nameAt, 4)) return false;
        uint64_t words = Get16(p.block.data(), nameAt);
        if (!Fits(p.block.size(), uint64_t(nameAt) + 4, words * 8)) return false;
        const char* raw = reinterpret_cast<const char*>(p.block.data() + nameAt + 4 + words * 4);
        size_t nameLength = strnlen(raw, size_t(words) * 4);
        size_t pathLength = path.empty() ? nameLength : path.size() + 1 + nameLength;
        if (pathLength >= FilePathMax) {
            *problem = "holds a path longer than " + std::to_string(FilePathMax - 1) + " bytes";
            return false;
        }
        PackEntry entry;
        entry.path.reserve(pathLength);
        entry.path = path;
        if (!path.empty()) entry.path += '/';
        entry.path.append(raw, nameLength);
        entry.isDirectory = (Get32(p.block.data(), e + 4) & ArchiveAttrDirectory) != 0;
        entry.size = Get32(p.block.data(), e + 36);
        entry.packedSize = p.version >= 2 ? Get32(p.block.data(), e + 40) : ArchiveNone;
        uint32_t offset = Get32(p.block.data(), e + 32);
        if (entry.isDirectory) {
            entry.size = 0;
            if (stack.size() >= PackMaxDepth) {
                *problem = "nests directories deeper than " + std::to_string(PackMaxDepth);
                return false;
            }
            size_t parentPathLength = path.size();
            path = entry.path;
            entries->push_back(std::move(entry));
            if (!enter(offset, parentPathLength)) return false;
            continue;
        }
        if (withData && !ReadData(p, offset, &entry)) return false;
        entries->push_back(std::move(entry));
    }
    return true;
}

}  // namespace

int PackReadArchiveBytes(const uint8_t* data, size_t size, const char* keyString, bool withData,
                         std::vector<PackEntry>* entries, std::string* problem) {
    Parsed p;
    p.file = data;
    p.fileSize = data ? size : 0;
    entries->clear();
    ArchiveBuildKey(keyString, p.key);
    bool parsed = Parse(&p);
    if (!parsed) {
        ArchivePlainKey(p.key);
        parsed = Parse(&p);
    }
    if (!parsed) {
        *problem = "is not an archive readable with this key";
        return -1;
    }
    if (!Walk(p, withData, entries, problem)) {
        entries->clear();
        return -1;
    }
    return 0;
}

int PackReadArchive(const std::string& archive, const char* keyString, bool withData,
                    std::vector<PackEntry>* entries) {
    // Opened without blocking, so a FIFO in its place is refused, not waited on.
    int fd = open(archive.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) close(fd);
        std::fprintf(stderr, "quellbore-pack: cannot open %s\n", archive.c_str());
        return -1;
    }
    std::vector<uint8_t> file;
    uint8_t buffer[65536];
    bool failed = false;
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) failed = true;
        if (got <= 0) break;
        file.insert(file.end(), buffer, buffer + got);
    }
    close(fd);
    if (failed) {
        std::fprintf(stderr, "quellbore-pack: cannot read %s\n", archive.c_str());
        return -1;
    }
    std::string problem;
    if (PackReadArchiveBytes(file.data(), file.size(), keyString, withData, entries, &problem) != 0) {
        std::fprintf(stderr, "quellbore-pack: %s %s\n", archive.c_str(), problem.c_str());
        return -1;
    }
    return 0;
}
