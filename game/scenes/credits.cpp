// Scene 12: the credits roll upward, then the title returns.
#include "game/scenes/scenes.h"
#include "game/shell/assets.h"
#include "game/shell/bitmap_text.h"
#include "game/shell/game_state.h"

namespace {

constexpr int RollLines = 32;
constexpr int RollFrames = 3000;

const char* RollText(int line) {
    switch (line) {
        case 0: return "Produced by ";
        case 1: return "  Tobrelux";
        case 5: return "graphic and programming";
        case 6: return "  Tobrelux";
        case 10: return "special thanks! bgm";
        case 11: return "  Wiskel";
        case 15: return "special thanks! sound effects";
        case 16: return "  Ferrun";
        case 21: return " Thanks a million !!";
        case 31: return "        FIN";
        default: return "";
    }
}

}  // namespace

void CreditsScene(bool entered) {
    if (entered) Scenes.CreditsCounter = 0;
    int top = (int)(288 - Scenes.CreditsCounter * 0.3);
    for (int i = 0; i < RollLines; ++i) DrawBitmapText(16, top + 16 + 16 * i, RollText(i));
    Scenes.CreditsCounter += 1;
    if (Scenes.CreditsCounter > RollFrames) {
        StopAllMusic();
        ChangeScene(SceneTitle);
    }
}
