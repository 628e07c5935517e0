// Input movies: the encoder, the decoder, the recording and replay taps
// and the main loop's calls.
#include "game/shell/movie.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "game/shell/entry.h"
#include "game/world/save.h"

namespace {

const uint8_t Magic[8] = {'Q', 'B', 'M', 'O', 'V', 'I', 'E', 0x1A};
constexpr size_t MaxMovieBytes = 256u << 20;
constexpr int CheckpointEvery = 60;

// Record tags. A pass is coded against one of the last few shapes seen (the
// kinds and arguments of its reads, in order), most recent first: below
// TagLike, the latest shape with its values, the first counter value moved
// on from the last one by the tag itself (0 ... 63).
enum : uint8_t {
    TagLike = 0x40,        // + shape 0 ... 31: counter step, then changed values
    TagShape = 0x60,       // a pass of a shape not among them
    TagEnd = 0x61,         // the closing pass (no scene ran); nothing follows
    TagCheckpoint = 0x62,  // the full state check after the pass before it
};
constexpr int ShapeSlots = MovieShapeSlots;

uint32_t Fnv(const uint8_t* p, size_t n, uint32_t h = 2166136261u) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

uint64_t ZigZag(int64_t v) { return ((uint64_t)v << 1) ^ (uint64_t)(v >> 63); }
int64_t UnZigZag(uint64_t v) { return (int64_t)(v >> 1) ^ -(int64_t)(v & 1); }

// ------------------------------------------------------------ writing bytes
struct Out {
    uint8_t* p;
    size_t n, cap;
    bool full = false;
    void Byte(uint8_t b) {
        if (n < cap) p[n++] = b;
        else full = true;
    }
    void Bytes(const void* src, size_t len) {
        for (size_t i = 0; i < len; ++i) Byte(((const uint8_t*)src)[i]);
    }
    void Var(uint64_t v) {
        while (v >= 0x80) {
            Byte((uint8_t)(v | 0x80));
            v >>= 7;
        }
        Byte((uint8_t)v);
    }
    void Signed(int64_t v) { Var(ZigZag(v)); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) Byte((uint8_t)(v >> (8 * i)));
    }
};

// ------------------------------------------------------------ reading bytes
struct In {
    const uint8_t* p;
    size_t n, pos;
    bool bad = false;
    uint8_t Byte() {
        if (pos >= n) {
            bad = true;
            return 0;
        }
        return p[pos++];
    }
    uint64_t Var() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t b = Byte();
            if (bad) return 0;
            v |= (uint64_t)(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        bad = true;  // longer than any 64-bit value
        return 0;
    }
    int64_t Signed() { return UnZigZag(Var()); }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= (uint32_t)Byte() << (8 * i);
        return v;
    }
    bool Take(void* dst, size_t len) {
        if (len > n - pos || pos > n) {
            bad = true;
            return false;
        }
        std::memcpy(dst, p + pos, len);
        pos += len;
        return true;
    }
};

