// The scenes end to end: quellbore-sim runs as a subprocess in a fresh
// folder whose data directory links the built data, plus small stage
// files written here, and the per-frame trace is read back.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// One trace line, the fields these tests look at. ran is the scene whose
// function ran in that pass (PrevSceneId), scene the one due next.
struct Frame {
    int frame = 0, tick = 0, ran = 0, scene = 0, entered = 0, quit = 0;
    int extraMode = 0, stageIndex = 0, savedStageIndex = 0, lives = 0, stageCleared = 0, clearFrames = 0;
    int playerState = 0, menuCursor = 0, deleteCursor = 0, saveDeleted = 0, deletedFrames = 0;
    int storyCounter = 0, creditsCounter = 0;
    std::string stageName;
};

// The integer after "key": (-999999 when absent). Plain search: a trace
// of thousands of lines is read per run.
int IntField(const std::string& line, const char* key) {
    std::string pattern = std::string("\"") + key + "\":";
    size_t at = line.find(pattern);
    if (at == std::string::npos) return -999999;
    return std::atoi(line.c_str() + at + pattern.size());
}

Frame ParseFrame(const std::string& line) {
    Frame f;
    f.frame = IntField(line, "frame");
    f.tick = IntField(line, "tick");
    f.ran = IntField(line, "PrevSceneId");
    f.scene = IntField(line, "SceneId");
    f.entered = IntField(line, "sceneEntered");
    f.quit = IntField(line, "QuitRequested");
    f.extraMode = IntField(line, "ExtraMode");
    f.stageIndex = IntField(line, "StageIndex");
    f.savedStageIndex = IntField(line, "SavedStageIndex");
    f.lives = IntField(line, "Lives");
    f.stageCleared = IntField(line, "StageCleared");
    f.clearFrames = IntField(line, "ClearFrames");
    f.playerState = IntField(line, "player\":{\"state");
    f.menuCursor = IntField(line, "MenuCursor");
    f.deleteCursor = IntField(line, "DeleteCursor");
    f.saveDeleted = IntField(line, "SaveDeleted");
    f.deletedFrames = IntField(line, "DeletedFrames");
    f.storyCounter = IntField(line, "StoryCounter");
    f.creditsCounter = IntField(line, "CreditsCounter");
    const std::string name = "\"StageName\":\"";
    size_t at = line.find(name);
    if (at != std::string::npos) {
        size_t end = line.find('"', at + name.size());
        f.stageName = line.substr(at + name.size(), end - at - name.size());
    }
    return f;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// A stage that clears by itself: the player falls from his start onto a
// key, and the door stands right under him.
std::string QuickClearStage() {
    std::string text = "1 0\n";
    for (int row = 0; row < 20; ++row) text += row == 1 ? "1 49 11 0 0 0 0 0 0 0 0 0 0 0 0 0\n" : "1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
    return text;
}

// A save record as the game writes it: two digits, a blank, a zero byte.
std::string SaveRecord(int index) {
    std::string r = "00 ";
    r[0] = char('0' + index / 10);
    r[1] = char('0' + index % 10);
    r.push_back('\0');
    return r;
}

class SceneFlow : public ::testing::Test {
protected:
    TempFolder folder{"quellbore-scenes-"};
    fs::path dir;
    std::string errors;
    int exitCode = 0;
    std::vector<Frame> frames;

    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        dir = folder.path;
        // The built data, file by file, so that a test may add stages and
        // the game may write its save beside them. The music is left out
        // unless a test asks for it: decoding it dominates a run's start,
        // and no flow depends on it (an empty music slot plays nothing).
        fs::create_directory(dir / "data");
        for (const fs::directory_entry& e : fs::directory_iterator(QUELLBORE_DATA_DIR)) {
            if (e.path().filename() == "state0.dat" || e.path().filename() == "bgm") continue;
            fs::create_symlink(e.path(), dir / "data" / e.path().filename());
        }
    }
    void WriteData(const std::string& name, const std::string& bytes) {
        fs::remove(dir / "data" / name);
        std::ofstream(dir / "data" / name, std::ios::binary) << bytes;
    }
    void LinkMusic() { fs::create_symlink(fs::path(QUELLBORE_DATA_DIR) / "bgm", dir / "data" / "bgm"); }
    bool SaveExists() { return fs::exists(dir / "data" / "state0.dat"); }
    std::string SaveBytes() { return ReadAll(dir / "data" / "state0.dat"); }

    // Runs the sim for at most maxFrames with the input script; fills frames.
    void Run(const std::string& script, int maxFrames, const std::string& extra = "") {
        std::ofstream(dir / "input.txt") << script;
        std::string sim = std::string(QUELLBORE_BUILD_DIR) + "/quellbore-sim";
        std::string command = "cd '" + dir.string() + "' && '" + sim + "' --dir . --frames " +
                              std::to_string(maxFrames) + " --input input.txt --trace trace.jsonl " + extra +
                              " >stdout.txt 2>stderr.txt";
        int status = std::system(command.c_str());
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
        errors = ReadAll(dir / "stderr.txt");
        frames.clear();
        std::istringstream in(ReadAll(dir / "trace.jsonl"));
        for (std::string line; std::getline(in, line);) frames.push_back(ParseFrame(line));
    }
    // First frame at or after 'from' in which scene s ran on its entry; -1 if none.
    int Entered(int s, int from = 0) const {
        for (size_t i = from < 0 ? 0 : from; i < frames.size(); ++i)
            if (frames[i].ran == s && frames[i].entered) return (int)i;
        return -1;
    }
    // Number of consecutive passes of the scene from its entry frame.
    int Passes(int entryFrame) const {
        int n = 0;
        for (size_t i = entryFrame; i < frames.size() && frames[i].ran == frames[entryFrame].ran; ++i) {
            if (i > (size_t)entryFrame && frames[i].entered) break;
            ++n;
        }
        return n;
    }
};

