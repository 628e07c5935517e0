// Input movies: every value the game read in each pass of the main loop
// (millisecond counter, keys, pad word), written as the run goes, and
// played back in place of the live inputs. docs/movies.md has the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ------------------------------------------------------------ state checks
enum { MovieFieldCount = 63 };
struct MovieStateHash {
    uint32_t whole;                  // over every field
    uint8_t check;                   // whole folded to a byte (kept per frame)
    uint8_t fields[MovieFieldCount]; // each field folded to a byte (kept every 60 frames)
};
void MovieHashState(MovieStateHash* out);
const char* MovieFieldName(int index);

// ------------------------------------------------------------ the file
enum { MovieFormatVersion = 1, MovieMaxPassReads = 512, MovieMaxArgument = 4096 };
enum MovieReadKind : uint8_t { MovieReadTick = 0, MovieReadKey = 1, MovieReadPad = 2, MovieReadKeyboard = 3 };

struct MovieRead {
    uint8_t kind;
    int32_t arg;    // key code or pad input type
    int32_t value;  // what the call returned
    uint8_t keys[32];  // ReadKeyboard: the keys down, one bit each
};

struct MovieHeader {
    int version = 0;
    std::string gameVersion;
    std::string startArgument;
    int saveValue = 0;
    uint64_t dataFingerprint = 0;
};

// The last shapes seen (kinds and arguments of a pass's reads, in order),
// most recent first; writer and reader keep the same book.
enum { MovieShapeSlots = 32 };
struct MovieShapeBook {
    MovieRead reads[MovieShapeSlots][MovieMaxPassReads];
    int counts[MovieShapeSlots];
    int order[MovieShapeSlots];
    int used;
};

// Reads a movie pass by pass from bytes held by the caller. Nothing in it
// allocates after MovieOpen.
struct MovieReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;         // next record
    size_t hashFrom = 0;    // body bytes since the last checkpoint
    MovieHeader header;
    // The pass just read, and the last shapes seen (the next ones' models).
    MovieRead reads[MovieMaxPassReads];
    int readCount = 0;
    MovieShapeBook book;
    int lastTick = 0;
    bool isEnd = false;      // the pass is the closing one (no scene ran)
    uint8_t check = 0;       // state check after the pass's scene
    bool hasCheckpoint = false;
    MovieStateHash checkpoint = {};
    uint8_t lastFields[MovieFieldCount] = {};
    int passes = 0;          // passes read so far
};

enum MovieStep {
    MovieStepPass,     // a pass was read
    MovieStepClosed,   // the closing pass was read before: nothing follows
    MovieStepCut,      // the bytes end cleanly after a pass, without the closing one
    MovieStepBad,      // not a movie, or damaged: message in error
};

// Reads the header. MovieStepPass when it is good.
MovieStep MovieOpen(MovieReader* reader, const uint8_t* data, size_t size, std::string* error);
// Reads the next pass.
MovieStep MovieNextPass(MovieReader* reader, std::string* error);
// Reads the whole movie once: MovieStepClosed or MovieStepCut with the
// number of passes, else MovieStepBad.
MovieStep MovieCheckAll(const uint8_t* data, size_t size, int* passes, std::string* error);

// Whole movies as lists of passes (tools and tests). The passes' reads,
// checks and checkpoints are written as given.
struct MoviePassData {
    std::vector<MovieRead> reads;
    bool isEnd = false;
    uint8_t check = 0;
    bool hasCheckpoint = false;
    MovieStateHash checkpoint = {};
};
std::string MovieEncode(const MovieHeader& header, const std::vector<MoviePassData>& passes);
// MovieStepClosed or MovieStepCut with every pass, else MovieStepBad.
MovieStep MovieDecodeAll(const uint8_t* data, size_t size, MovieHeader* header, std::vector<MoviePassData>* passes,
                         std::string* error);

// The data set's fingerprint: every file under ./data but the save file.
uint64_t MovieDataFingerprint();
// The version the game writes into its movies.
const char* MovieGameVersion();

// ------------------------------------------------------------ sessions
// Start one before GameMain; the main loop drives it.
// Opens FILE for writing and writes the header. false with a message.
bool MovieStartRecording(const char* path, const char* startArgument, std::string* error);

struct MovieReplayOptions {
    bool escapePassesThrough = false;  // live Escape still ends the run
    bool liveSleeps = true;            // SleepUntilTick waits on the live clock
    bool stopAtMismatch = true;        // end the loop once a mismatch is reported
    // Called when a recorded counter value differs from the live one.
    void (*followTick)(int recorded, int live) = nullptr;
};
// Reads and checks the whole movie. false with a message (a bad movie);
// warnings (another data set or game version) go to *warning.
bool MovieStartReplay(const char* path, const MovieReplayOptions& options, std::string* startArgument,
                      std::string* warning, std::string* error);

struct MovieReplayResult {
    bool active = false;
    bool mismatch = false;
    int mismatchFrame = -1;
    std::string detail;        // what differs, in words
    int framesReplayed = 0;
    int framesInMovie = 0;
    bool reachedEnd = false;   // the movie's last pass was played
    bool movieWasCut = false;  // it ends without its closing pass
};
MovieReplayResult MovieReplayOutcome();
// The message of a recording that had to stop early ("" when none).
std::string MovieRecordingProblem();
// The last counter value a replay handed to the game (for the trace).
bool MovieReplaying();
int MovieReplayTick();

// The main loop's calls. Each does nothing without a session.
void MovieEngineStarted();
bool MoviePassBegins(int frame);  // false ends the loop
void MovieSceneDone(int frame);
void MovieLoopEnded();

// ------------------------------------------------------------ the window's runs
// The real game's runs (--record FILE, --replay FILE): record with the given
// start-up argument, or replay in the window (live input ignored but
// Escape). Exit codes as GameMain's, 2 for a movie that cannot be used.
int MovieRecordInWindow(const char* path, const char* startArgument);
int MovieReplayInWindow(const char* path);