bool FitsInt(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// One read in a pass of its own shape.
void PutRead(Out& o, const MovieRead& r, int* lastTick) {
    o.Byte(r.kind);
    switch (r.kind) {
        case MovieReadTick:
            o.Signed((int64_t)r.value - *lastTick);
            *lastTick = r.value;
            break;
        case MovieReadKey:
        case MovieReadPad:
            o.Signed(r.arg);
            o.Signed(r.value);
            break;
        default:
            o.Signed(r.value);
            o.Bytes(r.keys, sizeof r.keys);
            break;
    }
}

bool GetRead(In& in, MovieRead* r, int* lastTick, std::string* error) {
    std::memset(r, 0, sizeof *r);
    r->kind = in.Byte();
    int64_t v = 0, arg = 0;
    switch (r->kind) {
        case MovieReadTick:
            v = (int64_t)*lastTick + in.Signed();
            if (v < 0 || v > 0x7FFFFFFF) return *error = "a counter value out of range", false;
            *lastTick = (int)v;
            break;
        case MovieReadKey:
        case MovieReadPad:
            arg = in.Signed();
            v = in.Signed();
            if (!FitsInt(arg) || !FitsInt(v)) return *error = "a value out of range", false;
            break;
        case MovieReadKeyboard:
            v = in.Signed();
            if (!FitsInt(v)) return *error = "a value out of range", false;
            in.Take(r->keys, sizeof r->keys);
            break;
        default:
            return *error = "an unknown kind of read", false;
    }
    if (in.bad) return *error = "cut off inside a pass", false;
    r->arg = (int32_t)arg;
    r->value = (int32_t)v;
    return true;
}

bool SameShape(const MovieRead* a, int na, const MovieRead* b, int nb) {
    if (na != nb) return false;
    for (int i = 0; i < na; ++i)
        if (a[i].kind != b[i].kind || a[i].arg != b[i].arg ||
            (a[i].kind == MovieReadKeyboard && std::memcmp(a[i].keys, b[i].keys, sizeof a[i].keys) != 0))
            return false;
    return true;
}

int FirstTick(const MovieRead* r, int n) {
    for (int i = 0; i < n; ++i)
        if (r[i].kind == MovieReadTick) return i;
    return -1;
}

// What a read is expected to hold when its pass follows a shape: counter
// values keep their distances from the shape's first one, which moves to
// lastTick + step; other values are the shape's.
int64_t Predicted(const MovieRead* shape, int n, int i, int lastTick, int64_t step) {
    if (shape[i].kind != MovieReadTick) return shape[i].value;
    int first = FirstTick(shape, n);
    return (int64_t)lastTick + step + ((int64_t)shape[i].value - shape[first].value);
}

int LastTickOf(const MovieRead* r, int n, int fallback) {
    for (int i = n - 1; i >= 0; --i)
        if (r[i].kind == MovieReadTick) return r[i].value;
    return fallback;
}

void BookReset(MovieShapeBook* b) {
    b->used = 0;
    for (int i = 0; i < ShapeSlots; ++i) b->order[i] = i, b->counts[i] = 0;
}

int BookFind(const MovieShapeBook* b, const MovieRead* r, int n) {
    for (int j = 0; j < b->used; ++j)
        if (SameShape(b->reads[b->order[j]], b->counts[b->order[j]], r, n)) return j;
    return -1;
}

// Puts the pass at the front of the book, in place of the shape it was
// coded against (j) or of the oldest one (j < 0).
void BookUse(MovieShapeBook* b, int j, const MovieRead* r, int n) {
    if (j < 0) {
        j = b->used < ShapeSlots ? b->used++ : ShapeSlots - 1;
    }
    int slot = b->order[j];
    for (int k = j; k > 0; --k) b->order[k] = b->order[k - 1];
    b->order[0] = slot;
    std::memcpy(b->reads[slot], r, sizeof(MovieRead) * (size_t)n);
    b->counts[slot] = n;
}

// Encodes a pass (its reads, then the state check unless it is the closing
// one).
void PutPass(Out& o, MovieShapeBook* book, const MovieRead* reads, int n, int* lastTick, bool end, uint8_t check) {
    int j = end ? -1 : BookFind(book, reads, n);
    if (j >= 0) {
        const MovieRead* shape = book->reads[book->order[j]];
        int first = FirstTick(reads, n);
        int64_t step = first >= 0 ? (int64_t)reads[first].value - *lastTick : 0;
        int changes = 0;
        for (int i = 0; i < n; ++i)
            if (reads[i].value != Predicted(shape, n, i, *lastTick, step)) ++changes;
        if (j == 0 && changes == 0 && step >= 0 && step < TagLike) {
            o.Byte((uint8_t)step);
        } else {
            o.Byte((uint8_t)(TagLike + j));
            o.Signed(step);
            o.Var((uint64_t)changes);
            int last = -1;
            for (int i = 0; i < n; ++i) {
                int64_t predicted = Predicted(shape, n, i, *lastTick, step);
                if (reads[i].value == predicted) continue;
                o.Var((uint64_t)(i - last - 1));
                o.Signed((int64_t)reads[i].value - predicted);
                last = i;
            }
        }
        *lastTick = LastTickOf(reads, n, *lastTick);
        BookUse(book, j, reads, n);
        o.Byte(check);
        return;
    }
    o.Byte(end ? TagEnd : TagShape);
    o.Var((uint64_t)n);
    for (int i = 0; i < n; ++i) PutRead(o, reads[i], lastTick);
    if (end) return;
    BookUse(book, -1, reads, n);
    o.Byte(check);
}

// The field checks are kept as a mask of those that changed since the last
// checkpoint (*last, updated), then the changed ones.
void PutCheckpoint(Out& o, const MovieStateHash& h, uint8_t* last, uint32_t bodyHash) {
    o.Byte(TagCheckpoint);
    o.U32(h.whole);
    o.Byte(MovieFieldCount);
    uint64_t mask = 0;
    for (int i = 0; i < MovieFieldCount; ++i)
        if (h.fields[i] != last[i]) mask |= 1ull << i;
    for (int b = 0; b < 8; ++b) o.Byte((uint8_t)(mask >> (8 * b)));
    for (int i = 0; i < MovieFieldCount; ++i)
        if (mask >> i & 1) o.Byte(h.fields[i]);
    std::memcpy(last, h.fields, MovieFieldCount);
    o.U32(bodyHash);
}

void PutHeader(Out& o, const MovieHeader& h) {
    size_t start = o.n;
    o.Bytes(Magic, sizeof Magic);
    o.Byte(MovieFormatVersion & 0xFF), o.Byte(MovieFormatVersion >> 8);
    size_t gameLen = std::min<size_t>(h.gameVersion.size(), 255);
    o.Byte((uint8_t)gameLen), o.Bytes(h.gameVersion.data(), gameLen);
    size_t argLen = std::min<size_t>(h.startArgument.size(), MovieMaxArgument);
    o.Byte((uint8_t)argLen), o.Byte((uint8_t)(argLen >> 8)), o.Bytes(h.startArgument.data(), argLen);
    o.U32((uint32_t)h.saveValue);
    o.U32((uint32_t)h.dataFingerprint), o.U32((uint32_t)(h.dataFingerprint >> 32));
    o.U32(Fnv(o.p + start, o.n - start));
}

// ------------------------------------------------------------ sessions
enum Mode { ModeNone, ModeRecording, ModeReplaying };

struct Recording {
    int fd = -1;
    std::string path;
    MovieRead reads[MovieMaxPassReads];
    int readCount = 0;
    MovieShapeBook book;
    int lastTick = 0;
    uint8_t lastFields[MovieFieldCount];
    uint32_t bodyHash = 2166136261u;
    bool checkpointPending = false;  // the last pass had no checkpoint
    bool failed = false;
    std::string problem;
    uint8_t buffer[MovieMaxPassReads * 48 + 256];
};

struct Replay {
    std::vector<uint8_t> bytes;
    MovieReader reader;
    MovieReplayOptions options;
    MovieStep step = MovieStepBad;  // of the pass now loaded
    int readIndex = 0;
    int lastTick = 0;
    int save = 0;
    MovieReplayResult result;
    bool reportPending = false;  // a mismatch waits for the next checkpoint's fields
    bool stop = false;
};

Mode g_Mode = ModeNone;
Recording* g_Rec;
Replay* g_Play;

// -------------------------------------------------------- recording taps
void RecordRead(uint8_t kind, int arg, int value, const char* keyboard) {
    Recording& r = *g_Rec;
    if (r.failed) return;
    if (r.readCount >= MovieMaxPassReads) {
        r.failed = true;
        r.problem = "too many reads in one frame; the movie ends before it";
        return;
    }
    MovieRead& m = r.reads[r.readCount++];
    m.kind = kind;
    m.arg = arg;
    m.value = value;
    std::memset(m.keys, 0, sizeof m.keys);
    if (keyboard)
        for (int i = 0; i < 256; ++i)
            if (keyboard[i]) m.keys[i >> 3] |= (uint8_t)(1u << (i & 7));
}

int RecTick(int live) {
    RecordRead(MovieReadTick, 0, live, nullptr);
    return live;
}
int RecKey(int code, int live) {
    RecordRead(MovieReadKey, code, live, nullptr);
    return live;
}
int RecKeyboard(char* buffer, int live) {
    RecordRead(MovieReadKeyboard, 0, live, buffer);
    return live;
}
int RecPad(int type, int live) {
    RecordRead(MovieReadPad, type, live, nullptr);
    return live;
}
int RecSleep(int) { return 1; }

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= (size_t)w;
    }
    return true;
}