enum { Title = 3, Intro = 4, Gameplay = 5, GameOver = 8, Prologue = 10, Ending = 11, Credits = 12, ExtraEnding = 13,
       Deletion = 14 };

// ------------------------------------------------------------- game starts

TEST_F(SceneFlow, StartThenDeathsToGameOverAndTitle) {
    // The whole built data, music included; a stage without ground: the
    // player falls out at once, every life.
    LinkMusic();
    WriteData("stage01.dat", "1 0\n");
    Run("5 enter\n", 1400);
    ASSERT_EQ(exitCode, 0) << errors;

    int intro = Entered(Intro);
    ASSERT_EQ(intro, 6);
    EXPECT_EQ(frames[intro].stageIndex, 0);
    EXPECT_EQ(frames[intro].extraMode, 0);
    EXPECT_EQ(frames[intro].lives, 3);
    // The intro lasts just over 2.5 s whatever happens.
    int play = Entered(Gameplay);
    ASSERT_GT(play, intro);
    int introMs = frames[play].tick - frames[intro].tick;
    EXPECT_GT(introMs, 2500);
    EXPECT_LE(introMs, 2540);
    EXPECT_EQ(frames[play].stageName, "stage01");
    EXPECT_EQ(frames[play].lives, 3);

    // Each fall below the screen takes a life and restarts the same stage.
    int from = play;
    for (int livesLeft : {2, 1}) {
        int retry = Entered(Intro, from + 1);
        ASSERT_GT(retry, 0) << livesLeft;
        EXPECT_EQ(frames[retry].lives, livesLeft);
        EXPECT_EQ(frames[retry].stageIndex, 0);
        EXPECT_EQ(frames[retry - 1].playerState, 2);
        from = Entered(Gameplay, retry);
        ASSERT_GT(from, retry);
    }
    int over = Entered(GameOver, from);
    ASSERT_GT(over, from);
    EXPECT_EQ(frames[over].lives, 0);
    EXPECT_EQ(Entered(Intro, from + 1), -1);
    int title = Entered(Title, over);
    ASSERT_GT(title, over);
    int overMs = frames[title].tick - frames[over].tick;
    EXPECT_GT(overMs, 3000);
    EXPECT_LE(overMs, 3040);
    EXPECT_FALSE(SaveExists());
}

