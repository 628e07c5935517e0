// The engine log: "Log.txt" in the start-up directory, one time-stamped
// line per message, CR LF line ends, written in the locale's codeset.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

#include "engine/core/core.h"
#include "engine/platform/platform.h"

namespace {

struct LogState {
    char path[4200];
    uint32_t startMs;
    int indent;
    int midLine;
    int started;
    iconv_t converter;  // UTF-8 -> file codeset; (iconv_t)-1 when none
};

LogState g_Log = {{0}, 0, 0, 0, 0, (iconv_t)-1};

// Log writes come from the main thread; the lock only keeps a stray write
// from another thread from interleaving. Recursive: a long text takes a
// tracked buffer, and the allocator may log.
std::recursive_mutex& LogMutex() {
    static std::recursive_mutex m;
    return m;
}

bool IsAsciiCodeset(const char* codeset) {
    return std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ASCII") == 0 ||
           std::strcmp(codeset, "US-ASCII") == 0 || std::strcmp(codeset, "646") == 0;
}

bool IsUtf8Codeset(const char* codeset) {
    return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0;
}

// The environment's codeset, read without changing the program's locale
// (numbers must keep printing with a decimal point).
void CodesetFromEnvironment(char* out, size_t size) {
    std::snprintf(out, size, "UTF-8");
    locale_t loc = newlocale(LC_CTYPE_MASK, "", (locale_t)0);
    if (loc == (locale_t)0) return;
    const char* codeset = nl_langinfo_l(CODESET, loc);
    if (codeset && *codeset) std::snprintf(out, size, "%s", codeset);
    freelocale(loc);
}

// Number of bytes of the UTF-8 unit starting at text[i]: a lead byte and
// the continuation bytes that actually follow it, so a cut sequence never
// swallows the line feed after it.
size_t Utf8UnitLength(const char* text, size_t i, size_t length) {
    unsigned char c = (unsigned char)text[i];
    size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    size_t n = 1;
    while (n < want && i + n < length && ((unsigned char)text[i + n] & 0xC0) == 0x80) ++n;
    return n;
}

void WriteConverted(FILE* file, const char* data, size_t length) {
    if (g_Log.converter == (iconv_t)-1) {
        std::fwrite(data, 1, length, file);
        return;
    }
    iconv(g_Log.converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    size_t inLeft = length;
    char out[1024];
    while (inLeft > 0) {
        char* o = out;
        size_t outLeft = sizeof out;
        size_t r = iconv(g_Log.converter, &in, &inLeft, &o, &outLeft);
        std::fwrite(out, 1, sizeof out - outLeft, file);
        if (r != (size_t)-1) break;
        if (errno == E2BIG) continue;
        // A byte that is not UTF-8 or has no place in the codeset: kept as
        // it is rather than lost.
        std::fwrite(in, 1, 1, file);
        ++in;
        --inLeft;
    }
    char* o = out;
    size_t outLeft = sizeof out;
    iconv(g_Log.converter, nullptr, nullptr, &o, &outLeft);
    std::fwrite(out, 1, sizeof out - outLeft, file);
}

}  // namespace

int LogSelectEncoding(const char* codeset) {
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    if (g_Log.converter != (iconv_t)-1) {
        iconv_close(g_Log.converter);
        g_Log.converter = (iconv_t)-1;
    }
    if (!codeset || !*codeset || IsAsciiCodeset(codeset) || IsUtf8Codeset(codeset)) return 0;
    g_Log.converter = iconv_open(codeset, "UTF-8");
    return g_Log.converter == (iconv_t)-1 ? -1 : 0;
}

int LogStart(const char* directory) {
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    g_Log.started = 0;
    g_Log.path[0] = '\0';
    g_Log.indent = 0;
    g_Log.midLine = 0;
    g_Log.startMs = PlatformTickMs();
    char codeset[64];
    CodesetFromEnvironment(codeset, sizeof codeset);
    LogSelectEncoding(codeset);
    if (!directory || !*directory) return -1;
    size_t n = std::strlen(directory);
    const char* sep = directory[n - 1] == '/' ? "" : "/";
    int len = std::snprintf(g_Log.path, sizeof g_Log.path, "%s%sLog.txt", directory, sep);
    if (len < 0 || (size_t)len >= sizeof g_Log.path) {
        g_Log.path[0] = '\0';
        return -1;
    }
    std::remove(g_Log.path);
    FILE* f = std::fopen(g_Log.path, "wb");
    if (!f) return -1;
    std::fclose(f);
    g_Log.started = 1;
    return 0;
}

const char* LogFilePath() { return g_Log.path; }

int LogWrite(const char* text) {
    if (!text || !*text) return -1;
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    size_t length = std::strlen(text);

    // Line feeds become CR LF unless a CR already precedes them; the
    // result is at most twice as long.
    char local[512];
    char* work = local;
    if (length >= 256) {
        work = (char*)TrackedAlloc(length * 2 + 1, __FILE__, 0xFFFF);
        if (!work) return -1;
    }
    size_t w = 0;
    for (size_t i = 0; i < length;) {
        unsigned char c = (unsigned char)text[i];
        if (c >= 0x80) {
            size_t n = Utf8UnitLength(text, i, length);
            std::memcpy(work + w, text + i, n);
            w += n;
            i += n;
            continue;
        }
        if (c == '\n' && (i == 0 || text[i - 1] != '\r')) work[w++] = '\r';
        work[w++] = (char)c;
        ++i;
    }
    work[w] = '\0';

    if (g_Log.started && g_Log.path[0]) {
        FILE* f = std::fopen(g_Log.path, "ab");
        if (f) {
            if (!g_Log.midLine) {
                char stamp[32];
                int elapsed = (int)((PlatformTickMs() - g_Log.startMs) & 0x7FFFFFFFu);
                int n = std::snprintf(stamp, sizeof stamp, "%d:", elapsed);
                std::fwrite(stamp, 1, (size_t)n, f);
                for (int t = 0; t < g_Log.indent; ++t) std::fputc('\t', f);
            }
            WriteConverted(f, work, w);
            std::fclose(f);
        }
        g_Log.midLine = text[length - 1] != '\n';
    }
    if (work != local) TrackedFree(work);
    return -1;
}

int LogWriteFormat(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    // One byte is kept back for the line break.
    int n = std::vsnprintf(buffer, sizeof buffer - 1, format, args);
    va_end(args);
    if (n < 0) buffer[0] = '\0';
    size_t length = std::strlen(buffer);
    if (n >= (int)sizeof buffer - 1) {
        // Cut output: drop a character that lost its tail.
        size_t start = length;
        while (start > 0 && ((unsigned char)buffer[start - 1] & 0xC0) == 0x80) --start;
        if (start > 0 && (unsigned char)buffer[start - 1] >= 0xC0) {
            size_t need = Utf8UnitLength(buffer, start - 1, length);
            unsigned char lead = (unsigned char)buffer[start - 1];
            size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (need < want) length = start - 1;
        }
    }
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
    return LogWrite(buffer);
}

void LogIndentUp() {
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    ++g_Log.indent;
}

void LogIndentDown() {
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    if (g_Log.indent > 0) --g_Log.indent;
}