void Emit(Out& o) {
    Recording& r = *g_Rec;
    if (o.full || !WriteAll(r.fd, o.p, o.n)) {
        r.failed = true;
        r.problem = std::string("writing ") + r.path + " failed: " + (o.full ? "record too long" : std::strerror(errno));
    }
}

void FinishPassRecord(bool end) {
    Recording& r = *g_Rec;
    if (r.failed) return;
    Out o{r.buffer, 0, sizeof r.buffer};
    MovieStateHash h;
    MovieHashState(&h);
    PutPass(o, &r.book, r.reads, r.readCount, &r.lastTick, end, h.check);
    r.bodyHash = Fnv(o.p, o.n, r.bodyHash);
    r.readCount = 0;
    Emit(o);
}

void WriteCheckpoint() {
    Recording& r = *g_Rec;
    if (r.failed) return;
    Out o{r.buffer, 0, sizeof r.buffer};
    MovieStateHash h;
    MovieHashState(&h);
    PutCheckpoint(o, h, r.lastFields, r.bodyHash);
    r.bodyHash = 2166136261u;
    r.checkpointPending = false;
    Emit(o);
}

// ---------------------------------------------------------- replay taps
void Mismatch(const std::string& what) {
    Replay& p = *g_Play;
    if (p.result.mismatch) return;
    p.result.mismatch = true;
    p.result.mismatchFrame = p.reader.passes - 1;
    p.result.detail = what;
    p.reportPending = true;
}

