// Greedy LZ compressor for the archive's stream format: literals, a marker
// byte doubled for a literal marker, and back-references of 4 ... 8195
// bytes reaching up to 2^24 bytes back.
#include <cstring>

#include "tools/pack/pack.h"

namespace {

constexpr size_t MinMatch = 4;
constexpr size_t MaxMatch = 4 + 8191;
constexpr size_t MaxDistance = size_t(1) << 24;
constexpr int HashBits = 16;
constexpr int ChainDepth = 48;

uint32_t Hash4(const uint8_t* p) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return (v * 2654435761u) >> (32 - HashBits);
}

}  // namespace

std::vector<uint8_t> PackCompress(const uint8_t* data, size_t size, uint8_t* marker) {
    size_t counts[256] = {};
    for (size_t i = 0; i < size; ++i) ++counts[data[i]];
    int best = 0;
    for (int b = 1; b < 256; ++b)
        if (counts[b] < counts[best]) best = b;
    uint8_t m = uint8_t(best);
    *marker = m;

    std::vector<uint8_t> out;
    out.reserve(size / 2 + 16);
    std::vector<int64_t> head(size_t(1) << HashBits, -1);
    std::vector<int64_t> previous(size, -1);
    auto insert = [&](size_t at) {
        if (at + MinMatch > size) return;
        uint32_t h = Hash4(data + at);
        previous[at] = head[h];
        head[h] = int64_t(at);
    };

    size_t i = 0;
    while (i < size) {
        size_t bestLength = 0, bestDistance = 0;
        if (i + MinMatch <= size) {
            int64_t candidate = head[Hash4(data + i)];
            size_t limit = size - i < MaxMatch ? size - i : MaxMatch;
            for (int depth = 0; candidate >= 0 && depth < ChainDepth; ++depth) {
                size_t distance = i - size_t(candidate);
                if (distance > MaxDistance) break;
                const uint8_t* a = data + candidate;
                const uint8_t* b = data + i;
                size_t length = 0;
                while (length < limit && a[length] == b[length]) ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                    if (length == limit) break;
                }
                candidate = previous[size_t(candidate)];
            }
        }
        if (bestLength >= MinMatch) {
            size_t field = bestDistance - 1;
            int distanceBytes = field < 0x100 ? 1 : field < 0x10000 ? 2 : 3;
            size_t lengthCode = bestLength - 4;
            size_t cost = 2 + (lengthCode >= 32 ? 1 : 0) + size_t(distanceBytes);
            if (cost < bestLength) {
                uint32_t c = uint32_t((lengthCode & 31) << 3) | (lengthCode >= 32 ? 4u : 0u) | uint32_t(distanceBytes - 1);
                out.push_back(m);
                out.push_back(uint8_t(c >= m ? c + 1 : c));
                if (lengthCode >= 32) out.push_back(uint8_t(lengthCode >> 5));
                for (int k = 0; k < distanceBytes; ++k) out.push_back(uint8_t(field >> (8 * k)));
                for (size_t k = 0; k < bestLength; ++k) insert(i + k);
                i += bestLength;
                continue;
            }
        }
        out.push_back(data[i]);
        if (data[i] == m) out.push_back(m);
        insert(i);
        ++i;
    }
    return out;
}
