// The archive format's pure parts: keys, scrambling, search keys and the
// decompressor. Shared by the file layer and the packer.
#include <cstring>

#include "engine/files/files.h"

namespace {

uint8_t SwapHalves(uint8_t b) { return uint8_t((b << 4) | (b >> 4)); }
uint8_t RotateLeft(uint8_t b, int n) { return uint8_t((b << n) | (b >> (8 - n))); }
uint8_t RotateRight(uint8_t b, int n) { return uint8_t((b >> n) | (b << (8 - n))); }

uint8_t TransformKeyByte(uint8_t b, int position) {
    switch (position) {
    case 0: return uint8_t(b ^ 0xFF);
    case 1: return SwapHalves(b);
    case 2: return RotateLeft(b, 3);
    case 3: return uint8_t(b ^ 0x5A);
    case 4: return uint8_t(SwapHalves(b) ^ 0xFF);
    case 5: return uint8_t(RotateLeft(b, 1) ^ 0x3C);
    case 6: return RotateRight(b, 2);
    case 7: return uint8_t(b ^ 0xA5);
    case 8: return uint8_t(RotateLeft(b, 5) ^ 0xFF);
    case 9: return uint8_t(SwapHalves(b) ^ 0x96);
    case 10: return uint8_t(RotateRight(b, 3) ^ 0x69);
    default: return uint8_t(b ^ 0xF0);
    }
}

}  // namespace

void ArchiveBuildKey(const char* keyString, uint8_t key[ArchiveKeySize]) {
    size_t length = keyString ? std::strlen(keyString) : 0;
    for (int i = 0; i < ArchiveKeySize; ++i) {
        uint8_t b = length ? uint8_t(keyString[size_t(i) % length]) : uint8_t(0xAA);
        key[i] = TransformKeyByte(b, i);
    }
}

void ArchivePlainKey(uint8_t key[ArchiveKeySize]) { std::memset(key, 0, ArchiveKeySize); }

void ArchiveScramble(uint8_t* data, size_t size, uint64_t offset, const uint8_t key[ArchiveKeySize]) {
    size_t k = size_t(offset % ArchiveKeySize);
    for (size_t i = 0; i < size; ++i) {
        data[i] ^= key[k];
        if (++k == ArchiveKeySize) k = 0;
    }
}

int ArchiveIsLeadByte(int codePage, uint8_t b) {
    switch (codePage) {
    case 936:
    case 949:
    case 950: return (b & 0x80) != 0;
    default: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    }
}

int ArchiveSearchKey(const char* name, size_t nameLength, int codePage, uint8_t* key,
                     size_t keySize, uint16_t* check) {
    int n = int((nameLength + 4) / 4);
    if (size_t(n) * 4 > keySize || n > 0xFFFF) return 0;
    std::memset(key, 0, size_t(n) * 4);
    uint16_t sum = 0;
    for (size_t i = 0; i < nameLength; ++i) {
        uint8_t b = uint8_t(name[i]);
        if (ArchiveIsLeadByte(codePage, b) && i + 1 < nameLength) {
            key[i] = b;
            key[i + 1] = uint8_t(name[i + 1]);
            sum = uint16_t(sum + b + uint8_t(name[i + 1]));
            ++i;
            continue;
        }
        if (b >= 'a' && b <= 'z') b = uint8_t(b - 'a' + 'A');
        key[i] = b;
        sum = uint16_t(sum + b);
    }
    if (check) *check = sum;
    return n;
}

int64_t ArchiveDecodedSize(const uint8_t* in, size_t inSize, uint8_t marker) {
    uint64_t op = 0;
    size_t ip = 0;
    while (ip < inSize) {
        uint8_t b = in[ip++];
        if (b != marker) {
            ++op;
            continue;
        }
        if (ip >= inSize) return -1;
        uint8_t c = in[ip++];
        if (c == marker) {
            ++op;
            continue;
        }
        if (c > marker) --c;
        uint64_t length = c >> 3;
        if (c & 4) {
            if (ip >= inSize) return -1;
            length |= uint64_t(in[ip++]) << 5;
        }
        length += 4;
        size_t fieldSize = size_t(c & 3) + 1;
        if (fieldSize > 3 || inSize - ip < fieldSize) return -1;
        uint64_t distance = 0;
        for (size_t i = 0; i < fieldSize; ++i) distance |= uint64_t(in[ip + i]) << (8 * i);
        ip += fieldSize;
        if (distance + 1 > op) return -1;
        op += length;
    }
    return int64_t(op);
}

int ArchiveDecompress(const uint8_t* in, size_t inSize, uint8_t marker, uint8_t* out, size_t outSize) {
    size_t ip = 0, op = 0;
    while (ip < inSize) {
        uint8_t b = in[ip++];
        if (b != marker) {
            if (op >= outSize) return -1;
            out[op++] = b;
            continue;
        }
        if (ip >= inSize) return -1;
        uint8_t c = in[ip++];
        if (c == marker) {
            if (op >= outSize) return -1;
            out[op++] = marker;
            continue;
        }
        if (c > marker) --c;
        size_t length = c >> 3;
        if (c & 4) {
            if (ip >= inSize) return -1;
            length |= size_t(in[ip++]) << 5;
        }
        length += 4;
        size_t distance;
        switch (c & 3) {
        case 0:
            if (inSize - ip < 1) return -1;
            distance = in[ip];
            ip += 1;
            break;
        case 1:
            if (inSize - ip < 2) return -1;
            distance = size_t(in[ip]) | size_t(in[ip + 1]) << 8;
            ip += 2;
            break;
        case 2:
            if (inSize - ip < 3) return -1;
            distance = size_t(in[ip]) | size_t(in[ip + 1]) << 8 | size_t(in[ip + 2]) << 16;
            ip += 3;
            break;
        default: return -1;  // distance size 3 means nothing
        }
        distance += 1;
        if (distance > op || length > outSize - op) return -1;
        const uint8_t* from = out + op - distance;
        for (size_t i = 0; i < length; ++i) out[op + i] = from[i];
        op += length;
    }
    return op == outSize ? 0 : -1;
}