const MovieRead* NextRecorded(uint8_t kind, int arg) {
    Replay& p = *g_Play;
    if (p.result.mismatch && !p.reportPending) return nullptr;
    if (p.step != MovieStepPass || p.readIndex >= p.reader.readCount) {
        Mismatch("the game read more than the movie holds for this frame");
        return nullptr;
    }
    const MovieRead& r = p.reader.reads[p.readIndex];
    if (r.kind != kind || r.arg != arg) {
        Mismatch("the game read something else than the movie holds (the run took another path)");
        return nullptr;
    }
    ++p.readIndex;
    return &r;
}

int PlayTick(int live) {
    const MovieRead* r = NextRecorded(MovieReadTick, 0);
    if (!r) return live;
    g_Play->lastTick = r->value;
    if (r->value != live && g_Play->options.followTick) g_Play->options.followTick(r->value, live);
    return r->value;
}
int PlayKey(int code, int live) {
    const MovieRead* r = NextRecorded(MovieReadKey, code);
    if (code == 1 && live == 1 && g_Play->options.escapePassesThrough) return 1;
    return r ? r->value : 0;
}
int PlayKeyboard(char* buffer, int live) {
    const MovieRead* r = NextRecorded(MovieReadKeyboard, 0);
    if (!r) return live;
    for (int i = 0; i < 256; ++i) buffer[i] = (char)((r->keys[i >> 3] >> (i & 7)) & 1);
    return r->value;
}
int PlayPad(int type, int) {
    const MovieRead* r = NextRecorded(MovieReadPad, type);
    return r ? r->value : 0;
}
int PlaySleep(int) {
    // Once a replay has parted and serves the live clock, it waits on it too.
    const Replay& p = *g_Play;
    return p.options.liveSleeps || (p.result.mismatch && !p.reportPending) ? 1 : 0;
}

const InputTap RecordTap = {RecTick, RecKey, RecKeyboard, RecPad, RecSleep};
const InputTap ReplayTap = {PlayTick, PlayKey, PlayKeyboard, PlayPad, PlaySleep};

void LoadNextPass() {
    Replay& p = *g_Play;
    std::string error;
    p.step = MovieNextPass(&p.reader, &error);
    p.readIndex = 0;
}

void FieldReport(const MovieStateHash& mine, const MovieStateHash& theirs, int frame) {
    Replay& p = *g_Play;
    std::string names;
    for (int i = 0; i < MovieFieldCount; ++i)
        if (mine.fields[i] != theirs.fields[i]) names += std::string(names.empty() ? "" : ", ") + MovieFieldName(i);
    if (names.empty()) names = "(none by their short checks)";
    p.result.detail += "\n  fields that differ at frame " + std::to_string(frame) + ": " + names;
    p.reportPending = false;
}

std::string ReadWholeFile(const char* path, std::vector<uint8_t>* out) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string("cannot open ") + path + ": " + std::strerror(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return std::string(path) + " is not a file";
    }
    if ((uint64_t)st.st_size > MaxMovieBytes) {
        close(fd);
        return std::string(path) + " is too large to be a movie";
    }
    out->resize((size_t)st.st_size);
    size_t got = 0;
    while (got < out->size()) {
        ssize_t r = read(fd, out->data() + got, out->size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += (size_t)r;
    }
    close(fd);
    out->resize(got);
    return "";
}

void HashFileInto(const std::string& path, uint64_t* h) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    uint8_t buf[65536];
    for (;;) {
        ssize_t r = read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        for (ssize_t i = 0; i < r; ++i) *h = (*h ^ buf[i]) * 1099511628211ull;
    }
    close(fd);
}

void ListFiles(const std::string& dir, const std::string& rel, std::vector<std::string>* out, int depth) {
    if (depth > 8) return;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string full = dir + "/" + name, r = rel.empty() ? name : rel + "/" + name;
        struct stat st;
        if (stat(full.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) ListFiles(full, r, out, depth + 1);
        else if (S_ISREG(st.st_mode) && r.rfind("state0.dat", 0) != 0) out->push_back(r);
    }
    closedir(d);
}

}  // namespace

