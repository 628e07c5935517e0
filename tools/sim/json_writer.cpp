// The trace's JSON writer.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/sim/trace.h"

namespace {

constexpr int MaxDepth = (int)(sizeof(JsonWriter::first) / sizeof(bool));

// Levels deeper than the table share its last entry (never reached by
// the trace, but never outside the table either).
bool& FirstAt(JsonWriter& w, int level) { return w.first[level < MaxDepth ? level : MaxDepth - 1]; }

void Separator(JsonWriter& w) {
    if (w.depth <= 0) return;
    if (!FirstAt(w, w.depth - 1)) w.out += ',';
    FirstAt(w, w.depth - 1) = false;
}

void Quoted(JsonWriter& w, const char* text) {
    w.out += '"';
    const unsigned char* p = (const unsigned char*)(text ? text : "");
    while (*p) {
        unsigned char c = *p;
        if (c == '"' || c == '\\') {
            w.out += '\\';
            w.out += (char)c;
            ++p;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            w.out += buf;
            ++p;
        } else if (c < 0x80) {
            w.out += (char)c;
            ++p;
        } else {
            // A complete UTF-8 sequence goes through as it is.
            size_t want = c >= 0xF0 && c < 0xF8 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            size_t n = 1;
            while (want && n < want && (p[n] & 0xC0) == 0x80) ++n;
            if (want && c < 0xF8 && n == want) {
                w.out.append((const char*)p, n);
                p += n;
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                w.out += buf;
                ++p;
            }
        }
    }
    w.out += '"';
}

void Key(JsonWriter& w, const char* key) {
    Separator(w);
    if (key) {
        Quoted(w, key);
        w.out += ':';
    }
}

void Open(JsonWriter& w, const char* key, char bracket) {
    Key(w, key);
    w.out += bracket;
    FirstAt(w, w.depth) = true;
    ++w.depth;
}

}  // namespace

void JsonReset(JsonWriter& w) {
    w.out.clear();
    w.depth = 0;
    std::memset(w.first, 1, sizeof w.first);
}

void JsonBeginObject(JsonWriter& w, const char* key) { Open(w, key, '{'); }
void JsonBeginArray(JsonWriter& w, const char* key) { Open(w, key, '['); }

void JsonEndObject(JsonWriter& w) {
    w.out += '}';
    if (w.depth > 0) --w.depth;
}

void JsonEndArray(JsonWriter& w) {
    w.out += ']';
    if (w.depth > 0) --w.depth;
}

void JsonInt(JsonWriter& w, const char* key, long long value) {
    Key(w, key);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    w.out.append(buf, r.ptr);
}

void JsonDouble(JsonWriter& w, const char* key, double value) {
    Key(w, key);
    if (!std::isfinite(value)) {
        w.out += "null";
        return;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    w.out.append(buf, r.ptr);
}

void JsonBool(JsonWriter& w, const char* key, bool value) {
    Key(w, key);
    w.out += value ? "true" : "false";
}

void JsonNull(JsonWriter& w, const char* key) {
    Key(w, key);
    w.out += "null";
}

void JsonString(JsonWriter& w, const char* key, const char* text) {
    Key(w, key);
    Quoted(w, text);
}
