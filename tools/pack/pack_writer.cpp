// Writes a version 4 archive: header, data area, then the header block
// (name table, file-entry table, directory table), all scrambled.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>

#include "tools/pack/pack.h"

namespace {

struct Node {
    std::string name;
    std::string fullPath;
    bool isDirectory = false;
    struct stat info {};
    std::vector<int> children;  // indices into the node list
    uint32_t dirOffset = 0;     // directory entry offset (directories)
    uint32_t entryOffset = ArchiveNone;  // own file entry offset
};

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}
void Put64(std::vector<uint8_t>& v, size_t at, uint64_t x) {
    for (int i = 0; i < 8; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

// 100 ns intervals since 1601, the platform file time.
uint64_t FileTime(const struct timespec& t) {
    return (uint64_t(t.tv_sec) + 11644473600ull) * 10000000ull + uint64_t(t.tv_nsec) / 100;
}

int Scan(std::vector<Node>& nodes, int index) {
    DIR* dir = opendir(nodes[size_t(index)].fullPath.c_str());
    if (!dir) {
        std::fprintf(stderr, "quellbore-pack: cannot read directory %s\n", nodes[size_t(index)].fullPath.c_str());
        return -1;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.push_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        Node child;
        child.name = name;
        child.fullPath = nodes[size_t(index)].fullPath + "/" + name;
        if (stat(child.fullPath.c_str(), &child.info) != 0) {
            std::fprintf(stderr, "quellbore-pack: cannot stat %s\n", child.fullPath.c_str());
            return -1;
        }
        if (S_ISDIR(child.info.st_mode)) {
            child.isDirectory = true;
        } else if (!S_ISREG(child.info.st_mode)) {
            continue;  // sockets, devices and the like are not packed
        }
        nodes.push_back(child);
        int childIndex = int(nodes.size() - 1);
        nodes[size_t(index)].children.push_back(childIndex);
        if (nodes[size_t(childIndex)].isDirectory && Scan(nodes, childIndex) != 0) return -1;
    }
    return 0;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    data->clear();
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) data->insert(data->end(), buffer, buffer + got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

int PackWriteArchive(const std::string& directory, const std::string& output, const PackOptions& options) {
    std::vector<Node> nodes(1);
    nodes[0].isDirectory = true;
    nodes[0].fullPath = directory;
    if (stat(directory.c_str(), &nodes[0].info) != 0 || !S_ISDIR(nodes[0].info.st_mode)) {
        std::fprintf(stderr, "quellbore-pack: %s is not a directory\n", directory.c_str());
        return -1;
    }
    if (Scan(nodes, 0) != 0) return -1;

    uint8_t key[ArchiveKeySize];
    if (options.plainKey) ArchivePlainKey(key);
    else ArchiveBuildKey(options.keyString, key);

    // Directories breadth first; each directory's entries are contiguous.
    std::vector<int> directories;
    std::vector<int> entryOrder;
    std::vector<uint32_t> firstEntry;
    std::deque<int> queue{0};
    while (!queue.empty()) {
        int d = queue.front();
        queue.pop_front();
        nodes[size_t(d)].dirOffset = uint32_t(directories.size() * ArchiveDirEntrySize);
        directories.push_back(d);
        firstEntry.push_back(uint32_t(entryOrder.size() * ArchiveFileEntrySizeV2));
        for (int c : nodes[size_t(d)].children) {
            nodes[size_t(c)].entryOffset = uint32_t(entryOrder.size() * ArchiveFileEntrySizeV2);
            entryOrder.push_back(c);
            if (nodes[size_t(c)].isDirectory) queue.push_back(c);
        }
    }

    FILE* out = std::fopen(output.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "quellbore-pack: cannot create %s\n", output.c_str());
        return -1;
    }
    uint64_t position = ArchiveHeaderSizeV4;
    auto write = [&](std::vector<uint8_t>& bytes) -> bool {
        if (bytes.empty()) return true;
        ArchiveScramble(bytes.data(), bytes.size(), position, key);
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        position += bytes.size();
        return ok;
    };
    std::vector<uint8_t> header(ArchiveHeaderSizeV4, 0);
    if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) {
        std::fclose(out);
        return -1;
    }

    // Data area.
    uint64_t dataStart = ArchiveHeaderSizeV4;
    std::vector<uint32_t> dataOffset(nodes.size(), 0), dataSize(nodes.size(), 0), packedSize(nodes.size(), ArchiveNone);
    for (int n : entryOrder) {
        Node& node = nodes[size_t(n)];
        if (node.isDirectory) continue;
        std::vector<uint8_t> data;
        if (!ReadWholeFile(node.fullPath, &data) || data.size() > 0xFFFFFFF0u) {
            std::fprintf(stderr, "quellbore-pack: cannot read %s\n", node.fullPath.c_str());
            std::fclose(out);
            return -1;
        }
        dataOffset[size_t(n)] = uint32_t(position - dataStart);
        dataSize[size_t(n)] = uint32_t(data.size());
        if (options.compress && !data.empty()) {
            uint8_t marker = 0;
            std::vector<uint8_t> stream = PackCompress(data.data(), data.size(), &marker);
            if (stream.size() + ArchiveBlockHeadSize < data.size()) {
                std::vector<uint8_t> block(ArchiveBlockHeadSize);
                Put32(block, 0, uint32_t(data.size()));
                Put32(block, 4, uint32_t(stream.size() + ArchiveBlockHeadSize));
                block[8] = marker;
                block.insert(block.end(), stream.begin(), stream.end());
                packedSize[size_t(n)] = uint32_t(block.size());
                if (!write(block)) {
                    std::fclose(out);
                    return -1;
                }
                continue;
            }
        }
        if (!write(data)) {
            std::fclose(out);
            return -1;
        }
    }
    if (position > 0xFFFFFFF0u) {
        std::fprintf(stderr, "quellbore-pack: archive too large\n");
        std::fclose(out);
        return -1;
    }

    // Header block: names, then file entries, then directories.
    std::vector<uint8_t> names;
    std::vector<uint32_t> nameOffset(nodes.size(), 0);
    for (int n : entryOrder) {
        const std::string& name = nodes[size_t(n)].name;
        std::vector<uint8_t> upper(name.size() + 8);
        uint16_t check = 0;
        int words = ArchiveSearchKey(name.data(), name.size(), 932, upper.data(), upper.size(), &check);
        nameOffset[size_t(n)] = uint32_t(names.size());
        size_t at = names.size();
        names.resize(at + 4 + size_t(words) * 8, 0);
        Put16(names, at, uint16_t(words));
        Put16(names, at + 2, check);
        std::memcpy(names.data() + at + 4, upper.data(), size_t(words) * 4);
        std::memcpy(names.data() + at + 4 + size_t(words) * 4, name.data(), name.size());
    }
    uint32_t fileTable = uint32_t(names.size());
    uint32_t dirTable = fileTable + uint32_t(entryOrder.size() * ArchiveFileEntrySizeV2);
    std::vector<uint8_t> block(dirTable + directories.size() * ArchiveDirEntrySize, 0);
    std::memcpy(block.data(), names.data(), names.size());
    for (size_t e = 0; e < entryOrder.size(); ++e) {
        const Node& node = nodes[size_t(entryOrder[e])];
        size_t at = fileTable + e * ArchiveFileEntrySizeV2;
        Put32(block, at, nameOffset[size_t(entryOrder[e])]);
        Put32(block, at + 4, node.isDirectory ? ArchiveAttrDirectory : 0x20);
        Put64(block, at + 8, FileTime(node.info.st_mtim));
        Put64(block, at + 16, FileTime(node.info.st_atim));
        Put64(block, at + 24, FileTime(node.info.st_mtim));
        Put32(block, at + 32, node.isDirectory ? node.dirOffset : dataOffset[size_t(entryOrder[e])]);
        Put32(block, at + 36, node.isDirectory ? 0 : dataSize[size_t(entryOrder[e])]);
        Put32(block, at + 40, node.isDirectory ? ArchiveNone : packedSize[size_t(entryOrder[e])]);
    }
    for (size_t d = 0; d < directories.size(); ++d) {
        const Node& node = nodes[size_t(directories[d])];
        size_t at = dirTable + d * ArchiveDirEntrySize;
        Put32(block, at, node.entryOffset);
        uint32_t parent = ArchiveNone;
        if (d != 0) {
            for (size_t p = 0; p < directories.size(); ++p) {
                const Node& candidate = nodes[size_t(directories[p])];
                if (std::find(candidate.children.begin(), candidate.children.end(), directories[d]) !=
                    candidate.children.end())
                    parent = candidate.dirOffset;
            }
        }
        Put32(block, at + 4, parent);
        Put32(block, at + 8, uint32_t(node.children.size()));
        Put32(block, at + 12, firstEntry[d]);
    }
    uint64_t blockOffset = position;
    if (!write(block)) {
        std::fclose(out);
        return -1;
    }

    Put16(header, 0, ArchiveMagic);
    Put16(header, 2, 4);
    Put32(header, 4, uint32_t(block.size()));
    Put32(header, 8, uint32_t(dataStart));
    Put32(header, 12, uint32_t(blockOffset));
    Put32(header, 16, fileTable);
    Put32(header, 20, dirTable);
    Put32(header, 24, 932);
    ArchiveScramble(header.data(), header.size(), 0, key);
    bool ok = std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), out) == header.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "quellbore-pack: cannot write %s\n", output.c_str());
        return -1;
    }
    return 0;
}
