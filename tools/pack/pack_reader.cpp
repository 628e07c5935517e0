// Reads an archive's tree (and data) for --list and --extract. Trusts no
// offset: every table access is checked against the header block.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "tools/pack/pack.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& v, uint64_t at) {
    return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}
uint16_t Get16(const std::vector<uint8_t>& v, uint64_t at) { return uint16_t(v[at] | v[at + 1] << 8); }

struct Parsed {
    std::vector<uint8_t> file;
    uint8_t key[ArchiveKeySize];
    int version;
    uint32_t dataStart, blockOffset, blockSize, fileTable, dirTable;
    std::vector<uint8_t> block;
};

bool Fits(uint64_t size, uint64_t at, uint64_t length) { return at <= size && length <= size - at; }

bool Parse(Parsed* p) {
    if (p->file.size() < 8) return false;
    std::vector<uint8_t> head(p->file.begin(), p->file.begin() + std::min<size_t>(p->file.size(), ArchiveHeaderSizeV4));
    ArchiveScramble(head.data(), head.size(), 0, p->key);
    if (Get16(head, 0) != ArchiveMagic) return false;
    p->version = Get16(head, 2);
    if (p->version > ArchiveMaxVersion) return false;
    size_t headSize = p->version >= 4 ? ArchiveHeaderSizeV4 : ArchiveHeaderSize;
    if (head.size() < headSize) return false;
    p->blockSize = Get32(head, 4);
    p->dataStart = Get32(head, 8);
    p->blockOffset = Get32(head, 12);
    p->fileTable = Get32(head, 16);
    p->dirTable = Get32(head, 20);
    if (!Fits(p->file.size(), p->blockOffset, p->blockSize)) return false;
    p->block.assign(p->file.begin() + p->blockOffset, p->file.begin() + p->blockOffset + p->blockSize);
    ArchiveScramble(p->block.data(), p->block.size(), p->blockOffset, p->key);
    return true;
}

bool Walk(Parsed& p, uint32_t dirOffset, const std::string& prefix, bool withData, std::set<uint32_t>& seen,
          std::vector<PackEntry>* entries) {
    if (!seen.insert(dirOffset).second) return false;  // a loop in the tree
    uint64_t d = uint64_t(p.dirTable) + dirOffset;
    if (!Fits(p.block.size(), d, ArchiveDirEntrySize)) return false;
    uint32_t count = Get32(p.block, d + 8), first = Get32(p.block, d + 12);
    uint64_t entrySize = p.version >= 2 ? ArchiveFileEntrySizeV2 : ArchiveFileEntrySizeV0;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t e = uint64_t(p.fileTable) + first + uint64_t(i) * entrySize;
        if (!Fits(p.block.size(), e, entrySize)) return false;
        uint32_t nameAt = Get32(p.block, e);
        if (!Fits(p.block.size(), nameAt, 4)) return false;
        uint64_t words = Get16(p.block, nameAt);
        if (!Fits(p.block.size(), uint64_t(nameAt) + 4, words * 8)) return false;
        const char* raw = reinterpret_cast<const char*>(p.block.data() + nameAt + 4 + words * 4);
        std::string name(raw, strnlen(raw, size_t(words) * 4));
        PackEntry entry;
        entry.path = prefix.empty() ? name : prefix + "/" + name;
        entry.isDirectory = (Get32(p.block, e + 4) & ArchiveAttrDirectory) != 0;
        entry.size = Get32(p.block, e + 36);
        entry.packedSize = p.version >= 2 ? Get32(p.block, e + 40) : ArchiveNone;
        uint32_t offset = Get32(p.block, e + 32);
        if (entry.isDirectory) {
            entry.size = 0;
            entries->push_back(entry);
            if (!Walk(p, offset, entry.path, withData, seen, entries)) return false;
            continue;
        }
        if (withData) {
            uint64_t at = uint64_t(p.dataStart) + offset;
            if (entry.packedSize == ArchiveNone) {
                if (!Fits(p.file.size(), at, entry.size)) return false;
                entry.data.assign(p.file.begin() + at, p.file.begin() + at + entry.size);
                ArchiveScramble(entry.data.data(), entry.data.size(), at, p.key);
            } else {
                if (entry.packedSize < ArchiveBlockHeadSize || !Fits(p.file.size(), at, entry.packedSize)) return false;
                std::vector<uint8_t> packed(p.file.begin() + at, p.file.begin() + at + entry.packedSize);
                ArchiveScramble(packed.data(), packed.size(), at, p.key);
                uint32_t stated = Get32(packed, 0), blockSize = Get32(packed, 4);
                if (stated != entry.size || blockSize < ArchiveBlockHeadSize || blockSize > packed.size()) return false;
                entry.data.resize(entry.size);
                if (ArchiveDecompress(packed.data() + ArchiveBlockHeadSize, blockSize - ArchiveBlockHeadSize, packed[8],
                                      entry.data.data(), entry.data.size()) != 0)
                    return false;
            }
        }
        entries->push_back(std::move(entry));
    }
    return true;
}

}  // namespace

int PackReadArchive(const std::string& archive, const char* keyString, bool withData,
                    std::vector<PackEntry>* entries) {
    Parsed p;
    FILE* f = std::fopen(archive.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "quellbore-pack: cannot open %s\n", archive.c_str());
        return -1;
    }
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) p.file.insert(p.file.end(), buffer, buffer + got);
    std::fclose(f);

    ArchiveBuildKey(keyString, p.key);
    bool parsed = Parse(&p);
    if (!parsed) {
        ArchivePlainKey(p.key);
        parsed = Parse(&p);
    }
    if (!parsed) {
        std::fprintf(stderr, "quellbore-pack: %s is not an archive readable with this key\n", archive.c_str());
        return -1;
    }
    std::set<uint32_t> seen;
    entries->clear();
    if (!Walk(p, 0, "", withData, seen, entries)) {
        std::fprintf(stderr, "quellbore-pack: %s is damaged\n", archive.c_str());
        return -1;
    }
    return 0;
}