TEST_F(SceneFlow, ContinueAndExtraStageStartWhereTheyShould) {
    struct Case {
        const char* name;
        const char* save;  // nullptr: no save file
        const char* script;
        const char* arg;
        int extraMode, stageIndex, lives;
        const char* stageName;
    };
    const std::string save5 = SaveRecord(5), save29 = SaveRecord(29);
    const Case cases[] = {
        {"continue, no save", nullptr, "5 down\n7 enter\n", "", 0, 0, 3, "stage01"},
        {"continue, save 5", save5.c_str(), "5 down\n7 enter\n", "", 0, 5, 3, "stage06"},
        {"continue, save 29", save29.c_str(), "5 down\n7 enter\n", "", 0, 29, 3, "stage30"},
        {"extra stage", nullptr, "5 down\n7 down\n9 enter\n", "", 1, 0, 30, "stageex01"},
        {"extra stage, argument 5", nullptr, "5 down\n7 down\n9 enter\n", "--arg 5", 1, 5, 30, "stageex06"},
        {"extra stage, argument 10", nullptr, "5 down\n7 down\n9 enter\n", "--arg 10", 1, 10, 30, "stageexboss"},
        {"start", nullptr, "5 enter\n", "", 0, 0, 3, "stage01"},
        {"start, argument 5", nullptr, "5 enter\n", "--arg 5", 0, 0, 3, "stage01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "data" / "state0.dat");
        if (c.save) WriteData("state0.dat", std::string(c.save, 4));
        Run(c.script, 170, c.arg);
        ASSERT_EQ(exitCode, 0) << errors;
        int intro = Entered(Intro);
        ASSERT_GT(intro, 0);
        EXPECT_EQ(frames[intro].extraMode, c.extraMode);
        EXPECT_EQ(frames[intro].stageIndex, c.stageIndex);
        EXPECT_EQ(frames[intro].lives, c.lives);
        int play = Entered(Gameplay);
        ASSERT_GT(play, intro);
        EXPECT_EQ(frames[play].stageName, c.stageName);
        // Entering the intro never writes a stage the file already holds,
        // nor anything in the extra series.
        if (c.save) EXPECT_EQ(SaveBytes(), std::string(c.save, 4));
        else EXPECT_FALSE(SaveExists());
    }
}

TEST_F(SceneFlow, DeletionQuestionThenContinueStartsStageOne) {
    WriteData("state0.dat", SaveRecord(7));
    // Down to "option", Enter; Down to "yes", Enter; back on the title
    // the cursor is still on "option": Up twice to "continue", Enter.
    Run("5 down\n7 down\n9 down\n11 enter\n14 down\n16 enter\n140 up\n142 up\n144 enter\n", 330);
    ASSERT_EQ(exitCode, 0) << errors;
    int question = Entered(Deletion);
    ASSERT_EQ(question, 12);
    EXPECT_EQ(frames[question].deleteCursor, 0);
    EXPECT_EQ(frames[16].saveDeleted, 1);
    EXPECT_EQ(frames[16].deleteCursor, 1);
    int back = Entered(Title, question);
    ASSERT_GT(back, 0);
    EXPECT_EQ(back - 16, 101 + 1);  // 101 frames after the deletion, then the title's entry
    EXPECT_EQ(frames[back].menuCursor, 3);
    int intro = Entered(Intro, back);
    ASSERT_GT(intro, 0);
    EXPECT_EQ(frames[intro].stageIndex, 0);
    EXPECT_EQ(frames[intro].savedStageIndex, 0);
    EXPECT_EQ(SaveBytes(), SaveRecord(0));
}

TEST_F(SceneFlow, DeletionQuestionNoKeepsTheSave) {
    WriteData("state0.dat", SaveRecord(7));
    Run("5 down\n7 down\n9 down\n11 enter\n14 up\n16 enter\n", 40);
    ASSERT_EQ(exitCode, 0) << errors;
    EXPECT_EQ(frames[14].deleteCursor, 0);
    EXPECT_EQ(Entered(Title, 13), 17);
    EXPECT_EQ(SaveBytes(), SaveRecord(7));
}

// ------------------------------------------------------------ clear and save

TEST_F(SceneFlow, ClearedStageLeadsToTheNextIntroAndSavesOnlyFurtherProgress) {
    struct Case {
        const char* name;
        int savedBefore;  // -1: no file
        const char* arg;
        std::string saveAfter;  // "" : no file
    };
    const Case cases[] = {
        {"fresh run writes stage index 1", -1, "", SaveRecord(1)},
        {"a further saved stage is kept", 5, "", SaveRecord(5)},
        {"a start-up argument writes nothing", -1, "--arg 5", ""},
    };
    WriteData("stage01.dat", QuickClearStage());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "data" / "state0.dat");
        if (c.savedBefore >= 0) WriteData("state0.dat", SaveRecord(c.savedBefore));
        Run("5 enter\n", 620, c.arg);
        ASSERT_EQ(exitCode, 0) << errors;
        int play = Entered(Gameplay);
        ASSERT_GT(play, 0);
        int cleared = -1;
        for (size_t i = play; i < frames.size(); ++i)
            if (frames[i].stageCleared) { cleared = (int)i; break; }
        ASSERT_GT(cleared, play);
        EXPECT_EQ(frames[cleared].clearFrames, 0);
        int next = Entered(Intro, cleared);
        ASSERT_GT(next, 0);
        // "CLEAR !!" stands for 151 frames after the clearing frame.
        EXPECT_EQ(next - cleared - 1, 151);
        EXPECT_EQ(frames[next - 1].clearFrames, 151);
        EXPECT_EQ(frames[next].stageIndex, 1);
        EXPECT_EQ(frames[next].lives, 3);
        int play2 = Entered(Gameplay, next);
        ASSERT_GT(play2, next);
        EXPECT_EQ(frames[play2].stageName, "stage02");
        if (c.saveAfter.empty()) EXPECT_FALSE(SaveExists());
        else EXPECT_EQ(SaveBytes(), c.saveAfter);
    }
}