// ------------------------------------------------------------ decoding

MovieStep MovieOpen(MovieReader* m, const uint8_t* data, size_t size, std::string* error) {
    m->data = data;
    m->size = size;
    m->pos = 0;
    m->readCount = 0;
    BookReset(&m->book);
    std::memset(m->lastFields, 0, sizeof m->lastFields);
    m->lastTick = 0;
    m->isEnd = false;
    m->hasCheckpoint = false;
    m->passes = 0;
    m->header = MovieHeader{};
    if (!data || size < sizeof Magic || std::memcmp(data, Magic, sizeof Magic) != 0)
        return *error = "not a Quellbore movie", MovieStepBad;
    In in{data, size, sizeof Magic};
    int version = in.Byte();
    version |= in.Byte() << 8;
    if (in.bad) return *error = "the movie's header is cut off", MovieStepBad;
    if (version != MovieFormatVersion)
        return *error = "movie format " + std::to_string(version) + " is not one this game reads (it reads " +
                        std::to_string(MovieFormatVersion) + ")",
               MovieStepBad;
    size_t gameLen = in.Byte();
    std::string game(gameLen, '\0');
    in.Take(game.data(), gameLen);
    size_t argLen = in.Byte();
    argLen |= (size_t)in.Byte() << 8;
    if (in.bad || argLen > MovieMaxArgument) return *error = "the movie's header is cut off or damaged", MovieStepBad;
    std::string arg(argLen, '\0');
    in.Take(arg.data(), argLen);
    uint32_t save = in.U32();
    uint64_t fingerprint = in.U32();
    fingerprint |= (uint64_t)in.U32() << 32;
    size_t hashed = in.pos;
    uint32_t stored = in.U32();
    if (in.bad) return *error = "the movie's header is cut off", MovieStepBad;
    if (Fnv(data, hashed) != stored) return *error = "the movie's header is damaged (its check does not match)", MovieStepBad;
    if (arg.find('\0') != std::string::npos) return *error = "the movie's header is damaged", MovieStepBad;
    m->header.version = version;
    m->header.gameVersion = game;
    m->header.startArgument = arg;
    m->header.saveValue = (int32_t)save;
    m->header.dataFingerprint = fingerprint;
    m->pos = m->hashFrom = in.pos;
    return MovieStepPass;
}

