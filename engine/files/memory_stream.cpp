// Memory streams, and the one-stream wrapper decoders read through.
#include <cstring>

#include "engine/files/files.h"

void MemoryStreamOpen(MemoryStream* stream, const void* data, size_t size) {
    stream->data = static_cast<const uint8_t*>(data);
    stream->size = data ? size : 0;
    stream->position = 0;
    stream->eof = 0;
}

int MemoryStreamClose(MemoryStream* stream) {
    if (!stream) return -1;
    stream->data = nullptr;
    stream->size = 0;
    stream->position = 0;
    stream->eof = 0;
    return 0;
}

int64_t MemoryStreamTell(MemoryStream* stream) { return stream ? int64_t(stream->position) : -1; }

int MemoryStreamSeek(MemoryStream* stream, int64_t offset, int origin) {
    if (!stream) return -1;
    int64_t base;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = int64_t(stream->position); break;
    case 2: base = int64_t(stream->size); break;
    default: return -1;
    }
    int64_t target = base + offset;
    if (target < 0) target = 0;
    if (target > int64_t(stream->size)) target = int64_t(stream->size);
    stream->position = size_t(target);
    stream->eof = 0;
    return 0;
}

size_t MemoryStreamRead(void* buffer, size_t size, size_t count, MemoryStream* stream) {
    if (!stream || size == 0 || count == 0) return 0;
    size_t left = stream->size - stream->position;
    if (left == 0) {
        stream->eof = 1;
        return 0;
    }
    size_t whole = left / size;
    if (whole == 0) {
        // A part element: its bytes are copied but not counted as read,
        // so the caller never takes a half-filled element for a whole one.
        std::memcpy(buffer, stream->data + stream->position, left);
        stream->position = stream->size;
        stream->eof = 1;
        return 0;
    }
    if (count > whole) count = whole;
    std::memcpy(buffer, stream->data + stream->position, count * size);
    stream->position += count * size;
    return count;
}

int MemoryStreamEof(MemoryStream* stream) { return stream && stream->eof ? 1 : 0; }
int MemoryStreamIdle(MemoryStream*) { return 1; }

// ---------------------------------------------------------------- wrapper

void EngineStreamFromFile(EngineStream* stream, int handle) {
    std::memset(stream, 0, sizeof *stream);
    stream->kind = EngineStreamFile;
    stream->file = handle;
}

void EngineStreamFromMemory(EngineStream* stream, const void* data, size_t size) {
    std::memset(stream, 0, sizeof *stream);
    stream->kind = EngineStreamMemory;
    MemoryStreamOpen(&stream->memory, data, size);
}

size_t EngineStreamRead(EngineStream* stream, void* buffer, size_t size, size_t count) {
    switch (stream->kind) {
    case EngineStreamFile: return FileRead(buffer, size, count, stream->file);
    case EngineStreamMemory: return MemoryStreamRead(buffer, size, count, &stream->memory);
    default: return 0;
    }
}

int EngineStreamSeek(EngineStream* stream, int64_t offset, int origin) {
    switch (stream->kind) {
    case EngineStreamFile: return FileSeek(stream->file, offset, origin);
    case EngineStreamMemory: return MemoryStreamSeek(&stream->memory, offset, origin);
    default: return -1;
    }
}

int64_t EngineStreamTell(EngineStream* stream) {
    switch (stream->kind) {
    case EngineStreamFile: return FileTell(stream->file);
    case EngineStreamMemory: return MemoryStreamTell(&stream->memory);
    default: return -1;
    }
}

int EngineStreamEof(EngineStream* stream) {
    switch (stream->kind) {
    case EngineStreamFile: return FileEof(stream->file);
    case EngineStreamMemory: return MemoryStreamEof(&stream->memory);
    default: return 1;
    }
}

int64_t EngineStreamSize(EngineStream* stream) {
    switch (stream->kind) {
    case EngineStreamFile: return FileSize(stream->file);
    case EngineStreamMemory: return int64_t(stream->memory.size);
    default: return -1;
    }
}

int EngineStreamReadExact(EngineStream* stream, void* buffer, size_t size) {
    if (size == 0) return 0;
    return EngineStreamRead(stream, buffer, 1, size) == size ? 0 : -1;
}