TEST_F(SceneFlow, LastStageClearedRunsEndingCreditsAndBackToTitle) {
    WriteData("state0.dat", SaveRecord(29));
    WriteData("stage30.dat", QuickClearStage());
    WriteData("stageboss.dat", QuickClearStage());
    // "continue" at save 29, and an Enter in the middle of the ending that
    // must not skip it.
    Run("5 down\n7 enter\n1500 enter\n", 7400);
    ASSERT_EQ(exitCode, 0) << errors;

    int last = Entered(Gameplay, Entered(Intro, Entered(Gameplay) + 1));
    ASSERT_GT(last, 0);
    EXPECT_EQ(frames[last].stageIndex, 30);
    EXPECT_EQ(frames[last].stageName, "stageboss");
    int cleared = -1;
    for (size_t i = last; i < frames.size(); ++i)
        if (frames[i].stageCleared) { cleared = (int)i; break; }
    ASSERT_GT(cleared, last);
    int ending = Entered(Ending, cleared);
    ASSERT_GT(ending, 0);
    EXPECT_EQ(ending - cleared - 1, 201);  // "CONGRATURATION !!" for 201 frames
    ASSERT_LT(1500, ending + 3217);
    EXPECT_EQ(Passes(ending), 3217);
    int credits = ending + 3217;
    ASSERT_LT(credits, (int)frames.size());
    EXPECT_EQ(frames[credits].ran, Credits);
    EXPECT_EQ(frames[credits].entered, 1);
    EXPECT_EQ(Passes(credits), 3001);
    int title = credits + 3001;
    ASSERT_LT(title, (int)frames.size());
    EXPECT_EQ(frames[title].ran, Title);
    EXPECT_EQ(frames[title].entered, 1);
    // The last stage's intro saved nothing: the file still holds 29.
    EXPECT_EQ(SaveBytes(), SaveRecord(29));
}

