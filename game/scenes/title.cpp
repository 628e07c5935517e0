// The title menu and the save-deletion question behind "option".
#include "engine/engine.h"
#include "game/scenes/scene_texts.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/world/save.h"

namespace {

constexpr int MenuEntryCount = 5;
constexpr int MenuX = 80;
constexpr int MenuTop = 144;
constexpr int CursorX = 56;
constexpr int TitleIdleMs = 15000;
constexpr int DeletedFramesLimit = 100;

const char* const MenuTexts[MenuEntryCount] = {"start", "continue", "extra stage", "option", "exit"};

void StartGame(int extraMode, int stageIndex, int lives) {
    GameState.ExtraMode = extraMode;
    GameState.StageIndex = stageIndex;
    GameState.Lives = lives;
    GameState.Coins = 0;
    ChangeScene(SceneStageIntro);
}

void ChooseEntry(int entry) {
    switch (entry) {
        case 0:
            StopAllMusic();
            PlaySound(SoundDrillThrow);
            StartGame(0, 0, 3);
            break;
        case 1:
            StopAllMusic();
            PlaySound(SoundDrillThrow);
            GameState.SavedStageIndex = LoadSave();
            StartGame(0, GameState.SavedStageIndex, 3);
            break;
        case 2:
            StopAllMusic();
            PlaySound(SoundDrillThrow);
            StartGame(1, GameState.StartArgument != -1 ? GameState.StartArgument : 0, 30);
            break;
        case 3:
            ChangeScene(SceneSaveDeletion);
            break;
        case 4:
            StopAllMusic();
            SetQuitRequested(1);
            break;
        default:
            break;
    }
}

void DrawCursor(int index) { DrawSprite(DrillImageSlot, CursorX, MenuTop + 16 * index, 0, 0, 16, 16); }

}  // namespace

void TitleScene(bool entered) {
    if (entered) {
        Scenes.TitleIdleTick = GetTickMs(0);
        Scenes.TitleFrame = 0;
        PlayMusic(MusicTitle);
    }
    Scenes.TitleFrame += 1;

    FillScreenWithTile(1, 0);
    DrawLayerAt(BackImageSlot(1), 1, (int)(Scenes.TitleFrame * 0.2));
    DrawSprite(BackImageSlot(2), 0, 32, 0, 0, 256, 256);
    DrawSprite(BackImageSlot(3), 0, 32, 0, 0, 256, 256);
    DrawSprite(TitleImageSlot, 0, 0, 0, 0, 256, 256);
    for (int i = 0; i < MenuEntryCount; ++i) DrawBitmapText(MenuX, MenuTop + 16 * i, MenuTexts[i]);
    DrawCursor(Scenes.MenuCursor);

    SetDefaultFont(9, 1, 0);
    DrawTextString(80, 240, "Presented by Tobrelux", PackColor(224, 224, 224), 0);

    if (GameState.ButtonUp == LatchPressed || GameState.ButtonDown == LatchPressed) {
        Scenes.TitleIdleTick = GetTickMs(0);
    }
    if (GameState.ButtonUp == LatchPressed && Scenes.MenuCursor > 0) {
        Scenes.MenuCursor -= 1;
        PlaySound(SoundCursor);
    }
    if (GameState.ButtonDown == LatchPressed && Scenes.MenuCursor < MenuEntryCount - 1) {
        Scenes.MenuCursor += 1;
        PlaySound(SoundCursor);
    }
    bool chosen = false;
    if (GameState.ButtonConfirm == LatchPressed) {
        ChooseEntry(Scenes.MenuCursor);
        chosen = GameState.SceneId != SceneTitle || GameState.QuitRequested;
    }
    // A choice made in the frame the idle time runs out is not lost to
    // the prologue.
    if (!chosen && TickDiff(GetTickMs(0), Scenes.TitleIdleTick) > TitleIdleMs) ChangeScene(ScenePrologue);
}

void SaveDeletionScene(bool entered) {
    if (entered) {
        Scenes.DeleteCursor = 0;
        Scenes.SaveDeleted = 0;
        Scenes.DeletedFrames = 0;
    }

    if (!Scenes.SaveDeleted) {
        DrawBitmapText(32, 128, "Is the save data deleted?");
        DrawBitmapText(80, 144, "no");
        DrawBitmapText(80, 160, "yes");
        DrawCursor(Scenes.DeleteCursor);
        SetDefaultFont(9, 1, 0);
        DrawTextString(80, 240, JapaneseLine(JpDeleteQuestion), PackColor(255, 255, 255), 0);
    } else {
        DrawBitmapText(32, 144, "save data was deleted.");
        SetDefaultFont(9, 1, 0);
        DrawTextString(80, 240, JapaneseLine(JpDeleteDone), PackColor(255, 255, 255), 0);
    }

    if (GameState.ButtonUp == LatchPressed && Scenes.DeleteCursor > 0) {
        Scenes.DeleteCursor -= 1;
        PlaySound(SoundCursor);
    }
    if (GameState.ButtonDown == LatchPressed && Scenes.DeleteCursor < 1) {
        Scenes.DeleteCursor += 1;
        PlaySound(SoundCursor);
    }
    if (Scenes.SaveDeleted) Scenes.DeletedFrames += 1;
    if (GameState.ButtonConfirm == LatchPressed) {
        if (Scenes.DeleteCursor == 0) {
            ChangeScene(SceneTitle);
        } else {
            WriteSave(0);
            Scenes.SaveDeleted = 1;
        }
    }
    if (Scenes.DeletedFrames > DeletedFramesLimit) ChangeScene(SceneTitle);
}