MovieStep MovieNextPass(MovieReader* m, std::string* error) {
    if (m->isEnd) return MovieStepClosed;
    if (m->pos >= m->size) return MovieStepCut;
    In in{m->data, m->size, m->pos};
    m->hasCheckpoint = false;
    const int frame = m->passes;
    auto bad = [&](const std::string& what) {
        *error = "the movie is damaged in frame " + std::to_string(frame) + ": " + what;
        return MovieStepBad;
    };
    uint8_t tag = in.Byte();
    if (tag < TagShape) {
        int j = tag < TagLike ? 0 : tag - TagLike;
        if (j >= m->book.used) return bad("a pass like one not seen before");
        int64_t step = tag < TagLike ? tag : in.Signed();
        const MovieRead* shape = m->book.reads[m->book.order[j]];
        int n = m->book.counts[m->book.order[j]];
        for (int i = 0; i < n; ++i) {
            m->reads[i] = shape[i];
            int64_t v = Predicted(shape, n, i, m->lastTick, step);
            if (!FitsInt(v)) return bad("a value out of range");
            m->reads[i].value = (int32_t)v;
        }
        m->readCount = n;
        uint64_t changes = tag < TagLike ? 0 : in.Var();
        if (changes > (uint64_t)n) return bad("more changes than reads");
        int at = -1;
        for (uint64_t c = 0; c < changes; ++c) {
            uint64_t gap = in.Var();
            if (in.bad || gap >= (uint64_t)(n - at - 1)) return bad("a change past the last read");
            at += (int)gap + 1;
            int64_t v = (int64_t)m->reads[at].value + in.Signed();
            if (!FitsInt(v)) return bad("a value out of range");
            m->reads[at].value = (int32_t)v;
        }
        for (int i = 0; i < n; ++i)
            if (m->reads[i].kind == MovieReadTick && (m->reads[i].value < 0)) return bad("a counter value out of range");
        m->lastTick = LastTickOf(m->reads, n, m->lastTick);
        BookUse(&m->book, j, m->reads, n);
        m->check = in.Byte();
    } else if (tag == TagShape || tag == TagEnd) {
        uint64_t n = in.Var();
        if (in.bad) return bad("cut off");
        if (n > MovieMaxPassReads) return bad("more reads than a frame may hold");
        for (uint64_t i = 0; i < n; ++i)
            if (!GetRead(in, &m->reads[i], &m->lastTick, error)) return bad(*error);
        m->readCount = (int)n;
        if (tag == TagShape) {
            BookUse(&m->book, -1, m->reads, m->readCount);
            m->check = in.Byte();
        }
        m->isEnd = tag == TagEnd;
    } else if (tag == TagCheckpoint) {
        return bad("a state check without a frame before it");
    } else {
        return bad("an unknown record");
    }
    if (in.bad) return bad("cut off");
    // A checkpoint may follow; it covers the body bytes before it.
    if (!m->isEnd && in.pos < m->size && m->data[in.pos] == TagCheckpoint) {
        uint32_t bodyHash = Fnv(m->data + m->hashFrom, in.pos - m->hashFrom);
        in.Byte();
        m->checkpoint.whole = in.U32();
        if (in.Byte() != MovieFieldCount) return bad("a state check of another size");
        uint64_t mask = 0;
        for (int b = 0; b < 8; ++b) mask |= (uint64_t)in.Byte() << (8 * b);
        if (mask >> MovieFieldCount) return bad("a state check of another size");
        for (int i = 0; i < MovieFieldCount; ++i)
            m->checkpoint.fields[i] = mask >> i & 1 ? in.Byte() : m->lastFields[i];
        std::memcpy(m->lastFields, m->checkpoint.fields, MovieFieldCount);
        uint32_t stored = in.U32();
        if (in.bad) return bad("cut off");
        if (stored != bodyHash) return bad("its bytes do not match their check");
        m->hashFrom = in.pos;
        m->hasCheckpoint = true;
    }
    if (m->isEnd && in.pos != m->size) return bad("bytes after the closing frame");
    m->pos = in.pos;
    ++m->passes;
    return MovieStepPass;
}

MovieStep MovieCheckAll(const uint8_t* data, size_t size, int* passes, std::string* error) {
    static MovieReader m;
    MovieStep s = MovieOpen(&m, data, size, error);
    while (s == MovieStepPass) s = MovieNextPass(&m, error);
    if (passes) *passes = m.passes;
    return s;
}

std::string MovieEncode(const MovieHeader& header, const std::vector<MoviePassData>& passes) {
    static MovieShapeBook book;
    BookReset(&book);
    std::vector<uint8_t> buf(256 + header.startArgument.size() + header.gameVersion.size());
    std::string out;
    Out o{buf.data(), 0, buf.size()};
    PutHeader(o, header);
    out.append((const char*)o.p, o.n);
    std::vector<uint8_t> rec(MovieMaxPassReads * 48 + 256);
    int lastTick = 0;
    uint8_t lastFields[MovieFieldCount] = {};
    uint32_t bodyHash = 2166136261u;
    for (const MoviePassData& pass : passes) {
        Out r{rec.data(), 0, rec.size()};
        int n = (int)std::min<size_t>(pass.reads.size(), MovieMaxPassReads);
        PutPass(r, &book, pass.reads.data(), n, &lastTick, pass.isEnd, pass.check);
        bodyHash = Fnv(r.p, r.n, bodyHash);
        out.append((const char*)r.p, r.n);
        if (pass.isEnd) break;
        if (pass.hasCheckpoint) {
            Out c{rec.data(), 0, rec.size()};
            PutCheckpoint(c, pass.checkpoint, lastFields, bodyHash);
            bodyHash = 2166136261u;
            out.append((const char*)c.p, c.n);
        }
    }
    return out;
}

MovieStep MovieDecodeAll(const uint8_t* data, size_t size, MovieHeader* header, std::vector<MoviePassData>* passes,
                         std::string* error) {
    static MovieReader m;
    passes->clear();
    MovieStep s = MovieOpen(&m, data, size, error);
    if (s != MovieStepPass) return s;
    *header = m.header;
    while ((s = MovieNextPass(&m, error)) == MovieStepPass) {
        MoviePassData p;
        p.reads.assign(m.reads, m.reads + m.readCount);
        p.isEnd = m.isEnd;
        p.check = m.check;
        p.hasCheckpoint = m.hasCheckpoint;
        p.checkpoint = m.checkpoint;
        passes->push_back(p);
    }
    return s;
}