TEST_F(SceneFlow, ExtraLastStageLeadsToTheExtraEnding) {
    WriteData("stageexboss.dat", QuickClearStage());
    // Escape ends the extra ending (it cannot be skipped otherwise).
    Run("5 down\n7 down\n9 enter\n520 esc\n", 5000, "--arg 10");
    ASSERT_EQ(exitCode, 0) << errors;
    ASSERT_EQ(frames.size(), 520u);
    EXPECT_EQ(frames.back().ran, ExtraEnding);
    int play = Entered(Gameplay);
    ASSERT_GT(play, 0);
    EXPECT_EQ(frames[play].stageName, "stageexboss");
    int cleared = -1;
    for (size_t i = play; i < frames.size(); ++i)
        if (frames[i].stageCleared) { cleared = (int)i; break; }
    ASSERT_GT(cleared, play);
    EXPECT_EQ(Entered(ExtraEnding, cleared) - cleared - 1, 201);
    EXPECT_EQ(Entered(Ending), -1);
    EXPECT_FALSE(SaveExists());
}

// ----------------------------------------------------------------- prologue

TEST_F(SceneFlow, PrologueAfterFifteenIdleSecondsAndEnterLeavesIt) {
    // An Up press (no move on "start") restarts the idle time.
    Run("100 up\n", 1100);
    ASSERT_EQ(exitCode, 0) << errors;
    EXPECT_EQ(frames[100].menuCursor, 0);
    int prologue = Entered(Prologue);
    ASSERT_GT(prologue, 100);
    int idleMs = frames[prologue].tick - frames[100].tick;
    EXPECT_GT(idleMs, 15000);
    EXPECT_LE(idleMs, 15040);
    EXPECT_EQ(frames[prologue].storyCounter, 1);

    // Enter on the prologue returns to the title at once.
    int enterAt = prologue + 40;
    Run("100 up\n" + std::to_string(enterAt) + " enter\n", enterAt + 5);
    ASSERT_EQ(exitCode, 0) << errors;
    ASSERT_EQ(Entered(Prologue), prologue);
    EXPECT_EQ(frames[enterAt].ran, Prologue);
    EXPECT_EQ(frames[enterAt].scene, Title);
    EXPECT_EQ(Entered(Title, prologue), enterAt + 1);
}

// ----------------------------------------------------------- leaving the game

TEST_F(SceneFlow, EscapeEndsTheProgramBeforeTheNextFrameInAnyScene) {
    // stage01 has no ground, so its player falls out at every attempt.
    WriteData("stage01.dat", "1 0\n");
    struct Case {
        const char* name;
        const char* script;
        int escapeAt;
        int scene;  // the scene that ran in the last frame before Escape
    };
    const Case cases[] = {
        {"title", "", 3, Title},
        {"save deletion", "5 down\n7 down\n9 down\n11 enter\n", 15, Deletion},
        {"stage intro", "5 enter\n", 9, Intro},
        {"gameplay", "5 enter\n", 200, Gameplay},
        {"game over", "5 enter\n", 960, GameOver},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Run(std::string(c.script) + std::to_string(c.escapeAt) + " esc\n", 5000);
        ASSERT_EQ(exitCode, 0) << errors;
        ASSERT_EQ((int)frames.size(), c.escapeAt);
        EXPECT_EQ(frames.back().ran, c.scene);
    }
}

TEST_F(SceneFlow, ExitEndsWithoutPresentingItsFrame) {
    // Down four times to "exit", Enter at frame 20; a shot of frame 19
    // exists, the shot of frame 20 is never taken.
    Run("5 down\n7 down\n9 down\n11 down\n20 enter\n", 100, "--shot 19:before.png --shot 20:exit.png");
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(errors.find("the run ended before frame 20"), std::string::npos) << errors;
    EXPECT_TRUE(fs::exists(dir / "before.png"));
    EXPECT_FALSE(fs::exists(dir / "exit.png"));
    ASSERT_EQ(frames.size(), 21u);
    EXPECT_EQ(frames[20].menuCursor, 4);
    EXPECT_EQ(frames[20].quit, 1);
    EXPECT_EQ(frames[19].quit, 0);
}

}  // namespace
