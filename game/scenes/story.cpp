// The story pages: the prologue and the two endings, typed one character
// at a time, with the same part of the story in Japanese at the bottom.
#include <cstring>

#include "engine/engine.h"
#include "game/scenes/scene_texts.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"

namespace {

constexpr int PageLines = 15;
constexpr int LineSlot = 30;
constexpr int LineChars = 29;
constexpr int LastTypedStep = 449;
constexpr int EndStep = 530;

struct JapaneseCaption {
    int firstLine, lastLine;
    int x, y;
    int text;
};

struct Story {
    const char* lines[PageLines];
    JapaneseCaption captions[8];
    int captionCount;
};

const Story Prologue = {
    {"This is certain adventurer's", " story.", "He bought the scroll in the", " antique fair in outskirts.",
     "The cover of the treasure", " that the ocean thief when", " old left seems to be", " recorded in the scroll.",
     "Cursed riches that pirate", " took home from nether world.", "The chaser of the death", " wears the scroll.",
     "The adventurer exactly aims", " at riches now.", "With the shadow of death."},
    {{0, 1, 64, 240, JpPrologue0},
     {2, 3, 48, 240, JpPrologue1},
     {4, 7, 0, 240, JpPrologue2},
     {8, 9, 48, 240, JpPrologue3},
     {10, 11, 64, 240, JpPrologue4},
     {12, 13, 64, 240, JpPrologue5},
     {14, 14, 80, 240, JpPrologue6}},
    7,
};

const Story Ending = {
    {"Ocean thief's treasure was", " a soul own that had taken", " it home from the nether", " world.",
     "He was destroyed by the", "chaser from the nether world.", "And the adventurer", " obtained riches now.", "",
     "However, the most is", " appropriated to the", " repayment of the debt that", " requires it to have",
     " adventured up to now.", ""},
    {{0, 3, 16, 240, JpEnding0},
     {4, 5, 32, 240, JpEnding1},
     {6, 7, 48, 240, JpEnding2},
     {9, 13, 32, 231, JpEnding3Upper},
     {9, 13, 32, 240, JpEnding3Lower}},
    5,
};

const Story ExtraEnding = {
    {"The adventurer strayed off a", " doubtful beach.", "Place that was called", "   - Graveyard of ship - .",
     "He encountered a huge living", " thing, and after the", "desperate fight, defeated it.",
     "It is not understood whether", " the monster made remains.", "", "The adventurer",
     "       restarted travel.", "", "", ""},
    {{0, 1, 48, 240, JpExtra0},
     {2, 3, 64, 240, JpExtra1},
     {4, 6, 16, 240, JpExtra2},
     {7, 8, 32, 240, JpExtra3},
     {10, 11, 64, 240, JpExtra4}},
    5,
};

// The display copy of the page: what has been typed so far.
char Display[PageLines][LineSlot];

// A story line padded with blanks to its 29 characters.
char StoryChar(const Story& story, int line, int index) {
    const char* text = story.lines[line];
    int length = (int)std::strlen(text);
    return index < length ? text[index] : ' ';
}

void RunStory(const Story& story, bool entered, bool prologue) {
    if (entered) {
        Scenes.StoryCounter = 0;
        std::memset(Display, 0, sizeof Display);
        if (!prologue) PlayMusic(MusicEnding);
    }

    int step = (Scenes.StoryCounter - 30) / 6;
    int line = step / 30;
    bool typing = step >= 0 && step <= LastTypedStep;
    if (typing && line < PageLines) {
        int count = step % 30;
        for (int i = 0; i < count && i < LineChars; ++i) Display[line][i] = StoryChar(story, line, i);
    }

    for (int i = 0; i < PageLines; ++i) DrawBitmapText(16, 16 + 15 * i, Display[i]);

    SetDefaultFont(9, 1, 0);
    if (typing) {
        for (int k = 0; k < story.captionCount; ++k) {
            const JapaneseCaption& caption = story.captions[k];
            if (line >= caption.firstLine && line <= caption.lastLine) {
                DrawTextString(caption.x, caption.y, JapaneseLine(caption.text), PackColor(255, 255, 255), 0);
            }
        }
    }

    Scenes.StoryCounter += 1;

    if (step > EndStep) ChangeScene(prologue ? SceneTitle : SceneCredits);
    if (prologue && GameState.ButtonConfirm == LatchPressed) ChangeScene(SceneTitle);
}

}  // namespace

void PrologueScene(bool entered) { RunStory(Prologue, entered, true); }
void EndingScene(bool entered) { RunStory(Ending, entered, false); }
void ExtraEndingScene(bool entered) { RunStory(ExtraEnding, entered, false); }