uint64_t MovieDataFingerprint() {
    std::vector<std::string> files;
    ListFiles("./data", "", &files, 0);
    std::sort(files.begin(), files.end());
    uint64_t h = 14695981039346656037ull;
    for (const std::string& f : files) {
        for (char c : f) h = (h ^ (uint8_t)c) * 1099511628211ull;
        h = (h ^ 0) * 1099511628211ull;
        HashFileInto("./data/" + f, &h);
    }
    return files.empty() ? 0 : h;
}

const char* MovieGameVersion() { return "Quellbore Ver 1.01"; }

// ------------------------------------------------------------ sessions

bool MovieStartRecording(const char* path, const char* startArgument, std::string* error) {
    if (g_Mode != ModeNone) return *error = "a movie is already in use", false;
    std::string arg = startArgument ? startArgument : "";
    if (arg.size() > MovieMaxArgument) return *error = "the start-up argument is too long for a movie", false;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return *error = std::string("cannot write ") + path + ": " + std::strerror(errno), false;
    static Recording recording;
    g_Rec = &recording;
    recording.fd = fd;
    recording.path = path;
    recording.readCount = 0;
    BookReset(&recording.book);
    std::memset(recording.lastFields, 0, sizeof recording.lastFields);
    recording.lastTick = 0;
    recording.bodyHash = 2166136261u;
    recording.failed = false;
    recording.problem.clear();
    recording.checkpointPending = false;

    MovieHeader header;
    header.version = MovieFormatVersion;
    header.gameVersion = MovieGameVersion();
    header.startArgument = arg;
    header.saveValue = ReadSavedStage();
    header.dataFingerprint = MovieDataFingerprint();
    std::vector<uint8_t> head(64 + arg.size() + header.gameVersion.size());
    Out o{head.data(), 0, head.size()};
    PutHeader(o, header);
    if (!WriteAll(fd, o.p, o.n)) {
        close(fd);
        return *error = std::string("cannot write ") + path + ": " + std::strerror(errno), false;
    }
    g_Mode = ModeRecording;
    return true;
}

bool MovieStartReplay(const char* path, const MovieReplayOptions& options, std::string* startArgument,
                      std::string* warning, std::string* error) {
    if (g_Mode != ModeNone) return *error = "a movie is already in use", false;
    static Replay replay;
    Replay& p = replay;
    p.step = MovieStepBad;
    p.readIndex = 0;
    p.lastTick = 0;
    p.result = MovieReplayResult{};
    p.reportPending = false;
    p.stop = false;
    std::string problem = ReadWholeFile(path, &p.bytes);
    if (!problem.empty()) return *error = problem, false;
    int passes = 0;
    MovieStep all = MovieCheckAll(p.bytes.data(), p.bytes.size(), &passes, &problem);
    if (all == MovieStepBad) return *error = std::string(path) + ": " + problem, false;
    if (MovieOpen(&p.reader, p.bytes.data(), p.bytes.size(), &problem) != MovieStepPass)
        return *error = std::string(path) + ": " + problem, false;
    warning->clear();
    if (all == MovieStepCut)
        *warning += std::string(path) + ": the recording stopped without its last frame (the game may have "
                    "crashed); it plays up to frame " + std::to_string(passes - 1) + "\n";
    if (p.reader.header.gameVersion != MovieGameVersion())
        *warning += std::string(path) + ": recorded by \"" + p.reader.header.gameVersion + "\", this is \"" +
                    MovieGameVersion() + "\"; the replay may part from it\n";
    if (p.reader.header.dataFingerprint != MovieDataFingerprint())
        *warning += std::string(path) + ": recorded with other data files; the replay may part from it\n";
    p.options = options;
    p.save = p.reader.header.saveValue;
    p.result.active = true;
    p.result.framesInMovie = passes;
    p.result.movieWasCut = all == MovieStepCut;
    *startArgument = p.reader.header.startArgument;
    g_Play = &p;
    g_Mode = ModeReplaying;
    return true;
}

MovieReplayResult MovieReplayOutcome() { return g_Play ? g_Play->result : MovieReplayResult{}; }
std::string MovieRecordingProblem() { return g_Rec ? g_Rec->problem : ""; }
bool MovieReplaying() { return g_Mode == ModeReplaying; }
int MovieReplayTick() { return g_Play ? g_Play->lastTick : 0; }

