// The file layer under image and sound loading: archive-aware streams,
// memory streams, and the archive format shared with the packer.
//
// Stream handles are slot | 0xF0000000; 0 means failure. A file whose path
// lies under a directory for which an archive "<dir>.ARC" (or ".arc")
// exists is read out of that archive and never looked for on disk.
#pragma once

#include <cstddef>
#include <cstdint>

enum {
    FileSlotCount = 512,
    ArchiveSlotCount = 512,
    ArchiveKeySize = 12,
    FilePathMax = 4096,
};

// Started by EngineInit (closes unreferenced archives, remembers the
// working directory); ended by EngineEnd (closes every file and archive,
// restores the working directory). The layer also works without them.
int FileLayerInit();
void FileLayerEnd();

// Archive key string for archives opened from now on (null: the default
// key). The packer and the engine build the key the same way.
void FileSetArchiveKey(const char* keyString);
// 0 switches archive lookup off (plain files only); 1, the start value,
// is the archive-aware set.
void FileSetUseArchives(int use);

// ------------------------------------------------------ stream operations
// The loaders pass (path, 0, 1, 0). Read-ahead and asynchronous modes are
// accepted and behave as plain synchronous reads.
int FileOpen(const char* path, int readAhead = 0, int shared = 1, int async = 0);
int FileClose(int handle);             // 0, or -1 for an invalid handle
int64_t FileTell(int handle);          // -1 for an invalid handle
// origin 0 start, 1 current, 2 end. 0, or -1 on failure.
int FileSeek(int handle, int64_t offset, int origin);
// Whole elements read (a trailing part element counts only for archived
// files, whose bytes are copied; see the .cpp).
size_t FileRead(void* buffer, size_t size, size_t count, int handle);
int FileEof(int handle);               // -1 once a read hit the end, else 0
int FileIdle(int handle);              // 1: nothing pending (always)
int64_t FileSize(int handle);          // -1 for an invalid handle
// 1 when the handle names an open stream.
int FileIsOpen(int handle);

int FileSetCurrentDirectory(const char* path);
int FileGetCurrentDirectory(char* buffer, size_t size);

// Local date and time of a file time.
struct FileDateTime {
    int year, month, day, hour, minute, second, millisecond;
};
struct FileFindInfo {
    char name[260];
    int isDirectory;
    uint64_t size;
    FileDateTime created;
    FileDateTime lastWrite;
};
// pattern: a directory path and a last component with '*' and '?'.
// Returns a find handle (>= 0) or -1; FileFindNext 0 or -1.
int FileFindFirst(const char* pattern, FileFindInfo* info);
int FileFindNext(int findHandle, FileFindInfo* info);
int FileFindClose(int findHandle);

// --------------------------------------------------------- memory streams
struct MemoryStream {
    const uint8_t* data;
    size_t size;
    size_t position;
    int eof;
};
void MemoryStreamOpen(MemoryStream* stream, const void* data, size_t size);
int MemoryStreamClose(MemoryStream* stream);
int64_t MemoryStreamTell(MemoryStream* stream);
int MemoryStreamSeek(MemoryStream* stream, int64_t offset, int origin);
// Copies whole elements. With less than one whole element left it copies
// the remaining bytes, sets end-of-file and returns 0.
size_t MemoryStreamRead(void* buffer, size_t size, size_t count, MemoryStream* stream);
int MemoryStreamEof(MemoryStream* stream);   // 1 once a read hit the end
int MemoryStreamIdle(MemoryStream* stream);  // 1

// ------------------------------------- one stream, file or memory block
// What decoders read from. Plain struct, dispatch by kind.
enum EngineStreamKind { EngineStreamNone = 0, EngineStreamFile = 1, EngineStreamMemory = 2 };
struct EngineStream {
    int kind;
    int file;             // file-layer handle (kind File)
    MemoryStream memory;  // (kind Memory)
};
void EngineStreamFromFile(EngineStream* stream, int handle);
void EngineStreamFromMemory(EngineStream* stream, const void* data, size_t size);
size_t EngineStreamRead(EngineStream* stream, void* buffer, size_t size, size_t count);
int EngineStreamSeek(EngineStream* stream, int64_t offset, int origin);
int64_t EngineStreamTell(EngineStream* stream);
int EngineStreamEof(EngineStream* stream);
int64_t EngineStreamSize(EngineStream* stream);
// Reads exactly `size` bytes; 0 when all came, -1 otherwise.
int EngineStreamReadExact(EngineStream* stream, void* buffer, size_t size);

// ------------------------------------------------------- archive format
// All integers little-endian; every byte of the file XOR-ed with
// key[offset % 12].
enum {
    ArchiveMagic = 0x5241,  // "AR"
    ArchiveMaxVersion = 4,
    ArchiveHeaderSize = 24,    // versions 0 ... 3
    ArchiveHeaderSizeV4 = 28,  // adds the code page
    ArchiveDirEntrySize = 16,
    ArchiveFileEntrySizeV0 = 40,
    ArchiveFileEntrySizeV2 = 44,
    ArchiveAttrDirectory = 0x10,
    ArchiveBlockHeadSize = 9,
};
constexpr uint32_t ArchiveNone = 0xFFFFFFFFu;  // root parent, stored file

// The key of a key string (null: twelve 0xAA), each byte transformed by
// its position.
void ArchiveBuildKey(const char* keyString, uint8_t key[ArchiveKeySize]);
// The second fixed key: twelve zero bytes (no scrambling).
void ArchivePlainKey(uint8_t key[ArchiveKeySize]);
// XOR in place, the first byte lying at archive-file offset `offset`.
void ArchiveScramble(uint8_t* data, size_t size, uint64_t offset, const uint8_t key[ArchiveKeySize]);

// Search key of a name: upper-cased (ASCII letters only, double-byte
// characters of the code page kept), zero-padded to a multiple of 4 with at
// least one zero byte. Returns the word count n (0 when it does not fit in
// keySize), and the check value (byte sum of the upper-cased name).
int ArchiveSearchKey(const char* name, size_t nameLength, int codePage, uint8_t* key,
                     size_t keySize, uint16_t* check);
// 1 when byte b starts a double-byte character in the code page (932,
// 936, 949, 950; anything else counts as 932).
int ArchiveIsLeadByte(int codePage, uint8_t b);

// Decompresses a compressed stream (the part after the 9-byte block head)
// into exactly outSize bytes. 0 on success; -1 when the stream is corrupt
// (distance size 3, a reference before the start, too much or too little
// output, a truncated code).
int ArchiveDecompress(const uint8_t* in, size_t inSize, uint8_t marker, uint8_t* out, size_t outSize);
// The number of bytes the stream decodes to, found without writing them;
// -1 when it is corrupt. A size field is checked against it before any
// buffer of that size is made.
int64_t ArchiveDecodedSize(const uint8_t* in, size_t inSize, uint8_t marker);
