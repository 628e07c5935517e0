// quellbore-pack --list and --extract on archives made to hurt the reader:
// directories nested far beyond any real tree, paths longer than the
// engine takes, and an entry whose size field lies. The packer runs as a
// separate process under a memory limit, so a reader that recursed or
// believed the size would crash instead of refusing the file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A name entry: word count, check value, the upper-cased name and the
// name as written, each zero-padded to the word count.
void PutName(Bytes& b, const std::string& name) {
    uint32_t words = uint32_t((name.size() + 4) / 4);
    uint32_t check = 0;
    std::string upper = name;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        check += uint8_t(c);
    }
    Put16(b, words);
    Put16(b, check & 0xFFFF);
    for (const std::string* s : {static_cast<const std::string*>(&upper), &name}) {
        Bytes field(words * 4, 0);
        std::copy(s->begin(), s->end(), field.begin());
        b.insert(b.end(), field.begin(), field.end());
    }
}

void PutFileEntry(Bytes& b, uint32_t nameAt, bool directory, uint32_t offset, uint32_t size, uint32_t packed) {
    Put32(b, nameAt);
    Put32(b, directory ? 0x10 : 0x20);
    for (int i = 0; i < 6; ++i) Put32(b, 0);  // three file times
    Put32(b, offset);
    Put32(b, size);
    Put32(b, packed);
}

// An unscrambled version-2 archive: `depth` directories named `dirName`
// nested in a chain, and in the innermost one a file "f.txt" whose data
// area holds `data`, with the given size field and packed size.
Bytes ChainArchive(size_t depth, const std::string& dirName, const Bytes& data, uint32_t sizeField,
                   uint32_t packedSize) {
    Bytes names;
    PutName(names, dirName);
    uint32_t fileNameAt = uint32_t(names.size());
    PutName(names, "f.txt");
    Bytes files, dirs;
    for (size_t i = 0; i < depth; ++i) PutFileEntry(files, 0, true, uint32_t((i + 1) * 16), 0, 0xFFFFFFFFu);
    PutFileEntry(files, fileNameAt, false, 0, sizeField, packedSize);
    for (size_t i = 0; i <= depth; ++i) {
        Put32(dirs, 0);
        Put32(dirs, i == 0 ? 0xFFFFFFFFu : uint32_t((i - 1) * 16));
        Put32(dirs, 1);
        Put32(dirs, uint32_t(i * 44));
    }
    Bytes block = names;
    block.insert(block.end(), files.begin(), files.end());
    block.insert(block.end(), dirs.begin(), dirs.end());
    Bytes a;
    Put16(a, 0x5241);
    Put16(a, 2);
    Put32(a, uint32_t(block.size()));
    Put32(a, uint32_t(24 + block.size()));  // data area after the block
    Put32(a, 24);
    Put32(a, uint32_t(names.size()));
    Put32(a, uint32_t(names.size() + files.size()));
    a.insert(a.end(), block.begin(), block.end());
    a.insert(a.end(), data.begin(), data.end());
    return a;
}

struct PackRun {
    int status;  // exit code, or 128 + signal
    std::string out, err;
};

std::string ReadText(const std::string& path) {
    std::string s;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) s.append(buffer, n);
        std::fclose(f);
    }
    return s;
}

class HostileArchives : public ::testing::Test {
protected:
    TempFolder folder{"qbpack"};
    std::string dir;
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
    }
    std::string Write(const Bytes& b) {
        std::string path = dir + "/hostile.ARC";
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
        return path;
    }
    static bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
        return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
        return true;
#endif
#endif
        return false;
    }
    // The packer with 1 GiB of address space and the usual 8 MiB stack.
    // (AddressSanitizer reserves terabytes of shadow: there the address
    // space is left alone and the sanitizer's own allocation limit stands in.)
    PackRun Pack(const std::string& arguments) {
        std::string command = std::string(UnderAddressSanitizer() ? "export ASAN_OPTIONS=$ASAN_OPTIONS:max_allocation_size_mb=1024:allocator_may_return_null=1; " : "ulimit -v 1048576; ") +
                              "ulimit -s 8192; '" + std::string(QUELLBORE_BUILD_DIR) +
                              "/quellbore-pack' " + arguments + " >'" + dir + "/out' 2>'" + dir + "/err'";
        int status = std::system(command.c_str());
        PackRun r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = ReadText(dir + "/out");
        r.err = ReadText(dir + "/err");
        return r;
    }
};

TEST_F(HostileArchives, DeepTreesAreRefusedCleanlyAndShallowOnesListed) {
    // 30,000 levels once overflowed the stack; 2,000 stay within the limit
    // of the engine's paths ("a/" per level).
    Bytes data = {'o', 'k'};
    std::string deep = Write(ChainArchive(30000, "a", data, 2, 0xFFFFFFFFu));
    for (const std::string& mode : {std::string("--list"), "--extract '" + dir + "/x'"}) {
        SCOPED_TRACE(mode);
        PackRun r = Pack(mode + " '" + deep + "'");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("deeper than"), std::string::npos) << r.err;
    }

    std::string fine = Write(ChainArchive(2000, "a", data, 2, 0xFFFFFFFFu));
    PackRun r = Pack("--list '" + fine + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string innermost;
    for (int i = 0; i < 2000; ++i) innermost += "a/";
    EXPECT_NE(r.out.find(innermost + "f.txt\t2\tstored\n"), std::string::npos);
}

TEST_F(HostileArchives, PathsLongerThanTheEngineTakesAreRefused) {
    // Five levels of 1,000-byte names: shallow, but 5,000 bytes of path.
    Bytes data = {'o', 'k'};
    std::string path = Write(ChainArchive(5, std::string(1000, 'n'), data, 2, 0xFFFFFFFFu));
    PackRun r = Pack("--list '" + path + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("path longer than 4095 bytes"), std::string::npos) << r.err;
    // Four levels (4,004 bytes with the separators and the file) still fit.
    path = Write(ChainArchive(4, std::string(1000, 'n'), data, 2, 0xFFFFFFFFu));
    EXPECT_EQ(Pack("--list '" + path + "'").status, 0);
}

TEST_F(HostileArchives, AnEntrySizeItsPackedBytesCannotFillIsDamage) {
    // A compressed block of three literal bytes (marker 0xFF) that claims
    // to decode to 3.75 GiB, once zero-filled before the check.
    Bytes block;
    Put32(block, 0xF0000000u);
    Put32(block, 9 + 3);
    block.push_back(0xFF);
    for (uint8_t c : {'a', 'b', 'c'}) block.push_back(c);
    std::string lying = Write(ChainArchive(0, "a", block, 0xF0000000u, uint32_t(block.size())));
    PackRun r = Pack("--extract '" + dir + "/x' '" + lying + "'");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("is damaged"), std::string::npos) << r.err;
    // Listing reads no data: the claim is only shown.
    EXPECT_EQ(Pack("--list '" + lying + "'").status, 0);

    // The same block with its true size extracts.
    Set32(block, 0, 3);
    std::string honest = Write(ChainArchive(0, "a", block, 3, uint32_t(block.size())));
    r = Pack("--extract '" + dir + "/y' '" + honest + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadText(dir + "/y/f.txt"), "abc");
}

TEST_F(HostileArchives, AFifoInPlaceOfTheArchiveIsRefusedNotWaitedOn) {
    std::string fifo = dir + "/pipe.ARC";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    PackRun r = Pack("--list '" + fifo + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

}  // namespace