void MovieEngineStarted() {
    if (g_Mode == ModeRecording) {
        SetInputTap(&RecordTap);
    } else if (g_Mode == ModeReplaying) {
        // The save the recording began with, kept in memory: a replay
        // never touches the player's own.
        UseSaveInMemory(&g_Play->save);
        LoadNextPass();
        SetInputTap(&ReplayTap);
    }
}

bool MoviePassBegins(int) {
    if (g_Mode != ModeReplaying) return true;
    Replay& p = *g_Play;
    if (p.stop) return false;
    if (p.step != MovieStepPass) return false;  // past the last pass
    // A closing pass without reads: the recorded run ended by the window
    // or the frame limit, before anything was read.
    if (p.reader.isEnd && p.reader.readCount == 0) {
        p.result.reachedEnd = true;
        return false;
    }
    return true;
}

void MovieSceneDone(int frame) {
    if (g_Mode == ModeRecording) {
        FinishPassRecord(false);
        g_Rec->checkpointPending = true;
        if ((frame + 1) % CheckpointEvery == 0) WriteCheckpoint();
        return;
    }
    if (g_Mode != ModeReplaying) return;
    Replay& p = *g_Play;
    if (p.step == MovieStepPass && !p.reader.isEnd) {
        if (p.readIndex != p.reader.readCount) Mismatch("the game read less than the movie holds for this frame");
        MovieStateHash mine;
        MovieHashState(&mine);
        if (!p.result.mismatch && mine.check != p.reader.check) Mismatch("the game state differs");
        if (p.reader.hasCheckpoint) {
            if (!p.result.mismatch && mine.whole != p.reader.checkpoint.whole) Mismatch("the game state differs");
            if (p.reportPending) FieldReport(mine, p.reader.checkpoint, frame);
        }
        ++p.result.framesReplayed;
    } else {
        Mismatch("the run went on where the recording ended");
    }
    LoadNextPass();
    if (p.reportPending && (p.step != MovieStepPass || p.reader.isEnd)) {
        p.result.detail += "\n  (no later state check to name the fields that differ)";
        p.reportPending = false;
    }
    if (p.result.mismatch && !p.reportPending && p.options.stopAtMismatch) p.stop = true;
}

void MovieLoopEnded() {
    if (g_Mode == ModeRecording) {
        Recording& r = *g_Rec;
        if (r.checkpointPending) WriteCheckpoint();
        // A recording that had to stop stays without its closing pass:
        // it still plays up to its last whole frame.
        if (!r.failed) FinishPassRecord(true);
        close(r.fd);
        r.fd = -1;
    } else if (g_Mode == ModeReplaying) {
        Replay& p = *g_Play;
        if (p.step == MovieStepPass && p.reader.isEnd) {
            if (p.readIndex == p.reader.readCount) p.result.reachedEnd = true;
            else if (!p.result.mismatch) Mismatch("the run ended where the recording went on");
        } else if (p.step != MovieStepPass && !p.reader.isEnd) {
            p.result.reachedEnd = true;  // a cut movie, played to its last frame
        }
        UseSaveInMemory(nullptr);
    }
    SetInputTap(nullptr);
    g_Mode = ModeNone;
}

// ------------------------------------------------------------ the window's runs

int MovieRecordInWindow(const char* path, const char* startArgument) {
    std::string argument = startArgument ? startArgument : "";
    std::string error;
    if (!MovieStartRecording(path, argument.c_str(), &error)) {
        std::fprintf(stderr, "quellbore: %s\n", error.c_str());
        return 2;
    }
    int code = GameMain(argument.c_str());
    std::string problem = MovieRecordingProblem();
    if (!problem.empty()) std::fprintf(stderr, "quellbore: the movie stopped early: %s\n", problem.c_str());
    return code;
}

int MovieReplayInWindow(const char* path) {
    MovieReplayOptions options;
    options.escapePassesThrough = true;
    options.liveSleeps = false;  // the window paces itself; the recorded clock is not this one
    options.stopAtMismatch = false;
    std::string argument, warning, error;
    if (!MovieStartReplay(path, options, &argument, &warning, &error)) {
        std::fprintf(stderr, "quellbore: %s\n", error.c_str());
        return 2;
    }
    if (!warning.empty()) std::fprintf(stderr, "quellbore: warning: %s", warning.c_str());
    int code = GameMain(argument.c_str());
    MovieReplayResult r = MovieReplayOutcome();
    if (r.mismatch)
        std::fprintf(stderr, "quellbore: the replay parted from the recording at frame %d: %s\n", r.mismatchFrame,
                     r.detail.c_str());
    return code;
}
