#include "game/scenes/scene_texts.h"

#include "engine/engine.h"

SceneLocals Scenes;

namespace {

// Every Japanese line of the scenes, in UTF-8 as a person reads it.
const char* const JapaneseSource[JpCount] = {
    "セーブデータを消去しますか？",
    "データを消去しました。",
    "これは、とある冒険家の話です。",
    "彼は、場末の骨董市で地図を買いました。",
    "その地図には古の大海賊が残した宝のありかが記されているらしい。",
    "海賊が黄泉の国から持ち帰った呪いの財宝。",
    "死の追跡者が地図につきまとう。",
    "いままさに、冒険家は財宝を目指す。",
    "死の影と共に・・・",
    "大海賊の宝は、黄泉の国から持ち帰った自らの魂であった。",
    "彼は黄泉の国からの追跡者によって、ほろぼされた。",
    "そして、今、冒険家は財宝を手に入れた。",
    "しかし、そのほとんどは、これまでの冒険に要した",
    "     借金の返済にあてられるわけだが・・・。",
    "冒険家は怪しい浜辺に迷い込んだ。",
    "「船の墓場」と呼ばれた場所。",
    "彼は巨大な生物と遭遇し、死闘のすえ、それを撃破した。",
    "その化物が残骸を作ったかどうかはわからない。",
    "冒険家は旅を再開した。",
};

const char* Converted[JpCount] = {};
bool Prepared = false;

}  // namespace

void PrepareSceneTexts() {
    if (Prepared) return;
    for (int i = 0; i < JpCount; ++i) {
        const char* text = ShiftJisText(JapaneseSource[i]);
        Converted[i] = text ? text : "";
    }
    Prepared = true;
}

const char* JapaneseLine(int id) {
    if (id < 0 || id >= JpCount) return "";
    if (!Prepared) PrepareSceneTexts();
    return Converted[id];
}
