// UTF-8 text of the game's source turned into the engine's Shift-JIS once,
// kept in a fixed pool for the whole run.
#include <iconv.h>

#include <cstring>

#include "engine/engine.h"

namespace {

enum { PoolBytes = 128 * 1024, PoolEntries = 1024 };

struct Entry {
    const char* source;     // caller's pointer (fast path)
    const char* utf8;       // copy of the source text in the pool
    const char* converted;  // Shift-JIS in the pool
};

char g_Pool[PoolBytes];
size_t g_PoolUsed;
Entry g_Entries[PoolEntries];
int g_EntryCount;

const char* Remember(const char* text, size_t length) {
    if (g_PoolUsed + length + 1 > sizeof g_Pool) return nullptr;
    char* copy = g_Pool + g_PoolUsed;
    std::memcpy(copy, text, length);
    copy[length] = 0;
    g_PoolUsed += length + 1;
    return copy;
}

}  // namespace

const char* ShiftJisText(const char* utf8) {
    if (!utf8 || !utf8[0]) return "";
    for (int i = 0; i < g_EntryCount; i++)
        if (g_Entries[i].source == utf8 && std::strcmp(g_Entries[i].utf8, utf8) == 0)
            return g_Entries[i].converted;
    for (int i = 0; i < g_EntryCount; i++)
        if (std::strcmp(g_Entries[i].utf8, utf8) == 0) return g_Entries[i].converted;
    if (g_EntryCount >= PoolEntries) return "";

    // Shift-JIS never takes more bytes than UTF-8 for the same text.
    size_t length = std::strlen(utf8);
    char converted[8192];
    if (length >= sizeof converted) return "";
    iconv_t cd = iconv_open("CP932//TRANSLIT", "UTF-8");
    if (cd == (iconv_t)-1) return "";
    char* in = const_cast<char*>(utf8);
    size_t inLeft = length;
    char* out = converted;
    size_t outLeft = sizeof converted - 1;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) != (size_t)-1) break;
        // An invalid sequence or a character without a Shift-JIS form
        // becomes '?' and the conversion goes on after it.
        if (outLeft == 0) break;
        *out++ = '?';
        outLeft--;
        in++;
        inLeft--;
        while (inLeft > 0 && ((unsigned char)*in & 0xC0) == 0x80) {
            in++;
            inLeft--;
        }
    }
    iconv_close(cd);
    *out = 0;

    const char* source = Remember(utf8, length);
    const char* result = source ? Remember(converted, (size_t)(out - converted)) : nullptr;
    if (!result) return "";
    g_Entries[g_EntryCount].source = utf8;
    g_Entries[g_EntryCount].utf8 = source;
    g_Entries[g_EntryCount].converted = result;
    g_EntryCount++;
    return result;
}
