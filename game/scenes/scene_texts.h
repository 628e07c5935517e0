// The scenes' Japanese lines, held once in the engine's text encoding.
#pragma once

#include "game/scenes/scenes.h"

enum JapaneseLineId {
    JpDeleteQuestion,
    JpDeleteDone,
    JpPrologue0,
    JpPrologue1,
    JpPrologue2,
    JpPrologue3,
    JpPrologue4,
    JpPrologue5,
    JpPrologue6,
    JpEnding0,
    JpEnding1,
    JpEnding2,
    JpEnding3Upper,
    JpEnding3Lower,
    JpExtra0,
    JpExtra1,
    JpExtra2,
    JpExtra3,
    JpExtra4,
    JpCount
};

// The converted text of a line; "" for an unknown id.
const char* JapaneseLine(int id);
